// Runs the setup program from process start to its end on a simulated machine.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/SetupApp.h"
#include "ports/PortSelection.h"
#include "profile/ModelProfile.h"
#include "profile/SetupTexts.h"
#include "resources/resource.h"
#include "tests/Checks.h"
#include "tests/DriverPackage.h"
#include "tests/sim/SimMachine.h"

// The configured printer as the system knows it: its USB device path (as the
// system spells it in a broadcast: upper case up to the device id's end), and the
// key of its USB printing interface.
inline const std::string kPrinterPath =
    "\\\\?\\USB#VID_F1C4&PID_1101#ql70_tillmate#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
inline const std::string kInterfaceKey =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\"
    "##?#USB#Vid_f1c4&Pid_1101#QL70_TILLMATE#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

// The configured model's queue name, and the two success texts that follow it.
inline const std::string kModel = "KVX QL70 TILLMATE (ESC P)";
inline const std::string kWithMonitor = " Printer Driver & Status Monitor installed successfully.";
inline const std::string kDriverOnly = " Printer Driver installed successfully.";

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallPlatform(machine.Services());
        SelectedPort.clear();
    }

    // Every scenario ends with nothing held, and with no box that its
    // script did not answer.
    void TearDown() override
    {
        app.reset();
        if (!aborted) {
            EXPECT_EQ(machine.Held(), "") << "still held when the program has ended";
            EXPECT_FALSE(user.HasMore()) << "the script has actions left that the program never asked for";
        }
        for (const std::string& text : user.unexpectedBoxes) ADD_FAILURE() << "a box nobody expected: " << text;
        for (const std::string& inf : machine.spooler.unansweredQuestions)
            ADD_FAILURE() << "the system's signing question for " << inf << " came, and the script has no answer";
        for (const std::string& error : screen.imageListErrors) ADD_FAILURE() << error;
        for (const std::string& error : screen.paintErrors) ADD_FAILURE() << error;
    }

    // Our sample driver package in the folder that setup starts from.
    // With setup itself, and a file that is no part of the driver.
    void AddPackage()
    {
        AddDriverPackage(machine.files);
        machine.files.AddFile(machine.files.currentDirectory + "\\Setup.exe", "package file Setup.exe");
        machine.files.AddFile(machine.files.currentDirectory + "\\ReadMe.txt", "not part of the driver");
    }

    // Starts Setup.exe and answers its exit code; the application object
    // stays for the test to look at.
    int RunSetup()
    {
        app = std::make_unique<CSetupApp>();
        try {
            return AfxWinMain();
        } catch (const SimProcessExit& exit) {
            exited = true;
            return exit.code;
        } catch (...) {
            // Torn out of the program by the test itself: it never came to an end.
            aborted = true;
            throw;
        }
    }

    // The user leaves a dialog by Cancel and confirms.
    void LeaveByCancel(int cancelId = IDCANCEL) { user.Click(cancelId).Answer(IDYES); }

    // The texts of the message boxes shown, in order.
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const SimMessageBox& box : screen.boxes) texts.push_back(box.text);
        return texts;
    }

    // The queue of that name; a test that expects one fails, rather than
    // crashes, when the program made none.
    const SimQueue& QueueNamed(const std::string& name)
    {
        static const SimQueue none{};
        const SimQueue* queue = machine.spooler.Queue(name);
        if (queue == nullptr) ADD_FAILURE() << "no queue named " << name;
        return queue != nullptr ? *queue : none;
    }

    SimWindow* ModelDialog() { return screen.Dialog(IDD_SETUP_DIALOG); }
    SimWindow* ModelControl(int id) { return screen.Control(IDD_SETUP_DIALOG, id); }

    SimMachine machine;
    SimUser& user = machine.user;
    SimWindows& screen = machine.windows;
    SimCallRecord& record = machine.record;
    std::unique_ptr<CSetupApp> app;
    bool exited = false;
    bool aborted = false;
};

// The suites, named by the area they test.
class StartUp : public SetupTest {};
class ModelSelection : public SetupTest {};

// A message box as the tests compare it.
inline std::string Describe(const SimMessageBox& box)
{
    return "[" + std::string(box.owner ? "owned" : "no owner") + "] " + box.caption + ": " + box.text + " (" +
           std::to_string(box.style) + ")";
}

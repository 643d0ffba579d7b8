// Runs the setup program from process start to its end on a simulated machine.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/ModelProfile.h"
#include "app/SetupApp.h"
#include "app/SetupTexts.h"
#include "platform/sim/SimMachine.h"
#include "resources/resource.h"

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallPlatform(machine.Services());
        SelectedPort.clear();
    }

    // Our sample driver package in the folder that setup starts from.
    void AddPackage()
    {
        for (const char* name : {"ESC_QRT_BILL.GPD", "ESC_QRT_BILL.dll", "CORVEX_ESCP.INF", "Corvex.HLP", "Uninstall.exe",
                                 "Setup.exe"})
            machine.AddFile(machine.currentDirectory + "\\" + name, std::string("package file ") + name);
        machine.AddFile(machine.currentDirectory + "\\STM\\QL70TILLMATE(ESCP).exe", "status monitor");
        machine.AddFile(machine.currentDirectory + "\\ReadMe.txt", "not part of the driver");
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
        }
    }

    // The user leaves a dialog by Cancel and confirms.
    void LeaveByCancel(int cancelId = IDCANCEL) { user.Click(cancelId).Answer(IDYES); }

    SimWindow* ModelDialog() { return user.Dialog(IDD_SETUP_DIALOG); }
    SimWindow* ModelControl(int id) { return user.Control(IDD_SETUP_DIALOG, id); }

    SimMachine machine;
    SimWindows& user = machine.windows;
    std::unique_ptr<CSetupApp> app;
    bool exited = false;
};

// A message box as the tests compare it.
inline std::string Describe(const SimMessageBox& box)
{
    return "[" + std::string(box.owner ? "owned" : "no owner") + "] " + box.caption + ": " + box.text + " (" +
           std::to_string(box.style) + ")";
}

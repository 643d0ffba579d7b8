// The fault matrix: the whole program on a simulated machine, down the manual
// path and down the USB path, once for every call of every platform operation
// that the path makes, with exactly that call failing, and once for every
// allocation that the program makes, with exactly that one refused. A user who
// takes each dialog's way forward (and leaves when asked) drives every run.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <set>
#include <string>

#include "app/SetupApp.h"
#include "tests/Harness.h"
#include "ports/PortSelection.h"
#include "profile/SetupTexts.h"
#include "resources/resource.h"
#include "tests/faults/AllocationFaults.h"
#include "tests/sim/SimMachine.h"

namespace {

const std::string kLookupFailed = "Please connect printer properly";

// The one outcome of an installation, and every other box the program has.
const std::set<std::string> kOutcomes = {
    kModel + " Printer Driver & Status Monitor installed successfully.",
    kModel + " Printer Driver installed successfully.",
    "Unexpected error 0x001C occured.",
    "Unexpected error 0x002C occured.",
    "Unexpected error 0x003C occured.",
};
const std::set<std::string> kOtherBoxes = {
    "Another application is already running. Please terminate the previous application.",
    "The application will run only in Windows7 & Vista Operating System.",
    "Administrator Privileges required to install Printer Drivers.\nRight Click the \"Setup\" application and select "
    "\"Run As...\" and log in as Administrator.",
    "Unexpected error 0x001C occured.",  // the staging's, before any port
    "Printer driver unknown.",
    "Unexpected error 0x002C occured while port enumeration.",
    ExitQuestion,
    kLookupFailed,
};

// An error that the real platform gives for a failure of each operation.
DWORD RealisticError(const std::string& operation)
{
    static const std::map<std::string, DWORD> errors = {
        {"ClosePrinter", ERROR_INVALID_HANDLE},
        {"SetDefaultPrinterA", ERROR_INVALID_PRINTER_NAME},
        {"RegisterDeviceNotificationA", ERROR_INVALID_PARAMETER},
        {"UnregisterDeviceNotification", ERROR_INVALID_HANDLE},
        {"RegQueryValueExA", ERROR_MORE_DATA},
        {"ShellExecuteA", ERROR_FILE_NOT_FOUND},
        {"CoInitialize", static_cast<DWORD>(0x8007000E)},  // E_OUTOFMEMORY
        {"CoCreateInstance", static_cast<DWORD>(REGDB_E_CLASSNOTREG)},
        {"MultiByteToWideChar", ERROR_INSUFFICIENT_BUFFER},
        {"CloseHandle", ERROR_INVALID_HANDLE},
        {"GetVersionExA", ERROR_INVALID_PARAMETER},
        {"GetWindowsDirectoryA", ERROR_INSUFFICIENT_BUFFER},
        {"GetPrinterDriverDirectoryA", ERROR_NOT_ENOUGH_MEMORY},
        {"SHFileOperationA", 0x7C},  // DE_INVALIDFILES
    };
    auto found = errors.find(operation);
    return found != errors.end() ? found->second : ERROR_ACCESS_DENIED;
}

// Takes each dialog's way forward once, then leaves; answers every box.
class Autopilot : public SimInput {
public:
    Autopilot(SimMachine& machine, bool usb) : m_machine(machine), m_usb(usb) { machine.windows.input = this; }

    int Next(const SimMessageBox* box) override
    {
        if (++m_steps > 100) throw SimScriptExhausted("the program does not come to an end");
        if (box != nullptr) return (box->style & 0x0F) == MB_YESNO ? IDYES : IDOK;
        SimWindow* dialog = m_machine.windows.ActiveDialog();
        if (dialog == nullptr) throw SimScriptExhausted("a loop waits, and no dialog is there");
        int visit = ++m_visits[dialog->templateId];
        switch (dialog->templateId) {
        case IDD_SETUP_DIALOG: m_machine.user.Click(visit == 1 ? IDOK : IDCANCEL); break;
        case IDD_PRINTER_CONNECTION:
            if (visit == 1 && m_usb)
                m_machine.user.PlugIn(kPrinterPath);
            else
                m_machine.user.Click(visit == 1 ? IDC_MANUAL : IDC_CONNECTION_CANCEL);
            break;
        case IDD_PORT_SELECTION: m_machine.user.Click(visit == 1 ? IDC_PORT_OK : IDC_PORT_CANCEL); break;
        default: throw SimScriptExhausted("an unknown dialog waits");
        }
        return m_machine.user.Next(nullptr);
    }
    bool HasMore() const override { return false; }

private:
    SimMachine& m_machine;
    bool m_usb;
    int m_steps = 0;
    std::map<int, int> m_visits;
};

struct Fault {
    std::string operation;  // empty: an allocation
    int call = 0;           // 1-based: the call, or the allocation
};

struct SetupRun {
    std::string escaped;  // what left the program, if anything
    bool exited = false;
    std::vector<SimMessageBox> boxes;
    std::vector<SimEvent> events;
    std::map<std::string, int> calls;
    uint64_t clock = 0;
    bool queueAndDriverExist = false;
    bool allocationRefused = false;
    long long allocations = 0;
};

SetupRun RunSetup(bool usb, const Fault& fault)
{
    SimMachine machine;
    InstallPlatform(machine.Services());
    SelectedPort.clear();
    for (const char* name : {"ESC_QRT_BILL.GPD", "ESC_QRT_BILL.dll", "CORVEX_ESCP.INF", "Corvex.HLP", "Uninstall.exe"})
        machine.files.AddFile(machine.files.currentDirectory + "\\" + name, name);
    machine.files.AddFile(machine.files.currentDirectory + "\\STM\\QL70TILLMATE(ESCP).exe", "status monitor");
    machine.files.AddFolder("C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
    machine.registry.SetDword(kInterfaceKey + "\\#\\Control", "Linked", 1);
    machine.registry.SetDword(kInterfaceKey + "\\#\\Device Parameters", "Port Number", 3);
    machine.spooler.AddPort("USB003", "Virtual printer port for USB");
    Autopilot pilot(machine, usb);
    if (!fault.operation.empty()) machine.record.Fail(fault.operation, RealisticError(fault.operation), fault.call);

    SetupRun run;
    faults::Allocations& program = faults::Program();
    program = faults::Allocations{};
    program.failAt = fault.operation.empty() ? fault.call : 0;
    {
        CSetupApp app;
        program.counting = true;
        try {
            AfxWinMain();
        } catch (const SimProcessExit&) {
            run.exited = true;
        } catch (const std::exception& error) {
            run.escaped = error.what();
        }
        program.counting = false;
    }
    run.allocationRefused = program.failed;
    run.allocations = program.made;
    run.boxes = machine.windows.boxes;
    run.events = machine.record.events;
    for (const SimCall& call : machine.record.calls) ++run.calls[call.operation];
    run.clock = machine.record.clock;
    run.queueAndDriverExist = machine.spooler.Queue(kModel) != nullptr && machine.spooler.Driver(kModel) != nullptr;
    return run;
}

// What every run must show. Empty when it does.
std::string Problems(const SetupRun& run, bool usb)
{
    std::string problems;
    auto problem = [&problems](const std::string& text) { problems += "\n  " + text; };
    if (!run.escaped.empty()) problem("an exception left the program: " + run.escaped);
    // The longest mandated waits: a second, two after the arrival, thirty for a port.
    if (run.clock > 1000 + 2000 + 30000) problem("simulated time ran to " + std::to_string(run.clock) + " ms");

    size_t portStep = run.events.size();
    bool installerRan = false;
    for (size_t i = 0; i < run.events.size(); ++i) {
        const std::string& what = run.events[i].what;
        if (what == "open 108" && portStep == run.events.size()) portStep = i;
        // The port dialog hides itself to install; the arrival's pause precedes the installer.
        if (i > portStep && (what == "hide 109" || (usb && what == "Sleep"))) installerRan = true;
    }
    int outcomes = 0, lookups = 0;
    bool success = false;
    size_t boxIndex = 0;
    for (size_t i = 0; i < run.events.size(); ++i) {
        if (run.events[i].what.rfind("box ", 0) != 0) continue;
        const SimMessageBox& box = run.boxes.at(boxIndex++);
        bool outcome = i > portStep && kOutcomes.count(box.text) != 0;
        if (!outcome && kOtherBoxes.count(box.text) == 0) problem("a box the program does not have: " + box.text);
        outcomes += outcome ? 1 : 0;
        lookups += box.text == kLookupFailed ? 1 : 0;
        success |= outcome && box.text.find("installed successfully") != std::string::npos;
    }
    if (outcomes > 1) problem(std::to_string(outcomes) + " outcome boxes");
    if (installerRan && outcomes + lookups != 1) problem("an installer ran, and " + std::to_string(outcomes) + " outcomes");
    if (success && !run.queueAndDriverExist) problem("a success text without the driver and the queue");
    return problems;
}

class FaultMatrix : public ::testing::TestWithParam<bool> {};

TEST_P(FaultMatrix, EveryFailingCallAndAllocationEndsWellAndToldOnce)
{
    const bool usb = GetParam();
    SetupRun clean = RunSetup(usb, {});
    ASSERT_EQ(Problems(clean, usb), "");
    ASSERT_TRUE(clean.queueAndDriverExist);
    ASSERT_EQ(clean.boxes.size(), 1u);

    int runs = 0, injected = 0, failures = 0;
    auto check = [&](const Fault& fault, const SetupRun& run, bool hit) {
        ++runs;
        injected += hit ? 1 : 0;
        std::string problems = Problems(run, usb);
        if (problems.empty()) return;
        ++failures;
        ADD_FAILURE() << (usb ? "USB path" : "manual path") << ", "
                      << (fault.operation.empty() ? "allocation" : fault.operation) << " #" << fault.call << ":"
                      << problems;
    };
    for (const auto& [operation, count] : clean.calls)
        for (int call = 1; call <= count; ++call) {
            Fault fault{operation, call};
            check(fault, RunSetup(usb, fault), true);
        }
    int calls = runs;
    for (long long allocation = 1; allocation <= clean.allocations; ++allocation) {
        Fault fault{"", static_cast<int>(allocation)};
        SetupRun run = RunSetup(usb, fault);
        check(fault, run, run.allocationRefused);
    }
    std::cout << "fault matrix, " << (usb ? "USB" : "manual") << " path: " << runs << " runs, " << injected
              << " failures injected (" << calls << " platform calls of " << clean.calls.size() << " operations, "
              << runs - calls << " allocations); " << failures << " runs with problems" << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Paths, FaultMatrix, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "UsbPath" : "ManualPath");
                         });

}  // namespace

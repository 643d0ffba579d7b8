// The fault matrix: the whole program on a simulated machine, from each of
// its starting points (the manual and the USB path, and the paths that these
// two do not take: the data-type repeat on a spooler that wants one, the
// waits for a USB port that the spooler learns late, the numbered queue
// names), once for every call of every platform operation that the path
// makes and that Windows can fail, with exactly that call failing with each
// error that Windows gives for it, and once for every allocation that the
// program makes, with exactly that one refused. Each is run by a user who
// says Yes and by one who says No (and with each button of the port
// enumeration's box where it comes): both take each dialog's way forward,
// the one who says No after asking to leave it.
//
// Each run is judged by what it left on the machine and by where in the time
// line its one failure fell, never by what the program meant to do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/SetupApp.h"
#include "install/Installer.h"
#include "tests/Harness.h"
#include "ports/PortSelection.h"
#include "profile/SetupTexts.h"
#include "resources/resource.h"
#include "tests/faults/AllocationFaults.h"
#include "tests/sim/SimMachine.h"

namespace {

const std::string kLookupFailed = "Please connect printer properly";
const std::string kUnknownDriver = "Printer driver unknown.";
const std::string kDirectoryError = "Unexpected error 0x001C occured.";
const std::string kDriverError = "Unexpected error 0x002C occured.";
const std::string kQueueError = "Unexpected error 0x003C occured.";
const std::string kStatusMonitor = "\\STM\\QL70TILLMATE(ESCP).exe";
const std::string kUninstallKey = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvantis";
const std::string kOtherDriver = "Generic / Text Only";

// Every box the program has besides the outcome of an installation.
const std::set<std::string> kOtherBoxes = {
    "Another application is already running. Please terminate the previous application.",
    "The application will run only in Windows7 & Vista Operating System.",
    "Administrator Privileges required to install Printer Drivers.\nRight Click the \"Setup\" application and select "
    "\"Run As...\" and log in as Administrator.",
    kDirectoryError,  // the staging's, before any port
    // The staging's, when the package's files cannot be seen in its folder.
    "The folder \"C:\\Package\" does not hold the printer driver package (CORVEX_ESCP.INF, ESC_QRT_BILL.GPD).\n"
    "Please start Setup.exe from the folder of the unpacked driver package.",
    kUnknownDriver,
    "Unexpected error 0x002C occured while port enumeration.",
    ExitQuestion,
    kLookupFailed,
};

// Operations that no starting point reaches, and why. Each must stay unseen:
// one that a path starts to reach belongs in the matrix.
const std::map<std::string, std::string> kUnreached = {
    {"IsWow64Process", "asked only by the x86 build, where IsWow64Process2 fails"},
    {"IsWindowVisible", "the window operations have it; nothing of the program asks"},
    {"IsWindowEnabled", "the window operations have it; nothing of the program asks"},
    {"GetMessageA", "InitInstance always answers false: the framework runs no message loop"},
    {"TranslateMessage", "InitInstance always answers false: the framework runs no message loop"},
    {"DispatchMessageA", "InitInstance always answers false: the framework runs no message loop"},
    {"DialogTarget", "asked by the dialogs' message filter, for a key: the matrix's user clicks and presses no key"},
    {"GetAncestor", "asked by the dialogs' message filter, for a key: the matrix's user clicks and presses no key"},
    {"IsDialogMessageA", "called by the framework's message loop only, which never runs; the dialogs' own loops are the system's"},
    {"IShellLinkA::SetWorkingDirectory", "the shortcut has no working directory"},
    {"IShellLinkA::SetArguments", "the shortcut has no arguments"},
};

// Where a run starts from.
struct Start {
    const char* name;
    bool usb;
    void (*prepare)(SimMachine& machine);
    // The system asks whether to store an unsigned INF: the user who says No
    // declines it, and nothing is installed.
    bool signingQuestion = false;
};

const Start kStarts[] = {
    {"manual", false, [](SimMachine&) {}},
    {"USB", true, [](SimMachine&) {}},
    // 32-bit Windows and an INF that names no catalog: the system's signing
    // question before the store takes it, answered each way.
    {"USB, 32-bit Windows, unsigned INF", true,
     [](SimMachine& machine) {
         machine.process.nativeMachine = IMAGE_FILE_MACHINE_I386;
         machine.spooler.SetDriverDirectory("C:\\Windows\\system32\\spool\\DRIVERS\\W32X86");
         machine.files.AddFile(machine.files.currentDirectory + "\\CORVEX_ESCP.INF", PackageInf(""));
     },
     true},
    // Wine's spooler refuses a queue without a data type: the repeat with "RAW".
    {"manual, data-type repeat", false,
     [](SimMachine& machine) { machine.spooler.rejectsQueueWithoutDatatype = true; }},
    // The USB port's monitor is set up 4 s after the arrival's pause: two waits.
    {"USB, port known late", true,
     [](SimMachine& machine) {
         for (SimPort& port : machine.spooler.ports)
             if (port.name == "USB003") port.knownFrom = 1000 + 2000 + 4000;
     }},
    // No "Programs" shell folder to take the shortcut's drive from: the system drive.
    {"manual, no Programs folder", false,
     [](SimMachine& machine) {
         machine.registry.DeleteValue("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                      "Programs");
     }},
    // A driver directory short enough for the spooler's first, 10-byte answer.
    {"manual, short driver directory", false,
     [](SimMachine& machine) { machine.spooler.SetDriverDirectory("C:\\D"); }},
    // Queues of the model's name and of its first number exist (for another driver).
    {"manual, numbered names", false,
     [](SimMachine& machine) {
         SimDriver other;
         other.name = kOtherDriver;
         machine.spooler.drivers.push_back(other);
         for (const std::string& name : {kModel, kModel + " (Copy 1)"}) {
             SimQueue queue;
             queue.name = name;
             queue.portName = "LPT1:";
             queue.driverName = kOtherDriver;
             queue.printProcessor = "winprint";
             machine.spooler.queues.push_back(queue);
         }
     }},
};

// How the scripted user answers: the exit question (MB_YESNO) and the port
// enumeration's box (MB_OKCANCEL). A user who says No to "Exit Setup?" stays
// in the dialog; asked there again, he says Yes.
struct Answers {
    int yesNo;
    int okCancel;
};

std::string Describe(const Answers& answers)
{
    return std::string(answers.yesNo == IDYES ? "Yes" : "No") + "/" + (answers.okCancel == IDOK ? "OK" : "Cancel");
}

// The way each dialog goes forward: a user who says Yes takes it at once
// (minimising the model dialog and clicking its list and the port list on
// the way) and leaves when he is done; a user who says No first asks to
// leave each dialog, stays, and then goes the same way. Every box is
// answered.
class Autopilot : public SimInput {
public:
    Autopilot(SimMachine& machine, bool usb, Answers answers) : m_machine(machine), m_usb(usb), m_answers(answers)
    {
        machine.windows.input = this;
    }

    int Next(const SimMessageBox* box) override
    {
        if (++m_steps > 100) throw SimScriptExhausted("the program does not come to an end");
        if (box != nullptr) return Answer(*box);
        SimWindow* dialog = m_machine.windows.ActiveDialog();
        if (dialog == nullptr) throw SimScriptExhausted("a loop waits, and no dialog is there");
        SimUser& user = m_machine.user;
        const int cancel = dialog->templateId == IDD_SETUP_DIALOG         ? IDCANCEL
                           : dialog->templateId == IDD_PRINTER_CONNECTION ? IDC_CONNECTION_CANCEL
                                                                          : IDC_PORT_CANCEL;
        if (m_answers.yesNo == IDNO && !m_declined.count(dialog->templateId)) {
            // Asks to leave first; the question's No keeps the dialog.
            user.Click(cancel);
            return user.Next(nullptr);
        }
        int visit = ++m_visits[dialog->templateId];
        switch (dialog->templateId) {
        case IDD_SETUP_DIALOG:
            if (visit == 1)
                user.Minimize();
            else if (visit == 2)
                user.ClickItem(IDC_MODEL_LIST, 0);
            else
                user.Click(visit == 3 ? IDOK : cancel);
            break;
        case IDD_PRINTER_CONNECTION:
            if (visit == 1 && m_usb)
                user.PlugIn(kPrinterPath);
            else
                user.Click(visit == 1 ? IDC_MANUAL : cancel);
            break;
        case IDD_PORT_SELECTION:
            if (visit == 1)
                user.ClickItem(IDC_PORT_LIST, 0);
            else
                user.Click(visit == 2 ? IDC_PORT_OK : cancel);
            break;
        default: throw SimScriptExhausted("an unknown dialog waits");
        }
        return user.Next(nullptr);
    }
    bool HasMore() const override { return false; }
    // The program runs no loop of its own.
    bool NextMessage(MSG*) override { return false; }

    // The answers given, each once.
    std::set<int> given;

private:
    int Answer(const SimMessageBox& box)
    {
        int answer = IDOK;
        if ((box.style & 0x0F) == MB_OKCANCEL) {
            answer = m_answers.okCancel;
        } else if ((box.style & 0x0F) == MB_YESNO) {
            SimWindow* owner = box.owner != nullptr ? m_machine.windows.Window(box.owner) : nullptr;
            int asker = owner != nullptr ? owner->templateId : 0;
            // No the first time each dialog asks, then Yes.
            answer = m_answers.yesNo == IDNO && m_declined.insert(asker).second ? IDNO : IDYES;
        } else {
            return answer;  // a box with OK alone: no choice
        }
        given.insert(answer);
        return answer;
    }

    SimMachine& m_machine;
    bool m_usb;
    Answers m_answers;
    int m_steps = 0;
    std::map<int, int> m_visits;
    std::set<int> m_declined;  // the dialogs whose question was answered No
};

struct Fault {
    std::string operation;  // empty: an allocation
    int call = 0;           // 1-based: the call, or the allocation
    DWORD error = 0;
};

std::string Describe(const Fault& fault)
{
    if (fault.operation.empty()) return "allocation #" + std::to_string(fault.call);
    std::string error = fault.error == kShellCopyCancelled ? "cancelled at the first file"
                        : fault.error == kShellCopySkipped ? "the first file skipped"
                                                           : "error " + std::to_string(fault.error);
    return fault.operation + " #" + std::to_string(fault.call) + " (" + error + ")";
}

// One AddPrinterA call: where it is in the time line, the queue name it
// asked for, and what the spooler answered (0: the queue was created).
struct Attempt {
    size_t at;
    std::string name;
    std::string port;
    DWORD answer;
};

struct SetupRun {
    std::string escaped;  // what left the program, if anything
    bool exited = false;
    int exitCode = 0;
    std::vector<SimMessageBox> boxes;
    std::vector<SimEvent> events;
    std::map<std::string, int> calls;
    // Of each operation, the calls (numbered from 1) that a fault can fail.
    std::map<std::string, std::vector<int>> failable;
    std::vector<std::string> fired;
    std::vector<Attempt> attempts;
    uint64_t clock = 0;
    bool allocationRefused = false;
    long long allocations = 0, constructionAllocations = 0;
    // What the machine holds afterwards.
    std::vector<SimQueue> newQueues;
    bool driverRegistered = false;
    std::string defaultPrinter;
    bool statusMonitorDeployed = false;
    bool runValue = false;
    bool shortcut = false;
    bool launched = false;
    bool packageStaged = false;  // every package file in the driver directory, as the package has it
    bool infStored = false;
    bool uninstallEntry = false;
    std::string held;  // what is still held, when the machine can tell
    // The port the user chose: the printer's on the USB path; on the manual
    // path the port of the port list's selected line, or none (SelectedPort
    // as the program started) when no line is selected.
    std::string chosenPort;
    std::set<int> answers;  // what the user answered, each once
    bool okCancelBox = false;
    std::vector<std::string> unansweredQuestions;  // the system's signing question, unanswered
    std::vector<std::string> stdoutLines;  // the diagnostic lines, in order
};

void LogRefusal(void* record) { static_cast<SimCallRecord*>(record)->Log("allocation refused"); }

SetupRun RunSetup(const Start& start, const Fault& fault, Answers answers)
{
    SimMachine machine;
    InstallPlatform(machine.Services());
    SelectedPort.clear();
    AddDriverPackage(machine.files);
    machine.files.AddFolder("C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
    machine.registry.SetDword(kInterfaceKey + "\\#\\Control", "Linked", 1);
    machine.registry.SetDword(kInterfaceKey + "\\#\\Device Parameters", "Port Number", 3);
    machine.spooler.AddPort("USB003", "Virtual printer port for USB");
    start.prepare(machine);
    // The system's signing question, where it comes: Yes installs anyway.
    machine.spooler.signingAnswer = answers.yesNo == IDYES ? SimSpooler::SigningAnswer::InstallAnyway
                                                           : SimSpooler::SigningAnswer::DontInstall;
    std::set<std::string> queuesBefore;
    for (const SimQueue& queue : machine.spooler.queues) queuesBefore.insert(queue.name);
    Autopilot pilot(machine, start.usb, answers);
    if (!fault.operation.empty()) machine.record.Fail(fault.operation, fault.error, fault.call);

    SetupRun run;
    faults::Allocations& program = faults::Program();
    program = faults::Allocations{};
    program.failAt = fault.operation.empty() ? fault.call : 0;
    program.onRefused = LogRefusal;
    program.context = &machine.record;
    program.counting = true;
    try {
        CSetupApp app;
        run.constructionAllocations = program.made;
        try {
            AfxWinMain();
        } catch (const SimProcessExit& exit) {
            run.exited = true;
            run.exitCode = exit.code;
        }
    } catch (const std::exception& error) {
        run.escaped = error.what();
    }
    program.counting = false;
    program.onRefused = nullptr;
    run.allocationRefused = program.failed;
    run.allocations = program.made;
    run.boxes = machine.windows.boxes;
    run.events = machine.record.events;
    for (const SimCall& call : machine.record.CallsOf("WriteStdout")) run.stdoutLines.push_back(call.arguments);
    run.fired = machine.record.fired;
    for (const SimCall& call : machine.record.calls) {
        int number = ++run.calls[call.operation];
        if (call.canFail) run.failable[call.operation].push_back(number);
    }
    run.clock = machine.record.clock;
    std::vector<SimCall> adds = machine.record.CallsOf("AddPrinterA");
    for (size_t i = 0, n = 0; i < run.events.size(); ++i) {
        if (run.events[i].what != "AddPrinterA") continue;
        // (null), 2, "<name>", "<port>", <data type>
        const std::string& arguments = adds.at(n++).arguments;
        std::vector<std::string> quoted;
        for (size_t open = arguments.find('"'); open != std::string::npos;) {
            size_t close = arguments.find('"', open + 1);
            quoted.push_back(arguments.substr(open + 1, close - open - 1));
            open = arguments.find('"', close + 1);
        }
        DWORD answer = 0;
        for (size_t j = i + 1; j < run.events.size() && j <= i + 2; ++j)
            if (run.events[j].what.rfind("answered ", 0) == 0)
                answer = static_cast<DWORD>(std::stoul(run.events[j].what.substr(9)));
        run.attempts.push_back({i, quoted.size() > 0 ? quoted[0] : "", quoted.size() > 1 ? quoted[1] : "(null)", answer});
    }
    if (start.usb) {
        run.chosenPort = "USB003";
    } else if (SimWindow* list = machine.windows.Control(IDD_PORT_SELECTION, IDC_PORT_LIST)) {
        if (list->currentSelection >= 0 && static_cast<size_t>(list->currentSelection) < list->items.size()) {
            const std::string& line = list->items[static_cast<size_t>(list->currentSelection)].text;
            run.chosenPort = "(a line of no port: " + line + ")";
            for (const SimPort& port : machine.spooler.ports)
                if (line == port.name + " (" + port.description + ")") run.chosenPort = port.name;
        }
    }
    run.answers = pilot.given;
    for (const SimMessageBox& box : run.boxes) run.okCancelBox |= (box.style & 0x0F) == MB_OKCANCEL;

    for (const SimQueue& queue : machine.spooler.queues)
        if (!queuesBefore.count(queue.name)) run.newQueues.push_back(queue);
    run.driverRegistered = machine.spooler.Driver(kModel) != nullptr;
    run.defaultPrinter = machine.spooler.defaultPrinter;
    const std::string directory = machine.spooler.driverDirectory;
    run.statusMonitorDeployed = machine.files.FileExists(directory + kStatusMonitor);
    run.shortcut = machine.files.FileExists("C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Corvantis\\"
                                            "StatusMonitorQL70TILLMATE(ESCP).LNK");
    run.launched = !machine.files.launched.empty();
    run.packageStaged = true;
    for (const std::string& name : kPackageFiles) {
        const std::string source = machine.files.currentDirectory + "\\" + name;
        run.packageStaged &= machine.files.FileContent(directory + "\\" + name) == machine.files.FileContent(source);
    }
    run.unansweredQuestions = machine.spooler.unansweredQuestions;
    run.runValue = machine.registry.Value("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                          "CorvexQL70TILLMATE(ESCP)") != nullptr;
    for (const std::string& stored : machine.spooler.infStore)
        run.infStored |= machine.files.FileContent("C:\\Windows\\INF\\" + stored) ==
                         machine.files.FileContent(machine.files.currentDirectory + "\\CORVEX_ESCP.INF");
    const std::string uninstaller = directory + "\\Uninstall.exe";
    run.uninstallEntry = machine.registry.StringOf(kUninstallKey, "DisplayName") == "Corvantis Printer Software" &&
                         machine.registry.StringOf(kUninstallKey, "UninstallString") == uninstaller &&
                         machine.registry.StringOf(kUninstallKey, "DisplayIcon") == uninstaller;

    // Nothing is left held but the one handle that a failed release call was
    // given (the machine knows which); an escaped exception has told its own
    // story already.
    if (run.escaped.empty()) run.held = machine.Held();
    return run;
}

size_t IndexAfter(const std::vector<SimEvent>& events, const std::string& what, size_t from)
{
    for (size_t i = from; i < events.size(); ++i)
        if (events[i].what == what) return i;
    return std::string::npos;
}

size_t LastIndex(const std::vector<SimEvent>& events, const std::string& what)
{
    for (size_t i = events.size(); i-- > 0;)
        if (events[i].what == what) return i;
    return std::string::npos;
}

// What every run must show. Empty when it does.
std::string Problems(const SetupRun& run, const Start& start, const Fault& fault)
{
    std::string problems;
    auto problem = [&problems](const std::string& text) { problems += "\n  " + text; };
    if (!run.escaped.empty()) problem("an exception left the program: " + run.escaped);
    if (!run.held.empty()) problem("held at the end: " + run.held);
    for (const std::string& inf : run.unansweredQuestions) problem("the signing question for " + inf + " unanswered");
    // The longest mandated waits: a second, two after the arrival, thirty for a port.
    if (run.clock > 1000 + 2000 + 30000) problem("simulated time ran to " + std::to_string(run.clock) + " ms");

    const std::vector<SimEvent>& events = run.events;
    const size_t none = std::string::npos;
    // Where the one failure fell in the time line, if it fell at all.
    size_t failure = none;
    for (size_t i = 0; i < events.size() && failure == none; ++i)
        if (events[i].what.rfind("fault ", 0) == 0 || events[i].what == "allocation refused") failure = i;
    const bool boxRefused = !run.fired.empty() && fault.operation == "MessageBoxA";

    size_t portStep = events.size();
    bool installerRan = false;
    for (size_t i = 0; i < events.size(); ++i) {
        const std::string& what = events[i].what;
        if (what == "open 108" && portStep == events.size()) portStep = i;
        // The port dialog hides itself to install; the arrival's pause precedes the installer.
        if (i > portStep && (what == "hide 109" || (start.usb && what == "Sleep"))) installerRan = true;
    }

    // The outcome that the machine's state and the record call for: the
    // first stage that failed, or the success text naming the new queue.
    const SimQueue* queue = run.newQueues.empty() ? nullptr : &run.newQueues.front();
    if (run.newQueues.size() > 1) problem(std::to_string(run.newQueues.size()) + " queues created");
    std::string expected;
    if (queue != nullptr)
        expected = queue->name + (queue->name == kModel && run.statusMonitorDeployed ? kWithMonitor : kDriverOnly);
    else if (run.driverRegistered)
        expected = kQueueError;
    else if (run.calls.count("AddPrinterDriverA"))
        expected = kDriverError;
    else
        expected = kDirectoryError;
    // The USB path stores the INF before anything else and installs only
    // after the store took it: a refusal is named with the store's error.
    const size_t firstStore = IndexAfter(events, "SetupCopyOEMInfA", 0);
    if (start.usb && queue == nullptr && !run.calls.count("AddPrinterDriverA") && firstStore != none) {
        for (size_t j = firstStore + 1; j < events.size() && j <= firstStore + 6; ++j) {
            if (events[j].what.rfind("answered ", 0) != 0) continue;
            DWORD error = static_cast<DWORD>(std::stoul(events[j].what.substr(9)));
            char text[200];
            std::snprintf(text, sizeof text, InfStoreErrorFormat, static_cast<unsigned>(error));
            if (error != ERROR_FILE_EXISTS) expected = text;
            break;
        }
    }
    // "Printer driver unknown." answers only the spooler's ERROR_UNKNOWN_PRINTER_DRIVER for the last attempt.
    const bool unknownDriver = !run.attempts.empty() && run.attempts.back().answer == ERROR_UNKNOWN_PRINTER_DRIVER;

    std::vector<std::string> outcomes;
    int lookups = 0, unknownBoxes = 0;
    size_t unknownAt = none, outcomeAt = none, boxIndex = 0;
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i].what.rfind("box ", 0) != 0) continue;
        const std::string& text = run.boxes.at(boxIndex++).text;
        bool isOutcome = i > portStep && text != kUnknownDriver && text != kLookupFailed && text != ExitQuestion &&
                         text.find("while port enumeration") == std::string::npos;
        if (isOutcome) {
            outcomes.push_back(text);
            outcomeAt = i;
        } else if (kOtherBoxes.count(text) == 0) {
            problem("a box the program does not have: " + text);
        }
        lookups += text == kLookupFailed ? 1 : 0;
        if (text == kUnknownDriver && i > portStep) {
            ++unknownBoxes;
            unknownAt = i;
        }
    }
    // A port enumeration that failed is told with its box, and only then:
    // the first call answered other than ERROR_INSUFFICIENT_BUFFER, or no
    // buffer could be had for the second, or the second failed, or the
    // names' copies could not be made (before the dialog shows).
    const size_t firstEnumeration = IndexAfter(events, "EnumPortsA", 0);
    if (firstEnumeration != none) {
        auto answerOf = [&events](size_t call) -> DWORD {
            for (size_t j = call + 1; j < events.size() && j <= call + 2; ++j)
                if (events[j].what.rfind("answered ", 0) == 0) return static_cast<DWORD>(std::stoul(events[j].what.substr(9)));
            return 0;
        };
        const size_t shown = IndexAfter(events, "show 109", firstEnumeration);
        const size_t second = IndexAfter(events, "EnumPortsA", firstEnumeration + 1);
        const DWORD first = answerOf(firstEnumeration);
        bool failed = (first != 0 && first != ERROR_INSUFFICIENT_BUFFER) ||
                      (first == ERROR_INSUFFICIENT_BUFFER && (second == none || second > shown || answerOf(second) != 0));
        for (size_t i = firstEnumeration; i < events.size() && i < shown; ++i)
            failed |= events[i].what == "allocation refused";
        bool told = false;
        for (const SimMessageBox& box : run.boxes) told |= box.text.find("while port enumeration") != std::string::npos;
        if (failed != told && !boxRefused)
            problem(failed ? "a failed port enumeration without its box" : "the enumeration's box without a failure");
    }
    // The sizing's diagnostics: "Can't get memory for new data buffer"
    // follows the line that announced the buffer exactly when its
    // allocation was refused.
    for (size_t i = 0, line = 0; i < events.size(); ++i) {
        if (events[i].what != "WriteStdout" || line >= run.stdoutLines.size()) continue;
        const std::string& text = run.stdoutLines[line++];
        if (text.rfind("Allocating a buffer of size ", 0) != 0) continue;
        bool refused = i + 1 < events.size() && events[i + 1].what == "allocation refused";
        bool told = line < run.stdoutLines.size() && run.stdoutLines[line] == "Can't get memory for new data buffer\n";
        if (refused != told)
            problem(refused ? "a refused buffer without its diagnostic line" : "the diagnostic line without a refusal");
    }
    if (outcomes.size() > 1) problem(std::to_string(outcomes.size()) + " outcome boxes");
    if (installerRan && outcomes.size() + lookups != 1 && !boxRefused)
        problem("an installer ran, and " + std::to_string(outcomes.size()) + " outcomes");
    if (!installerRan && queue != nullptr) problem("a queue without an installation");

    // The staging (the copy before the port dialogs) lets setup go on only
    // with the whole package in the driver directory; a copy that failed or
    // was aborted ends the process with exit code 1 before any port dialog.
    // Setup goes on without the package only when the staging could not
    // find the driver directory, and says so (0x001C before any port dialog).
    bool stagingDirectoryTold = false;
    for (size_t i = 0, box = 0; i < portStep && i < events.size(); ++i)
        if (events[i].what.rfind("box ", 0) == 0) stagingDirectoryTold |= run.boxes.at(box++).text == kDirectoryError;
    const bool staged = !stagingDirectoryTold;
    if (run.exited && (run.exitCode != 1 || portStep < events.size()))
        problem("the process ended with exit code " + std::to_string(run.exitCode) +
                (portStep < events.size() ? ", after the port dialogs opened" : ""));
    if (staged && portStep < events.size() && !run.packageStaged)
        problem("setup went on with the package staged in part");
    if (!run.statusMonitorDeployed && (run.runValue || run.shortcut || run.launched))
        problem("a Run value, a shortcut or a launch without the status monitor deployed");
    if (!outcomes.empty() && outcomes.front() != expected)
        problem("the outcome \"" + outcomes.front() + "\" where the machine calls for \"" + expected + "\"");
    if (unknownBoxes > (unknownDriver ? 1 : 0))
        problem("\"Printer driver unknown.\" without the spooler's ERROR_UNKNOWN_PRINTER_DRIVER");
    if (unknownDriver && unknownBoxes == 0 && !boxRefused)
        problem("no \"Printer driver unknown.\" after the spooler's ERROR_UNKNOWN_PRINTER_DRIVER");
    if (unknownAt != none && outcomeAt != none && (outcomeAt < unknownAt || outcomes.front() != kQueueError))
        problem("\"Printer driver unknown.\" not followed by the 0x003C box");

    // The queue's attempts: the model's name first; the same name again only
    // after an unknown port (with a wait) or a refused record without a data
    // type (the repeat); the next numbered name only after "already exists";
    // nothing after any other answer; and a wait nowhere else.
    const std::vector<Attempt>& attempts = run.attempts;
    int numbered = 0;
    for (size_t i = 0; i < attempts.size(); ++i) {
        const Attempt& attempt = attempts[i];
        if (i == 0 && attempt.name != kModel) problem("the first queue name tried is " + attempt.name);
        if (i + 1 == attempts.size()) break;
        const Attempt& next = attempts[i + 1];
        std::string nextNumbered = kModel + " (Copy " + std::to_string(numbered + 1) + ")";
        bool renumbered = attempt.answer == ERROR_PRINTER_ALREADY_EXISTS && next.name == nextNumbered;
        bool repeated = (attempt.answer == ERROR_UNKNOWN_PORT || attempt.answer == ERROR_INVALID_PARAMETER) &&
                        next.name == attempt.name;
        numbered += renumbered ? 1 : 0;
        if (!renumbered && !repeated)
            problem("\"" + next.name + "\" tried after \"" + attempt.name + "\" was answered " +
                    std::to_string(attempt.answer));
        bool waited = false;
        for (size_t e = attempt.at; e < next.at; ++e) waited |= events[e].what == "Sleep";
        bool portWait = attempt.answer == ERROR_UNKNOWN_PORT && attempt.name == kModel && next.name == kModel;
        if (waited != portWait)
            problem(std::string(waited ? "a wait" : "no wait") + " after \"" + attempt.name + "\" was answered " +
                    std::to_string(attempt.answer));
    }
    // Every attempt is made on the port the user chose, whatever the spooler answers.
    for (const Attempt& attempt : attempts)
        if (attempt.port != run.chosenPort) {
            problem("a queue asked for on the port \"" + attempt.port + "\", the port chosen \"" + run.chosenPort +
                    "\"");
            break;
        }
    if (queue != nullptr && (attempts.empty() || attempts.back().name != queue->name || attempts.back().answer != 0))
        problem("the queue " + queue->name + " is not the one the last attempt created");

    if (queue != nullptr) {
        if (queue->driverName != kModel || !run.driverRegistered)
            problem("the new queue's driver is " + queue->driverName +
                    (run.driverRegistered ? "" : ", not registered"));
        if (run.defaultPrinter != queue->name && fault.operation != "SetDefaultPrinterA")
            problem("the new queue is not the default printer");
        if (queue->name != kModel && (run.statusMonitorDeployed || run.runValue))
            problem("a status monitor for the numbered queue " + queue->name);

        // The INF store and the uninstall entry follow every created queue;
        // each may be missing only when a step of its own failed: the INF
        // file from its driver-directory query to its copy into the store,
        // the uninstall entry anywhere after that.
        size_t infStart = IndexAfter(events, "GetPrinterDriverDirectoryA", LastIndex(events, "AddPrinterA"));
        size_t infCopy = infStart == none ? none : IndexAfter(events, "SetupCopyOEMInfA", infStart);
        size_t infEnd = infCopy;
        if (infCopy != none && infCopy + 1 < events.size() && events[infCopy + 1].what == "fault SetupCopyOEMInfA")
            ++infEnd;  // its fault follows it
        bool infOwnFailure = failure != none && infStart != none && failure >= infStart &&
                             (infEnd == none || failure <= infEnd);
        bool infDone = infCopy != none && run.infStored;
        if (!infDone && !infOwnFailure) problem("the INF file was not stored, and none of its steps failed");
        bool entryOwnFailure = failure != none && infEnd != none && failure > infEnd;
        if (!run.uninstallEntry && !entryOwnFailure)
            problem("the uninstall entry is missing or incomplete, and none of its steps failed");
    }
    return problems;
}

TEST(FaultMatrix, EverySingleFaultEndsSoundlyAndToldOnce)
{
    // The user who says Yes (and OK), the one who says No (and Cancel); the
    // runs that show the port enumeration's box once more with its other button.
    const Answers kUsers[] = {{IDYES, IDOK}, {IDNO, IDCANCEL}};
    std::set<std::string> seen, faulted;
    std::map<std::string, int> runsByAnswer, runsByUser;
    int allRuns = 0, failures = 0;
    for (const Start& start : kStarts) {
        for (const Answers& user : kUsers) {
            const std::string where = std::string(start.name) + ", " + Describe(user);
            SetupRun clean = RunSetup(start, {}, user);
            ASSERT_EQ(Problems(clean, start, {}), "") << where;
            // The user who declines the unsigned driver gets nothing installed.
            const bool declined = start.signingQuestion && user.yesNo == IDNO;
            ASSERT_EQ(clean.newQueues.size(), declined ? 0u : 1u) << where;
            ASSERT_FALSE(clean.boxes.empty()) << where;
            ASSERT_EQ(clean.boxes.back().text.find(" installed successfully.") != std::string::npos, !declined) << where;
            // The user who says No has said it, and still installed.
            ASSERT_EQ(clean.answers.count(IDNO), user.yesNo == IDNO ? 1u : 0u) << where;
            for (const SimMessageBox& box : clean.boxes)
                ASSERT_TRUE(&box == &clean.boxes.back() || box.text == ExitQuestion) << where << ": " << box.text;
            for (const auto& [operation, count] : clean.calls) seen.insert(operation);

            int runs = 0, calls = 0, notFailable = 0;
            // Each scheduled fault is injected: the run is the same as the
            // clean one up to the call or allocation that it fails.
            auto check = [&](const Fault& fault, Answers answers) {
                SetupRun run = RunSetup(start, fault, answers);
                bool fired = fault.operation.empty() ? run.allocationRefused : !run.fired.empty();
                if (!fired) {
                    if (++failures <= 40)
                        ADD_FAILURE() << where << ", " << Describe(fault) << ": the scheduled fault did not fire";
                    return false;
                }
                ++runs;
                ++runsByUser[Describe(answers)];
                calls += fault.operation.empty() ? 0 : 1;
                for (const auto& [operation, count] : run.calls) seen.insert(operation);
                for (int answer : run.answers)
                    ++runsByAnswer[answer == IDYES ? "Yes" : answer == IDNO ? "No" : answer == IDOK ? "OK" : "Cancel"];
                if (!fault.operation.empty()) faulted.insert(fault.operation);
                std::string problems = Problems(run, start, fault);
                if (!problems.empty() && ++failures <= 40)
                    ADD_FAILURE() << start.name << ", " << Describe(answers) << ", " << Describe(fault) << ":"
                                  << problems;
                // The port enumeration's box: once more with its other button.
                return run.okCancelBox && answers.okCancel == user.okCancel;
            };
            auto both = [&](const Fault& fault) {
                if (check(fault, user)) check(fault, {user.yesNo, user.okCancel == IDOK ? IDCANCEL : IDOK});
            };
            for (const auto& [operation, count] : clean.calls) {
                const std::vector<int>& failable = clean.failable[operation];
                std::vector<DWORD> errors = SimCallRecord::ErrorsOf(operation);
                notFailable += errors.empty() ? 0 : count - static_cast<int>(failable.size());
                for (DWORD error : errors)
                    for (int call : failable) both(Fault{operation, call, error});
            }
            for (long long allocation = 1; allocation <= clean.allocations; ++allocation)
                both(Fault{"", static_cast<int>(allocation), 0});
            std::cout << "fault matrix, " << where << ": " << runs << " runs, each with its fault injected (" << calls
                      << " failing calls of " << clean.calls.size() << " operations called, " << runs - calls
                      << " refused allocations, " << clean.constructionAllocations
                      << " of them the application object's construction; " << notFailable
                      << " calls of operations that fail otherwise left out, which Windows does not fail)"
                      << std::endl;
            allRuns += runs;
        }
    }
    if (failures > 40) ADD_FAILURE() << failures - 40 << " more runs with problems";

    // Every operation that the machine has is met, or named with why not;
    // each that Windows can fail and that a starting point calls has failed.
    for (const auto& [operation, why] : kUnreached)
        if (!SimCallRecord::Known(operation))
            ADD_FAILURE() << "listed as unreached, and the machine has no operation " << operation << " (" << why << ")";
    for (const std::string& operation : SimCallRecord::AllOperations()) {
        bool unreached = kUnreached.count(operation) != 0;
        if (!seen.count(operation) && !unreached) ADD_FAILURE() << "no path calls " << operation;
        if (seen.count(operation) && unreached) ADD_FAILURE() << operation << " is called, and listed as unreached";
        if (seen.count(operation) && !SimCallRecord::ErrorsOf(operation).empty() && !faulted.count(operation))
            ADD_FAILURE() << "no fault of " << operation << " was injected";
    }
    std::string covered;
    for (const std::string& operation : faulted) covered += (covered.empty() ? "" : ", ") + operation;
    std::cout << "fault matrix: runs by user";
    for (const auto& [user, runs] : runsByUser) std::cout << " " << user << ": " << runs << ",";
    std::cout << std::endl << "fault matrix: runs in which the user answered";
    for (const auto& [answer, runs] : runsByAnswer) std::cout << " " << answer << ": " << runs << ",";
    std::cout << std::endl;
    std::cout << "fault matrix: " << allRuns << " runs, each with its one fault injected; " << seen.size()
              << " of "
              << SimCallRecord::AllOperations().size() << " operations called, " << faulted.size()
              << " of them failed: " << covered << std::endl;
}

}  // namespace

// The whole program on a simulated machine, from start-up to the last
// message, down both ways of finding the port: the printer arriving on USB,
// and the port chosen by hand.
#include <cstdio>
#include <cstring>

#include "install/Installer.h"
#include "tests/Harness.h"

namespace {

const std::string kConnectPrinter = "Please connect printer properly";

}  // namespace

class PortDiscovery : public SetupTest {
protected:
    void SetUp() override
    {
        SetupTest::SetUp();
        AddPackage();
        machine.files.AddFolder("C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
        // The model dialog's OK leads to the connection dialog.
        user.Click(IDOK);
    }

    // The system's record of the printer's USB printing interface.
    void SeedUsbInterface(DWORD portNumber = 3)
    {
        machine.registry.SetDword(kInterfaceKey + "\\#\\Control", "Linked", 1);
        machine.registry.SetDword(kInterfaceKey + "\\#\\Device Parameters", "Port Number", portNumber);
        char port[16];
        std::snprintf(port, sizeof port, "USB%03u", portNumber);
        machine.spooler.AddPort(port, "Virtual printer port for USB");
    }


    SimWindow* PortControl(int id) { return screen.Control(IDD_PORT_SELECTION, id); }
    std::vector<std::string> PortItems()
    {
        std::vector<std::string> items;
        for (const SimItem& item : PortControl(IDC_PORT_LIST)->items) items.push_back(item.text);
        return items;
    }
    // The platform's OK command, as a dialog receives it.
    void SendOkCommand(int templateId)
    {
        screen.SendMessageA(screen.Dialog(templateId)->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
};

class ManualPath : public PortDiscovery {
protected:
    void SetUp() override
    {
        PortDiscovery::SetUp();
        user.Click(IDC_MANUAL);
    }
};

class UsbPath : public PortDiscovery {};

// ---------------------------------------------------------------- the manual path

TEST_F(ManualPath, LptOneIsProposedAndOkInstallsOnIt)
{
    user.Then([&] {
        EXPECT_FALSE(screen.Dialog(IDD_PRINTER_CONNECTION)->visible);
        EXPECT_EQ(PortItems(), (std::vector<std::string>{"LPT1: (Printer Port)", "COM1: (Serial Port)",
                                                         "FILE: (Print to File)"}));
        EXPECT_EQ(PortControl(IDC_PORT_LIST)->currentSelection, 0);
        EXPECT_EQ(PortControl(IDC_CURRENT_PORT)->text, "LPT1: (Printer Port)");
        EXPECT_TRUE(PortControl(IDC_PORT_OK)->enabled);
        // The dialog manager's first focus: the current port box, the first tab stop.
        EXPECT_EQ(screen.Focus(), PortControl(IDC_CURRENT_PORT)->hwnd);
        EXPECT_EQ(SelectedPort, "LPT1:");
        // Every item's data is its own copy of the bare port name.
        EXPECT_STREQ(reinterpret_cast<const char*>(PortControl(IDC_PORT_LIST)->items[1].data), "COM1:");
    });
    user.Click(IDC_PORT_OK);
    user.Answer(IDOK);
    EXPECT_EQ(RunSetup(), 0);

    EXPECT_EQ(QueueNamed(kModel).portName, "LPT1:");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
    EXPECT_TRUE(InOrder(record, {"UnregisterDeviceNotification", "hide 108", "open 109", "EnumPortsA", "EnumPortsA",
                                 "hide 109", "show 130", "cursor wait", "paint 130", "AddPrinterA", "hide 130",
                                 "cursor normal", "box " + kModel + kWithMonitor, "end 109 1", "end 108 1",
                                 "end 102 1"}));
    EXPECT_EQ(record.CallsOf("EnumPortsA").at(0).arguments, "(null), 2, 10");
    EXPECT_EQ(machine.spooler.ActiveRegistrations(), 0);
    EXPECT_TRUE(screen.Dialog(IDD_FILE_COPY)->destroyed);
    EXPECT_FALSE(machine.process.MutexOpen(SetupMutexName));
}

TEST_F(ManualPath, TheLastPortChosenIsTheOneInstalledOn)
{
    user.ClickItem(IDC_PORT_LIST, 1);
    user.Then([&] {
        EXPECT_EQ(SelectedPort, "COM1:");
        EXPECT_EQ(PortControl(IDC_CURRENT_PORT)->text, "COM1: (Serial Port)");
    });
    user.ClickItem(IDC_PORT_LIST, 2);
    user.Then([&] { EXPECT_EQ(PortControl(IDC_CURRENT_PORT)->text, "FILE: (Print to File)"); });
    user.Press(VK_RETURN);  // the default button, OK
    user.Answer(IDOK);
    RunSetup();
    EXPECT_EQ(QueueNamed(kModel).portName, "FILE:");
}

TEST_F(ManualPath, WithoutAnExactLptOneNothingIsProposedAndOkHandsOverNoPort)
{
    machine.spooler.ports.clear();
    machine.spooler.AddPort("lpt1:", "Printer Port");
    machine.spooler.AddPort("COM1:", "Serial Port");
    user.Then([&] {
        EXPECT_EQ(PortControl(IDC_PORT_LIST)->currentSelection, -1);
        EXPECT_EQ(PortControl(IDC_CURRENT_PORT)->text, "");
        EXPECT_TRUE(PortControl(IDC_PORT_OK)->enabled);
    });
    user.Click(IDC_PORT_OK);
    user.Answer(IDOK);
    RunSetup();
    // No port of that name: the queue creation waits out its bound and fails.
    EXPECT_EQ(record.CallsOf("AddPrinterA").at(0).arguments, "(null), 2, \"" + kModel + "\", \"\", (null)");
    // The second at start-up, then fifteen waits of two seconds.
    EXPECT_EQ(record.clock, 1000u + 30000u);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unexpected error 0x003C occured."});
}

TEST_F(ManualPath, NoPortsAtAllIsAnEmptyListWithoutAnError)
{
    machine.spooler.ports.clear();
    user.Then([&] { EXPECT_TRUE(PortItems().empty()); });
    LeaveByCancel(IDC_PORT_CANCEL);
    RunSetup();
    EXPECT_EQ(record.CountOf("EnumPortsA"), 1);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{ExitQuestion});
    EXPECT_TRUE(InOrder(record, {"end 109 2", "end 108 1", "end 102 1"}));
}

struct EnumerationFailure {
    int failingCall;
    int errorAnswer;
};

void PrintTo(const EnumerationFailure& failure, std::ostream* out) { *out << "call " << failure.failingCall; }

class ManualPathEnumerationFailure : public ManualPath, public ::testing::WithParamInterface<EnumerationFailure> {};

TEST_P(ManualPathEnumerationFailure, YesToTheExitQuestionEndsBeforeTheDialogShows)
{
    machine.record.Fail("EnumPortsA", ERROR_ACCESS_DENIED, GetParam().failingCall);
    user.Answer(GetParam().errorAnswer).Answer(IDYES);
    RunSetup();

    ASSERT_EQ(screen.boxes.size(), 2u);
    EXPECT_EQ(screen.boxes[0].text, "Unexpected error 0x002C occured while port enumeration.");
    EXPECT_EQ(screen.boxes[0].style, UINT(MB_OKCANCEL));
    EXPECT_EQ(screen.boxes[0].caption, SetupCaption);
    EXPECT_NE(screen.boxes[0].owner, nullptr);
    EXPECT_EQ(screen.boxes[1].text, ExitQuestion);
    EXPECT_FALSE(record.Happened("show 109"));
    EXPECT_TRUE(InOrder(record, {"end 109 2", "end 108 1", "end 102 1"}));
    EXPECT_TRUE(machine.spooler.queues.empty());
}

TEST_P(ManualPathEnumerationFailure, NoToTheExitQuestionOpensAnEmptyList)
{
    machine.record.Fail("EnumPortsA", ERROR_ACCESS_DENIED, GetParam().failingCall);
    user.Answer(GetParam().errorAnswer).Answer(IDNO);
    user.Then([&] {
        EXPECT_TRUE(screen.Dialog(IDD_PORT_SELECTION)->visible);
        EXPECT_TRUE(PortItems().empty());
    });
    LeaveByCancel(IDC_PORT_CANCEL);
    RunSetup();
    EXPECT_EQ(BoxTexts().size(), 3u);
    EXPECT_TRUE(machine.spooler.queues.empty());
}

INSTANTIATE_TEST_SUITE_P(Calls, ManualPathEnumerationFailure,
                         ::testing::Values(EnumerationFailure{1, IDOK}, EnumerationFailure{2, IDCANCEL}),
                         [](const ::testing::TestParamInfo<EnumerationFailure>& info) {
                             return "Call" + std::to_string(info.param.failingCall);
                         });

TEST_F(ManualPath, EscapeAndThePlatformsOkCommandLeaveThePortDialogOpen)
{
    user.Press(VK_ESCAPE);
    user.Then([&] { SendOkCommand(IDD_PORT_SELECTION); });
    user.Then([&] {
        EXPECT_TRUE(screen.Dialog(IDD_PORT_SELECTION)->visible);
        EXPECT_FALSE(screen.Dialog(IDD_PORT_SELECTION)->ended);
        EXPECT_TRUE(screen.boxes.empty());
    });
    user.CloseBox().Answer(IDNO);
    user.Then([&] { EXPECT_FALSE(screen.Dialog(IDD_PORT_SELECTION)->ended); });
    LeaveByCancel(IDC_PORT_CANCEL);
    RunSetup();
    EXPECT_TRUE(record.Happened("key dropped 0x1b"));
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{ExitQuestion, ExitQuestion}));
    EXPECT_TRUE(InOrder(record, {"end 109 2", "end 108 1"}));
    EXPECT_TRUE(machine.spooler.queues.empty());
}

// ---------------------------------------------------------------- the USB path

TEST_F(UsbPath, TheConfiguredPrinterArrivingInstallsOnItsUsbPort)
{
    SeedUsbInterface(3);
    user.PlugIn(kPrinterPath);
    user.Answer(IDOK);
    EXPECT_EQ(RunSetup(), 0);

    EXPECT_EQ(QueueNamed(kModel).portName, "USB003");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
    EXPECT_TRUE(InOrder(record, {"RegisterDeviceNotificationA", "arrival " + kPrinterPath,
                                 "UnregisterDeviceNotification", "end 108 1", "cursor wait", "show 130", "paint 130", "Sleep",
                                 "SetupCopyOEMInfA", "RegOpenKeyExA", "AddPrinterDriverA", "AddPrinterA", "hide 130",
                                 "cursor normal", "box " + kModel + kWithMonitor, "post 108 0x0", "end 102 1"}));
    // Size, type, the reserved field, the recipient kind (a window).
    EXPECT_EQ(record.CallsOf("RegisterDeviceNotificationA").at(0).arguments, "32, 5, 0, 0");
    EXPECT_EQ(record.CallsOf("Sleep").at(1).arguments, "2000");
    EXPECT_EQ(machine.spooler.ActiveRegistrations(), 0);
    EXPECT_EQ(machine.registry.OpenKeys(), 0);
    EXPECT_EQ(SelectedPort, "");
}

TEST_F(UsbPath, AnotherSerialNumberAndRemovalsChangeNothing)
{
    SeedUsbInterface();
    user.PlugIn("\\\\?\\USB#VID_F1C4&PID_1101#QL70_TILLMATE2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    user.PlugIn("\\\\?\\USB#VID_F1C4&PID_1102#QL70_TILLMATE#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    user.Unplug(kPrinterPath);
    user.Then([&] {
        EXPECT_TRUE(screen.Dialog(IDD_PRINTER_CONNECTION)->visible);
        EXPECT_EQ(machine.spooler.ActiveRegistrations(), 1);
    });
    LeaveByCancel(IDC_CONNECTION_CANCEL);
    RunSetup();
    EXPECT_EQ(record.CountOf("SetupCopyOEMInfA"), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{ExitQuestion});
    EXPECT_EQ(machine.spooler.ActiveRegistrations(), 0);
}

TEST_F(UsbPath, ASecondArrivalDuringTheInstallationHasNoEffect)
{
    SeedUsbInterface();
    user.PlugIn(kPrinterPath);
    // Delivered while the outcome box pumps messages.
    user.PlugIn(kPrinterPath);
    user.Answer(IDOK);
    RunSetup();
    EXPECT_EQ(record.CountOf("AddPrinterDriverA"), 1);
    EXPECT_EQ(machine.spooler.queues.size(), 1u);
    EXPECT_EQ(BoxTexts().size(), 1u);
}

TEST_F(UsbPath, AnArrivalUnderTheOpenExitQuestionIsHandledAtOnce)
{
    SeedUsbInterface();
    user.Click(IDC_CONNECTION_CANCEL);
    user.PlugIn(kPrinterPath);
    user.Answer(IDOK);   // the outcome, over the question
    user.Answer(IDYES);  // the question, which no longer matters
    RunSetup();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{ExitQuestion, kModel + kWithMonitor}));
    EXPECT_EQ(QueueNamed(kModel).portName, "USB003");
    EXPECT_TRUE(record.Happened("end 108 1"));
    EXPECT_FALSE(record.Happened("end 108 2"));
    EXPECT_EQ(machine.spooler.ActiveRegistrations(), 0);
}

TEST_F(UsbPath, PortNumbersAreAtLeastThreeDigits)
{
    for (DWORD number : {0u, 1u, 12u, 1000u}) {
        SimMachine fresh;
        InstallPlatform(fresh.Services());
        AddDriverPackage(fresh.files);
        fresh.registry.SetDword(kInterfaceKey + "\\#\\Control", "Linked", 1);
        fresh.registry.SetDword(kInterfaceKey + "\\#\\Device Parameters", "Port Number", number);
        std::string expected = number == 1000 ? "USB1000" : number == 12 ? "USB012" : number == 1 ? "USB001" : "USB000";
        fresh.spooler.AddPort(expected);
        fresh.user.Click(IDOK).PlugIn(kPrinterPath);
        CSetupApp setup;
        AfxWinMain();
        ASSERT_EQ(fresh.spooler.queues.size(), 1u) << number;
        EXPECT_EQ(fresh.spooler.queues[0].portName, expected);
    }
    InstallPlatform(machine.Services());
    user.script.clear();
}

struct BrokenRecord {
    const char* what;
    std::function<void(SimRegistry&)> damage;
};

void PrintTo(const BrokenRecord& record, std::ostream* out) { *out << record.what; }

class UsbPathLookupFailure : public UsbPath, public ::testing::WithParamInterface<BrokenRecord> {};

TEST_P(UsbPathLookupFailure, TellsTheUserOnceAndInstallsNothing)
{
    SeedUsbInterface();
    GetParam().damage(machine.registry);
    user.PlugIn(kPrinterPath);
    user.Answer(IDOK);
    RunSetup();

    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(Describe(screen.boxes[0]), Describe({nullptr, kConnectPrinter, "Setup", MB_OK | MB_ICONEXCLAMATION, 0, 0}));
    EXPECT_EQ(record.CountOf("AddPrinterDriverA"), 0);
    EXPECT_EQ(record.CountOf("AddPrinterA"), 0);
    EXPECT_EQ(machine.registry.OpenKeys(), 0);
    EXPECT_FALSE(screen.waitCursor);
    EXPECT_TRUE(InOrder(record, {"box " + kConnectPrinter, "hide 130", "end 102 1"}));
}

INSTANTIATE_TEST_SUITE_P(
    Records, UsbPathLookupFailure,
    ::testing::Values(
        BrokenRecord{"NoInterfaceOfThatSerial",
                     [](SimRegistry& registry) {
                         SimRegistry& r = registry;
                         r.DeleteKey(kInterfaceKey);
                         r.SetDword("HKLM\\SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\"
                                    "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\##?#USB#Vid_f1c4&Pid_1101#OTHER#"
                                    "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\#\\Control",
                                    "Linked", 1);
                     }},
        BrokenRecord{"NoClassKey",
                     [](SimRegistry& r) {
                         r.DeleteKey("HKLM\\SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\"
                                     "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
                     }},
        BrokenRecord{"NoReferenceKey", [](SimRegistry& r) { r.DeleteKey(kInterfaceKey + "\\#"); }},
        BrokenRecord{"NoControlKey", [](SimRegistry& r) { r.DeleteKey(kInterfaceKey + "\\#\\Control"); }},
        BrokenRecord{"NotLinked", [](SimRegistry& r) { r.SetDword(kInterfaceKey + "\\#\\Control", "Linked", 0); }},
        BrokenRecord{"NoLinkedValue",
                     [](SimRegistry& r) { r.DeleteValue(kInterfaceKey + "\\#\\Control", "Linked"); }},
        // A value without data reads as nothing: not 1, so not linked.
        BrokenRecord{"LinkedWithoutData",
                     [](SimRegistry& r) {
                         r.SetValue(kInterfaceKey + "\\#\\Control", "Linked", REG_DWORD, std::vector<BYTE>());
                     }},
        BrokenRecord{"NoParametersKey",
                     [](SimRegistry& r) { r.DeleteKey(kInterfaceKey + "\\#\\Device Parameters"); }},
        BrokenRecord{"NoPortNumber",
                     [](SimRegistry& r) { r.DeleteValue(kInterfaceKey + "\\#\\Device Parameters", "Port Number"); }},
        BrokenRecord{"PortNumberTooLong",
                     [](SimRegistry& r) {
                         r.SetValue(kInterfaceKey + "\\#\\Device Parameters", "Port Number", REG_BINARY,
                                    std::vector<BYTE>(8, 1));
                     }},
        BrokenRecord{"PortNumberTooShort",
                     [](SimRegistry& r) {
                         r.SetValue(kInterfaceKey + "\\#\\Device Parameters", "Port Number", REG_BINARY,
                                    std::vector<BYTE>(2, 7));
                     }}),
    [](const ::testing::TestParamInfo<BrokenRecord>& info) { return std::string(info.param.what); });

TEST_F(UsbPath, EachFailingRegistryCallOfTheLookupIsAFailedLookup)
{
    // The class, interface, reference and control keys, Linked, the
    // parameters key, Port Number: the lookup's calls after the INF stage's.
    for (int failing = 1; failing <= 7; ++failing) {
        SimMachine fresh;
        InstallPlatform(fresh.Services());
        for (const char* name : {"CORVEX_ESCP.INF", "CORVEX_ESCP.CAT", "ESC_QRT_BILL.GPD"})
            fresh.files.AddFile(fresh.files.currentDirectory + "\\" + name, PackageContent(name));
        fresh.registry.SetDword(kInterfaceKey + "\\#\\Control", "Linked", 1);
        fresh.registry.SetDword(kInterfaceKey + "\\#\\Device Parameters", "Port Number", 3);
        fresh.record.Fail(failing == 5 || failing == 7 ? "RegQueryValueExA" : "RegOpenKeyExA", ERROR_ACCESS_DENIED,
                          failing <= 4 ? failing : failing == 5 ? 1 : failing == 6 ? 5 : 2);
        fresh.user.Click(IDOK).PlugIn(kPrinterPath);
        CSetupApp setup;
        AfxWinMain();
        ASSERT_EQ(fresh.windows.boxes.size(), 1u) << failing;
        EXPECT_EQ(fresh.windows.boxes[0].text, kConnectPrinter) << failing;
        EXPECT_EQ(fresh.record.CountOf("AddPrinterA"), 0) << failing;
        EXPECT_EQ(fresh.registry.OpenKeys(), 0) << failing;
    }
    InstallPlatform(machine.Services());
    user.script.clear();
}

// The driver store's answer to the package's INF, which the USB path asks
// for before anything else: it installs only after the store took the INF.
struct StoreAnswer {
    const char* what;
    WORD nativeMachine;
    // The INF's catalog entry in [Version], or none.
    const char* catalogEntry;
    SimSpooler::SigningAnswer signing;
    // The error the outcome names; 0: the printer is installed.
    DWORD refusal;
    bool asked = false;  // the system's signing question came
    DWORD fault = 0;     // SetupCopyOEMInfA fails with this
};
void PrintTo(const StoreAnswer& answer, std::ostream* out) { *out << answer.what; }

class UsbPathDriverStore : public UsbPath, public ::testing::WithParamInterface<StoreAnswer> {};

TEST_P(UsbPathDriverStore, InstallsOnlyWhatTheStoreTookAndNamesItsRefusal)
{
    const StoreAnswer& row = GetParam();
    machine.process.nativeMachine = row.nativeMachine;
    if (row.nativeMachine == IMAGE_FILE_MACHINE_I386)
        machine.spooler.SetDriverDirectory("C:\\Windows\\system32\\spool\\DRIVERS\\W32X86");
    machine.files.AddFile(machine.files.currentDirectory + "\\CORVEX_ESCP.INF", PackageInf(row.catalogEntry));
    machine.spooler.signingAnswer = row.signing;
    if (row.fault != 0) machine.record.Fail("SetupCopyOEMInfA", row.fault);
    SeedUsbInterface();
    user.PlugIn(kPrinterPath);
    user.Answer(IDOK);
    EXPECT_EQ(RunSetup(), 0);

    EXPECT_EQ(machine.spooler.signingQuestions.size(), row.asked ? 1u : 0u);
    if (row.refusal == 0) {
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
        EXPECT_EQ(QueueNamed(kModel).portName, "USB003");
        EXPECT_EQ(machine.spooler.infStore.size(), 1u);
        return;
    }
    char text[200];
    std::snprintf(text, sizeof text, InfStoreErrorFormat, static_cast<unsigned>(row.refusal));
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(Describe(screen.boxes[0]), Describe({nullptr, text, SetupCaption, MB_OK | MB_ICONERROR, 0, 0}));
    // Nothing installed: no lookup, no driver, no queue, nothing stored.
    EXPECT_EQ(record.CountOf("RegOpenKeyExA"), 0);
    EXPECT_TRUE(machine.spooler.drivers.empty());
    EXPECT_TRUE(machine.spooler.queues.empty());
    EXPECT_TRUE(machine.spooler.infStore.empty());
    EXPECT_TRUE(machine.files.launched.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, UsbPathDriverStore,
    ::testing::Values(
        StoreAnswer{"SixtyFourBitWithItsCatalog", IMAGE_FILE_MACHINE_AMD64, "CatalogFile=CORVEX_ESCP.CAT",
                    SimSpooler::SigningAnswer::None, 0},
        StoreAnswer{"SixtyFourBitWithTheDecoratedEntry", IMAGE_FILE_MACHINE_AMD64, "CatalogFile.NTamd64=CORVEX_ESCP.CAT",
                    SimSpooler::SigningAnswer::None, 0},
        StoreAnswer{"SixtyFourBitWithoutACatalogEntry", IMAGE_FILE_MACHINE_AMD64, "", SimSpooler::SigningAnswer::None,
                    ERROR_NO_CATALOG_FOR_OEM_INF},
        StoreAnswer{"SixtyFourBitWithAnotherArchitecturesEntryOnly", IMAGE_FILE_MACHINE_AMD64,
                    "CatalogFile.NTx86=CORVEX_ESCP.CAT", SimSpooler::SigningAnswer::None, ERROR_NO_CATALOG_FOR_OEM_INF},
        StoreAnswer{"SixtyFourBitWithANamedCatalogMissing", IMAGE_FILE_MACHINE_AMD64, "CatalogFile=OTHER.CAT",
                    SimSpooler::SigningAnswer::None, ERROR_FILE_NOT_FOUND},
        StoreAnswer{"ThirtyTwoBitSignedAsksNothing", IMAGE_FILE_MACHINE_I386, "CatalogFile.NTx86=CORVEX_ESCP.CAT",
                    SimSpooler::SigningAnswer::None, 0},
        StoreAnswer{"ThirtyTwoBitUnsignedInstallAnyway", IMAGE_FILE_MACHINE_I386, "",
                    SimSpooler::SigningAnswer::InstallAnyway, 0, true},
        StoreAnswer{"ThirtyTwoBitUnsignedDontInstall", IMAGE_FILE_MACHINE_I386, "",
                    SimSpooler::SigningAnswer::DontInstall, ERROR_CANCELLED, true},
        StoreAnswer{"AStoreThatFailsOtherwise", IMAGE_FILE_MACHINE_AMD64, "CatalogFile=CORVEX_ESCP.CAT",
                    SimSpooler::SigningAnswer::None, ERROR_ACCESS_DENIED, false, ERROR_ACCESS_DENIED}),
    [](const ::testing::TestParamInfo<StoreAnswer>& info) { return std::string(info.param.what); });

// The manual path stores the INF after the queue and goes by the queue: a
// package that 64-bit Windows' store refuses still installs there.
TEST_F(ManualPath, APackageWithoutItsCatalogStillInstallsOnSixtyFourBitWindows)
{
    machine.files.AddFile(machine.files.currentDirectory + "\\CORVEX_ESCP.INF", PackageInf(""));
    user.Click(IDC_PORT_OK);
    user.Answer(IDOK);
    EXPECT_EQ(RunSetup(), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
    EXPECT_EQ(QueueNamed(kModel).portName, "LPT1:");
    EXPECT_TRUE(machine.spooler.infStore.empty());
    EXPECT_TRUE(InOrder(record, {"AddPrinterA", "SetupCopyOEMInfA", "answered " + std::to_string(ERROR_NO_CATALOG_FOR_OEM_INF)}));
}

struct MalformedBroadcast {
    const char* what;
    std::vector<char> bytes;
};
void PrintTo(const MalformedBroadcast& broadcast, std::ostream* out) { *out << broadcast.what; }

class UsbPathBroadcast : public UsbPath, public ::testing::WithParamInterface<MalformedBroadcast> {};

TEST_P(UsbPathBroadcast, IsIgnoredSafely)
{
    SeedUsbInterface();
    user.Broadcast(DBT_DEVICEARRIVAL, GetParam().bytes);
    user.Then([&] {
        EXPECT_TRUE(screen.Dialog(IDD_PRINTER_CONNECTION)->visible);
        EXPECT_EQ(machine.spooler.ActiveRegistrations(), 1);
    });
    LeaveByCancel(IDC_CONNECTION_CANCEL);
    RunSetup();
    EXPECT_EQ(record.CountOf("SetupCopyOEMInfA"), 0);
}

namespace {

std::vector<char> Record(const std::string& path) { return SimUser::DeviceInterfaceRecord(path); }

std::vector<char> WithoutItsNul(const std::string& path)
{
    std::vector<char> bytes = Record(path);
    bytes.pop_back();
    DWORD size = static_cast<DWORD>(bytes.size());
    std::memcpy(bytes.data(), &size, sizeof size);
    return bytes;
}

std::vector<char> OfType(DWORD type)
{
    std::vector<char> bytes = Record(kPrinterPath);
    std::memcpy(bytes.data() + 4, &type, sizeof type);
    return bytes;
}

std::vector<char> SizeSaying(DWORD size)
{
    std::vector<char> bytes = Record(kPrinterPath);
    std::memcpy(bytes.data(), &size, sizeof size);
    return bytes;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Malformed, UsbPathBroadcast,
    ::testing::Values(MalformedBroadcast{"ShorterThanItsPrefix", Record("\\\\?")},
                      MalformedBroadcast{"EmptyName", Record("")},
                      MalformedBroadcast{"NoHashAtAll", Record("\\\\?\\USBVID_F1C4PID_1101QL70_TILLMATE")},
                      MalformedBroadcast{"NoNulWithinItsSize", WithoutItsNul(kPrinterPath)},
                      MalformedBroadcast{"SizeEndsBeforeTheName", SizeSaying(28)},
                      MalformedBroadcast{"SizeSmallerThanAHeader", SizeSaying(8)},
                      MalformedBroadcast{"AVolumeNotAnInterface", OfType(2)}),
    [](const ::testing::TestParamInfo<MalformedBroadcast>& info) { return std::string(info.param.what); });

TEST_F(UsbPath, EscapeAndTheCloseBoxLeaveItWaitingAndStillRegistered)
{
    user.Press(VK_ESCAPE);
    user.CloseBox().Answer(IDNO);
    user.Then([&] {
        EXPECT_TRUE(screen.Dialog(IDD_PRINTER_CONNECTION)->visible);
        EXPECT_EQ(machine.spooler.ActiveRegistrations(), 1);
    });
    user.CloseBox().Answer(IDYES);
    RunSetup();
    EXPECT_TRUE(record.Happened("key dropped 0x1b"));
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{ExitQuestion, ExitQuestion}));
    EXPECT_TRUE(InOrder(record, {"UnregisterDeviceNotification", "end 108 2", "end 102 1"}));
    EXPECT_EQ(machine.spooler.ActiveRegistrations(), 0);
    EXPECT_TRUE(machine.spooler.queues.empty());
}

TEST_F(UsbPath, ManualLeftWithoutInstallingStillEndsTheConnectionDialogWithOk)
{
    // The dialog opens with the focus on Manual, so the space bar presses it.
    user.Press(VK_SPACE);
    LeaveByCancel(IDC_PORT_CANCEL);
    RunSetup();
    EXPECT_TRUE(InOrder(record, {"UnregisterDeviceNotification", "hide 108", "end 109 2", "end 108 1", "end 102 1"}));
    EXPECT_EQ(machine.spooler.ActiveRegistrations(), 0);
}

TEST_F(UsbPath, TheConnectionDialogsPlatformOkCommandEndsIt)
{
    // Its own OnOK is the platform's: data exchange, then the end.
    user.Then([&] { SendOkCommand(IDD_PRINTER_CONNECTION); });
    RunSetup();
    EXPECT_TRUE(InOrder(record, {"end 108 1", "end 102 1"}));
    EXPECT_EQ(machine.spooler.ActiveRegistrations(), 0);
}

// ---------------------------------------------------------------- other ANSI code pages

// Windows 10 and 11 with "Use Unicode UTF-8 for worldwide language support"
// (65001, where the conversions take no flag but MB_ERR_INVALID_CHARS), and
// a Japanese system (932): either way, down either path, setup ends in the
// success box with the status monitor deployed and its shortcut made.
struct CodePageRun {
    const char* name;
    UINT codePage;
    bool usb;
};

void PrintTo(const CodePageRun& run, std::ostream* out) { *out << run.name; }

class CodePagePath : public PortDiscovery, public ::testing::WithParamInterface<CodePageRun> {};

TEST_P(CodePagePath, EndsWithTheStatusMonitorAndItsShortcut)
{
    machine.process.ansiCodePage = GetParam().codePage;
    machine.process.threadCodePage = GetParam().codePage;
    if (GetParam().usb) {
        SeedUsbInterface(3);
        user.PlugIn(kPrinterPath);
    } else {
        user.Click(IDC_MANUAL).Click(IDC_PORT_OK);
    }
    user.Answer(IDOK);
    EXPECT_EQ(RunSetup(), 0);

    EXPECT_EQ(QueueNamed(kModel).portName, GetParam().usb ? "USB003" : "LPT1:");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
    const std::string monitor = machine.spooler.driverDirectory + "\\STM\\QL70TILLMATE(ESCP).exe";
    EXPECT_TRUE(machine.files.FileExists(monitor));
    EXPECT_NE(machine.files
                  .FileContent("C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Corvantis\\"
                               "StatusMonitorQL70TILLMATE(ESCP).LNK")
                  .find("target=" + monitor + "\n"),
              std::string::npos);
    EXPECT_EQ(machine.files.launched, std::vector<std::string>{monitor});
}

INSTANTIATE_TEST_SUITE_P(AnsiCodePages, CodePagePath,
                         ::testing::Values(CodePageRun{"Utf8Manual", 65001, false}, CodePageRun{"Utf8Usb", 65001, true},
                                           CodePageRun{"JapaneseManual", 932, false},
                                           CodePageRun{"JapaneseUsb", 932, true}),
                         [](const ::testing::TestParamInfo<CodePageRun>& info) { return std::string(info.param.name); });

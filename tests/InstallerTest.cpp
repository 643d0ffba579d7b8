// The installation engine on a simulated machine: the installer's stages, the
// order they run in, what they leave on the machine, and the one outcome box.
#include <cstring>

#include "install/FileCopy.h"
#include "install/Installer.h"
#include "tests/Harness.h"

namespace {

const std::string kMonitor = "QL70TILLMATE(ESCP)";
const std::string kRunKey = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kUninstallKey = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvantis";
const std::string kShellFolders = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kAllUsersPrograms = ":\\Documents and Settings\\All Users\\Start Menu\\Programs";

}  // namespace

class Installation : public SetupTest {
protected:
    void SetUp() override
    {
        SetupTest::SetUp();
        app = std::make_unique<CSetupApp>();
        AddPackage();
        // Windows 7 reaches this folder through its compatibility junctions.
        machine.files.AddFolder("C" + kAllUsersPrograms);
        CFileCopy staging;
        staging.StageDriverFiles();
        record.Forget();
    }

    // What a port dialog does: a fresh installer on the port, the sequence, the outcome.
    void Install(const std::string& port = "LPT1:")
    {
        CInstaller installer;
        installer.PortName = port;
        installer.RunInstallation();
        installer.ReportOutcome();
        printerName = installer.PrinterName;
        outcome = installer.OutcomeMessage;
    }

    std::string Dir() const { return machine.spooler.driverDirectory; }
    std::string Shortcut(char drive = 'C') const
    {
        return std::string(1, drive) + kAllUsersPrograms + "\\Corvantis\\StatusMonitor" + kMonitor + ".LNK";
    }
    void ExpectNoStatusMonitorSteps()
    {
        EXPECT_FALSE(machine.files.FileExists(Dir() + "\\STM\\" + kMonitor + ".exe"));
        EXPECT_EQ(machine.registry.Value(kRunKey, "Corvex" + kMonitor), nullptr);
        EXPECT_FALSE(machine.files.FileExists(Shortcut()));
        EXPECT_EQ(record.CountOf("ShellExecuteA"), 0);
        EXPECT_TRUE(machine.files.launched.empty());
    }

    std::string printerName;
    std::string outcome;  // the installer's own record of the success text
};

TEST_F(Installation, AFreshSystemGetsTheQueueTheStatusMonitorAndOneInformationBox)
{
    user.Answer(IDOK);
    Install();

    const SimQueue* queue = machine.spooler.Queue(kModel);
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(queue->name, kModel);
    EXPECT_EQ(queue->portName, "LPT1:");
    EXPECT_EQ(queue->driverName, kModel);
    EXPECT_EQ(queue->shareName, "KVXQL70TILLMATE(ESC P)");
    EXPECT_EQ(queue->printProcessor, "winprint");
    EXPECT_FALSE(queue->datatypeGiven);
    EXPECT_FALSE(queue->commentGiven || queue->locationGiven || queue->devModeGiven || queue->sepFileGiven ||
                 queue->parametersGiven || queue->securityGiven);
    EXPECT_EQ(queue->attributes, 0x204u);
    EXPECT_EQ(queue->priority, 1u);
    EXPECT_EQ(queue->defaultPriority + queue->startTime + queue->untilTime, 0u);
    EXPECT_EQ(machine.spooler.defaultPrinter, kModel);
    EXPECT_EQ(machine.spooler.OpenPrinters(), 0);

    // The status monitor, started at log-on and from the Start menu, and now.
    EXPECT_EQ(machine.files.FileContent(Dir() + "\\STM\\" + kMonitor + ".exe"), "status monitor");
    const SimRegistryValue* run = machine.registry.Value(kRunKey, "Corvex" + kMonitor);
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->type, DWORD(REG_SZ));
    std::string stem = Dir() + "\\STM\\" + kMonitor;
    EXPECT_EQ(std::string(run->data.begin(), run->data.end()), stem + std::string(1, '\0'));
    // Counted with its NUL, as Windows asks of a string value.
    EXPECT_EQ(record.CallsOf("RegSetValueExA").at(0).arguments,
              kRunKey + ", \"Corvex" + kMonitor + "\", 1, " + std::to_string(stem.size() + 1));
    EXPECT_EQ(machine.files.FileContent(Shortcut()),
              "target=" + stem + ".exe\ndescription=Shortcut to Status Monitor - " + kModel +
                  "\nworkingDirectory=\narguments=\n");
    EXPECT_EQ(record.CallsOf("CoCreateInstance").at(0).arguments,
              "CLSID_ShellLink, none, " + std::to_string(CLSCTX_INPROC_SERVER) + ", IID_IShellLinkA");
    EXPECT_EQ(record.CallsOf("IPersistFile::Save").at(0).arguments, "\"" + Shortcut() + "\", 1");
    EXPECT_EQ(record.CallsOf("ShellExecuteA").at(0).arguments,
              "none, \"open\", \"" + stem + ".exe\", (null), (null), 6");
    EXPECT_EQ(machine.files.launched, std::vector<std::string>{stem + ".exe"});

    // The INF file in the store, the uninstall entry.
    EXPECT_EQ(machine.spooler.infStore.size(), 1u);
    EXPECT_EQ(machine.files.FileContent("C:\\Windows\\INF\\oem0.inf"), kPackageInf);
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "DisplayName"), "Corvantis Printer Software");
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "UninstallString"), Dir() + "\\Uninstall.exe");
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "DisplayIcon"), Dir() + "\\Uninstall.exe");
    EXPECT_EQ(machine.registry.Value(kUninstallKey, "UninstallString")->data.size(), Dir().size() + 15);
    EXPECT_EQ(machine.registry.OpenKeys(), 0);

    EXPECT_TRUE(InOrder(record, {"cursor wait", "GetPrinterDriverDirectoryA", "AddPrinterDriverA", "AddPrinterA",
                                 "ClosePrinter", "SetDefaultPrinterA", "SHCreateDirectory", "SHFileOperationA",
                                 "RegOpenKeyExA", "RegSetValueExA", "CoInitialize", "IPersistFile::Save",
                                 "ShellExecuteA", "SetupCopyOEMInfA", "RegCreateKeyExA", "cursor normal"}));
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(Describe(screen.boxes[0]),
              Describe({nullptr, kModel + kWithMonitor, SetupCaption, MB_OK | MB_ICONINFORMATION, 0, 0}));
    EXPECT_EQ(outcome, kModel + kWithMonitor);
}

TEST_F(Installation, TheDriverRecordNamesTheUnidrvFilesTheDateAndTheVersion)
{
    user.Answer(IDOK);
    Install();
    const SimDriver* driver = machine.spooler.Driver(kModel);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->version, 3u);
    EXPECT_EQ(driver->driverPath, "unidrv.dll");
    EXPECT_EQ(driver->dataFile, "ESC_QRT_BILL.GPD");
    EXPECT_EQ(driver->configFile, "unidrvui.dll");
    EXPECT_EQ(driver->helpFile, "unidrv.hlp");
    EXPECT_EQ(driver->dependentFiles, (std::vector<std::string>{"ESC_QRT_BILL.dll", "unidrvui.dll", "unidrv.dll",
                                                                "unidrv.hlp", "unires.dll", "stdnames.gpd",
                                                                "TTFSUB.gpd"}));
    EXPECT_EQ(driver->date.dwHighDateTime, 0x01C9ED4Cu);
    EXPECT_EQ(driver->date.dwLowDateTime, 0x39D00000u);
    EXPECT_EQ(driver->driverVersion, 0x0005000000000006ull);
    EXPECT_EQ(driver->manufacturer, "Corvantis");
    EXPECT_EQ(driver->provider, "Corvantis");
    EXPECT_EQ(driver->hardwareId, "NA");
    EXPECT_EQ(driver->oemUrl, "www.corvantis.example");
    EXPECT_EQ(driver->monitorName + driver->defaultDataType, "");
    EXPECT_EQ(record.CallsOf("AddPrinterDriverA").at(0).arguments, "(null), 6, \"" + kModel + "\"");
}

TEST_F(Installation, AnExistingQueueAndCopyOneGiveCopyTwoWithoutTheStatusMonitor)
{
    machine.spooler.queues.push_back({kModel, "", "LPT1:", kModel, "winprint", "", false});
    machine.spooler.queues.push_back({kModel + " (Copy 1)", "", "LPT1:", kModel, "winprint", "", false});
    user.Answer(IDOK);
    Install();

    EXPECT_EQ(printerName, kModel + " (Copy 2)");
    ASSERT_NE(machine.spooler.Queue(kModel + " (Copy 2)"), nullptr);
    EXPECT_EQ(machine.spooler.defaultPrinter, kModel + " (Copy 2)");
    std::vector<SimCall> attempts = record.CallsOf("AddPrinterA");
    ASSERT_EQ(attempts.size(), 3u);
    EXPECT_EQ(attempts[1].arguments, "(null), 2, \"" + kModel + " (Copy 1)\", \"LPT1:\", (null)");
    EXPECT_EQ(record.CountOf("SHCreateDirectory"), 0);
    ExpectNoStatusMonitorSteps();
    EXPECT_EQ(machine.spooler.infStore.size(), 1u);
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "UninstallString"), Dir() + "\\Uninstall.exe");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + " (Copy 2)" + kDriverOnly});
    EXPECT_EQ(outcome, kModel + " (Copy 2)" + kDriverOnly);
}

TEST_F(Installation, APortThatAppearsAfterAFewWaitsGetsTheQueue)
{
    for (int attempt = 1; attempt <= 3; ++attempt) record.Fail("AddPrinterA", ERROR_UNKNOWN_PORT, attempt);
    user.Answer(IDOK);
    Install();

    EXPECT_EQ(record.CountOf("AddPrinterA"), 4);
    EXPECT_EQ(record.CountOf("Sleep"), 3);
    EXPECT_EQ(record.clock, 6000u);
    EXPECT_NE(machine.spooler.Queue(kModel), nullptr);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
}

TEST_F(Installation, APortThatNeverAppearsIsWaitedForThirtySecondsThenTheQueueFails)
{
    user.Answer(IDOK);
    Install("USB009");

    EXPECT_EQ(record.CountOf("AddPrinterA"), 16);
    EXPECT_EQ(record.CountOf("Sleep"), 15);
    EXPECT_EQ(record.clock, 30000u);
    EXPECT_TRUE(machine.spooler.queues.empty());
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unexpected error 0x003C occured."});
    EXPECT_EQ(record.CountOf("SetupCopyOEMInfA"), 0);
}

TEST_F(Installation, AnUnknownDriverShowsItsOwnBoxBeforeTheQueueError)
{
    record.Fail("AddPrinterA", ERROR_UNKNOWN_PRINTER_DRIVER);
    user.Answer(IDOK);
    user.Answer(IDOK);
    Install();
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Printer driver unknown.", "Unexpected error 0x003C occured."}));
    EXPECT_EQ(Describe(screen.boxes[0]),
              Describe({nullptr, "Printer driver unknown.", SetupCaption, MB_OK | MB_ICONERROR, 0, 0}));
}

struct FailingStage {
    const char* operation;
    DWORD error;
    const char* text;
    const char* firstSkipped;
};

void PrintTo(const FailingStage& stage, std::ostream* out) { *out << stage.operation; }

class InstallationStageFailure : public Installation, public ::testing::WithParamInterface<FailingStage> {};

TEST_P(InstallationStageFailure, ShowsOnlyItsErrorAndNothingLaterHappens)
{
    record.Fail(GetParam().operation, GetParam().error);
    user.Answer(IDOK);
    Install();

    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(Describe(screen.boxes[0]), Describe({nullptr, GetParam().text, SetupCaption, MB_OK | MB_ICONERROR, 0, 0}));
    EXPECT_EQ(record.CountOf(GetParam().firstSkipped), 0);
    for (const char* later : {"SHCreateDirectory", "SetupCopyOEMInfA", "RegCreateKeyExA", "ShellExecuteA"})
        EXPECT_EQ(record.CountOf(later), 0) << later;
    EXPECT_TRUE(machine.spooler.queues.empty());
    EXPECT_FALSE(screen.waitCursor);
}

INSTANTIATE_TEST_SUITE_P(
    Stages, InstallationStageFailure,
    ::testing::Values(FailingStage{"GetPrinterDriverDirectoryA", ERROR_ACCESS_DENIED, "Unexpected error 0x001C occured.",
                                   "AddPrinterDriverA"},
                      FailingStage{"AddPrinterDriverA", ERROR_FILE_NOT_FOUND, "Unexpected error 0x002C occured.",
                                   "AddPrinterA"},
                      FailingStage{"AddPrinterA", ERROR_ACCESS_DENIED, "Unexpected error 0x003C occured.",
                                   "SetDefaultPrinterA"}),
    [](const ::testing::TestParamInfo<FailingStage>& info) { return std::string(info.param.operation); });

TEST_F(Installation, AStatusMonitorFolderThatCannotBeMadeGivesThePlainSuccess)
{
    record.Fail("SHCreateDirectory", ERROR_ACCESS_DENIED);
    user.Answer(IDOK);
    Install();
    EXPECT_EQ(record.CountOf("SHFileOperationA"), 0);
    ExpectNoStatusMonitorSteps();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kDriverOnly});
    EXPECT_EQ(machine.spooler.infStore.size(), 1u);
}

TEST_F(Installation, AStatusMonitorThatIsNotInThePackageGivesThePlainSuccess)
{
    machine.files.currentDirectory = "C:\\Elsewhere";
    machine.files.AddFolder("C:\\Elsewhere");
    user.Answer(IDOK);
    Install();
    EXPECT_EQ(record.CallsOf("SHFileOperationA").at(0).arguments,
              "func=2, flags=0x610, from=[STM\\" + kMonitor + ".exe], to=[" + Dir() + "\\STM\\], hwnd=none");
    ExpectNoStatusMonitorSteps();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kDriverOnly});
}

TEST_F(Installation, AnEarlierStatusMonitorAndRunValueAreReplaced)
{
    machine.files.AddFile(Dir() + "\\STM\\" + kMonitor + ".exe", "older status monitor");
    machine.registry.SetString(kRunKey, "Corvex" + kMonitor, "C:\\Old\\Monitor");
    user.Answer(IDOK);
    Install();
    EXPECT_EQ(machine.files.FileContent(Dir() + "\\STM\\" + kMonitor + ".exe"), "status monitor");
    EXPECT_EQ(machine.registry.StringOf(kRunKey, "Corvex" + kMonitor), Dir() + "\\STM\\" + kMonitor);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
}

TEST_F(Installation, FailuresAfterTheQueueNeverTurnTheOutcomeIntoAnError)
{
    record.Fail("RegOpenKeyExA", ERROR_ACCESS_DENIED);
    record.Fail("CoCreateInstance", REGDB_E_CLASSNOTREG);
    record.Fail("ShellExecuteA", ERROR_FILE_NOT_FOUND);
    record.Fail("SetupCopyOEMInfA", ERROR_ACCESS_DENIED);
    record.Fail("RegCreateKeyExA", ERROR_ACCESS_DENIED);
    user.Answer(IDOK);
    Install();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
    EXPECT_FALSE(machine.registry.KeyExists(kUninstallKey));
    EXPECT_FALSE(machine.files.FileExists(Shortcut()));
}

class UninstallEntry : public Installation {
protected:
    // An installer that found the driver directory, as RunInstallation's first stage does.
    bool Write()
    {
        CInstaller installer;
        EXPECT_TRUE(installer.QueryDriverDirectory());
        return installer.WriteUninstallEntry();
    }
};

TEST_F(UninstallEntry, AFailedDisplayNameSkipsTheUninstallStringButNotTheIcon)
{
    record.Fail("RegSetValueExA", ERROR_ACCESS_DENIED, 1);
    EXPECT_FALSE(Write());
    EXPECT_EQ(machine.registry.Value(kUninstallKey, "DisplayName"), nullptr);
    EXPECT_EQ(machine.registry.Value(kUninstallKey, "UninstallString"), nullptr);
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "DisplayIcon"), Dir() + "\\Uninstall.exe");
    EXPECT_EQ(record.CountOf("RegSetValueExA"), 2);
    EXPECT_EQ(machine.registry.OpenKeys(), 0);
}

TEST_F(UninstallEntry, AFailedUninstallStringStillWritesTheIcon)
{
    record.Fail("RegSetValueExA", ERROR_ACCESS_DENIED, 2);
    EXPECT_FALSE(Write());
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "DisplayName"), "Corvantis Printer Software");
    EXPECT_EQ(machine.registry.Value(kUninstallKey, "UninstallString"), nullptr);
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "DisplayIcon"), Dir() + "\\Uninstall.exe");
}

TEST_F(UninstallEntry, AKeyThatCannotBeCreatedWritesNothing)
{
    record.Fail("RegCreateKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(Write());
    EXPECT_EQ(record.CountOf("RegSetValueExA"), 0);
}

TEST_F(UninstallEntry, AnEarlierEntryIsReplacedWithTheExactByteCounts)
{
    machine.registry.SetString(kUninstallKey, "UninstallString", "C:\\Old\\Uninstall.exe");
    EXPECT_TRUE(Write());
    std::vector<SimCall> writes = record.CallsOf("RegSetValueExA");
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].arguments, kUninstallKey + ", \"DisplayName\", 1, 27");
    EXPECT_EQ(writes[1].arguments,
              kUninstallKey + ", \"UninstallString\", 1, " + std::to_string(Dir().size() + 15));
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "UninstallString"), Dir() + "\\Uninstall.exe");
}

class ProgramsFolder : public Installation {
protected:
    void SetPrograms(DWORD type, const std::string& data)
    {
        std::vector<BYTE> bytes(data.begin(), data.end());
        machine.registry.SetValue(kShellFolders, "Programs", type, bytes);
    }
};

TEST_F(ProgramsFolder, AValueOnAnotherDriveGivesTheGroupOnThatDrive)
{
    machine.files.AddFolder("D" + kAllUsersPrograms);
    SetPrograms(REG_SZ, std::string("D:\\Profiles\\Admin\\Start Menu\\Programs") + '\0');
    user.Answer(IDOK);
    Install();
    EXPECT_EQ(record.CallsOf("CreateDirectoryA").at(0).arguments, "\"D" + kAllUsersPrograms + "\\Corvantis\"");
    EXPECT_TRUE(machine.files.FileExists(Shortcut('D')));
    // One that just fits the 91-byte buffer, its NUL included.
    SetPrograms(REG_SZ, "F:\\" + std::string(87, 'x') + '\0');
    machine.files.AddFolder("F" + kAllUsersPrograms);
    CInstaller fits;
    ASSERT_TRUE(fits.QueryDriverDirectory());
    fits.CreateStartMenuShortcut();
    EXPECT_EQ(record.CallsOf("CreateDirectoryA").back().arguments, "\"F" + kAllUsersPrograms + "\\Corvantis\"");
    // A drive letter in lower case is a drive letter too.
    SetPrograms(REG_SZ, std::string("e:\\Profiles\\Admin\\Start Menu\\Programs") + '\0');
    machine.files.AddFolder("e" + kAllUsersPrograms);
    CInstaller installer;
    ASSERT_TRUE(installer.QueryDriverDirectory());
    installer.CreateStartMenuShortcut();
    EXPECT_EQ(record.CallsOf("CreateDirectoryA").back().arguments, "\"e" + kAllUsersPrograms + "\\Corvantis\"");
}

TEST_F(ProgramsFolder, AnUnusableValueGivesTheSystemDrive)
{
    struct Case {
        const char* what;
        DWORD type;
        std::string data;
    };
    const Case cases[] = {
        {"empty", REG_SZ, std::string(1, '\0')},
        {"no data at all", REG_SZ, std::string()},
        {"not a string", REG_DWORD, std::string("D\0\0\0", 4)},
        {"longer than its buffer", REG_SZ, "D:\\" + std::string(100, 'x') + '\0'},
        {"a byte longer than its 91-byte buffer", REG_SZ, "D:\\" + std::string(88, 'x') + '\0'},
        {"no drive letter", REG_SZ, std::string("\\\\server\\share") + '\0'},
    };
    machine.process.windowsDirectory = "E:\\Windows";
    machine.files.AddFolder("E" + kAllUsersPrograms);
    for (const Case& bad : cases) {
        SetPrograms(bad.type, bad.data);
        CInstaller installer;
        ASSERT_TRUE(installer.QueryDriverDirectory());
        installer.CreateStartMenuShortcut();
        EXPECT_EQ(record.CallsOf("CreateDirectoryA").back().arguments, "\"E" + kAllUsersPrograms + "\\Corvantis\"")
            << bad.what;
    }
    EXPECT_TRUE(machine.files.FileExists(Shortcut('E')));
}

TEST_F(ProgramsFolder, AMissingValueGivesTheSystemDrive)
{
    // Not drive C, which a fixed fallback would give as well.
    machine.process.windowsDirectory = "D:\\Windows";
    machine.files.AddFolder("D" + kAllUsersPrograms);
    machine.registry.DeleteValue(kShellFolders, "Programs");
    user.Answer(IDOK);
    Install();
    EXPECT_EQ(record.CallsOf("CreateDirectoryA").at(0).arguments, "\"D" + kAllUsersPrograms + "\\Corvantis\"");
    EXPECT_TRUE(machine.files.FileExists(Shortcut('D')));
    EXPECT_FALSE(machine.files.FileExists(Shortcut('C')));
}

TEST_F(Installation, ASecondInstallationOverTheFirstTakesCopyOne)
{
    user.Answer(IDOK);
    user.Answer(IDOK);
    Install();
    screen.boxes.clear();
    Install();

    EXPECT_EQ(printerName, kModel + " (Copy 1)");
    EXPECT_EQ(machine.spooler.drivers.size(), 1u);
    EXPECT_EQ(record.CountOf("AddPrinterDriverA"), 2);
    // The INF file is in the store already: still a yes.
    EXPECT_EQ(machine.spooler.infStore.size(), 1u);
    EXPECT_EQ(machine.spooler.defaultPrinter, kModel + " (Copy 1)");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + " (Copy 1)" + kDriverOnly});
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "DisplayName"), "Corvantis Printer Software");
}

TEST_F(Installation, TheInfFileIsStoredOnceAndThenFoundThere)
{
    CInstaller installer;
    EXPECT_TRUE(installer.InstallInfFile());
    EXPECT_EQ(std::string(installer.InfSourcePath), Dir() + "\\CORVEX_ESCP.INF");
    EXPECT_EQ(std::string(installer.InfDestinationName), "C:\\Windows\\INF\\oem0.inf");
    EXPECT_EQ(record.CallsOf("SetupCopyOEMInfA").at(0).arguments,
              "\"" + Dir() + "\\CORVEX_ESCP.INF\", (null), 1, 8, 260");
    EXPECT_TRUE(installer.InstallInfFile());
    record.Fail("SetupCopyOEMInfA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(installer.InstallInfFile());
    // Without the driver directory there is nothing to store.
    record.Fail("GetPrinterDriverDirectoryA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(installer.InstallInfFile());
}

TEST_F(Installation, ADriverDirectoryTooLongForTheInfPathIsANo)
{
    // 244 characters, a backslash and the 15 of the name need 261 with the NUL.
    std::string tooLong = "C:\\" + std::string(241, 'd');
    machine.spooler.SetDriverDirectory(tooLong);
    CInstaller installer;
    EXPECT_FALSE(installer.InstallInfFile());
    EXPECT_EQ(record.CountOf("SetupCopyOEMInfA"), 0);

    // One shorter fits exactly.
    machine.spooler.SetDriverDirectory(tooLong.substr(0, tooLong.size() - 1));
    for (const char* name : {"CORVEX_ESCP.INF", "CORVEX_ESCP.CAT"})
        machine.files.AddFile(machine.spooler.driverDirectory + "\\" + name, PackageContent(name));
    EXPECT_TRUE(installer.InstallInfFile());
    EXPECT_EQ(std::strlen(installer.InfSourcePath), 259u);

    // A shorter directory afterwards: the path ends where the new one does.
    machine.spooler.SetDriverDirectory("C:\\D");
    for (const char* name : {"CORVEX_ESCP.INF", "CORVEX_ESCP.CAT"}) machine.files.AddFile("C:\\D\\" + std::string(name), PackageContent(name));
    EXPECT_TRUE(installer.InstallInfFile());
    EXPECT_EQ(std::string(installer.InfSourcePath), "C:\\D\\CORVEX_ESCP.INF");
}

TEST_F(Installation, AFailedRefreshOfTheDirectoryKeepsThePathFoundFirst)
{
    // The INF stage asks again (calls 3 and 4: the size, then the path); its
    // failure ends that stage, and must not leave the uninstall entry with a
    // broken path.
    record.Fail("GetPrinterDriverDirectoryA", ERROR_NOT_ENOUGH_MEMORY, 4);
    user.Answer(IDOK);
    Install();
    EXPECT_EQ(record.CountOf("GetPrinterDriverDirectoryA"), 4);
    EXPECT_EQ(record.CountOf("SetupCopyOEMInfA"), 0);
    EXPECT_TRUE(machine.spooler.infStore.empty());
    EXPECT_TRUE(InOrder(record, {"AddPrinterA", "GetPrinterDriverDirectoryA", "RegCreateKeyExA"}));
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "UninstallString"), Dir() + "\\Uninstall.exe");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
}

TEST_F(Installation, AnOutcomeWithoutAnInstallationIsTheDirectoryError)
{
    CInstaller installer;
    user.Answer(IDOK);
    installer.ReportOutcome();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unexpected error 0x001C occured."});
}

TEST_F(Installation, TheNumberedNameSearchEndsAtItsBound)
{
    record.Fail("AddPrinterA", ERROR_PRINTER_ALREADY_EXISTS);
    user.Answer(IDOK);
    Install();
    // The model's own name, then "(Copy 1)" to "(Copy 9999)".
    EXPECT_EQ(record.CountOf("AddPrinterA"), 10000);
    EXPECT_EQ(printerName, kModel + " (Copy 9999)");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unexpected error 0x003C occured."});
}

// Wine's spooler: a queue record without a data type is refused with
// ERROR_INVALID_PARAMETER; the same record with "RAW" is taken.
class WineSpooler : public Installation {
protected:
    void SetUp() override
    {
        Installation::SetUp();
        machine.spooler.rejectsQueueWithoutDatatype = true;
    }
};

TEST_F(WineSpooler, EachAttemptIsRepeatedOnceWithRawAndTheInstallationSucceeds)
{
    user.Answer(IDOK);
    Install();
    std::vector<SimCall> attempts = record.CallsOf("AddPrinterA");
    ASSERT_EQ(attempts.size(), 2u);
    EXPECT_EQ(attempts[0].arguments, "(null), 2, \"" + kModel + "\", \"LPT1:\", (null)");
    EXPECT_EQ(attempts[1].arguments, "(null), 2, \"" + kModel + "\", \"LPT1:\", \"RAW\"");
    EXPECT_EQ(QueueNamed(kModel).datatype, "RAW");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
}

TEST_F(WineSpooler, NumberedNamesAndPortWaitsAreRepeatedToo)
{
    machine.spooler.queues.push_back({kModel, "", "LPT1:", kModel, "winprint", "", false});
    user.Answer(IDOK);
    Install();
    std::vector<SimCall> attempts = record.CallsOf("AddPrinterA");
    ASSERT_EQ(attempts.size(), 4u);
    EXPECT_EQ(attempts[2].arguments, "(null), 2, \"" + kModel + " (Copy 1)\", \"LPT1:\", (null)");
    EXPECT_EQ(attempts[3].arguments, "(null), 2, \"" + kModel + " (Copy 1)\", \"LPT1:\", \"RAW\"");
    EXPECT_EQ(printerName, kModel + " (Copy 1)");

    SimMachine other;
    InstallPlatform(other.Services());
    other.spooler.rejectsQueueWithoutDatatype = true;
    for (const std::string& name : kPackageFiles) other.files.AddFile(other.spooler.driverDirectory + "\\" + name);
    other.record.Fail("AddPrinterA", ERROR_UNKNOWN_PORT, 2);
    CInstaller installer;
    installer.PortName = "LPT1:";
    installer.RunInstallation();
    EXPECT_TRUE(installer.QueueOk);
    EXPECT_EQ(other.record.CountOf("AddPrinterA"), 4);
    EXPECT_EQ(other.record.CountOf("Sleep"), 1);
    InstallPlatform(machine.Services());
}

// Unidrv's modules: a fresh Windows 8 or 10 has none of its own, so the
// package must bring them; Windows 7 has them in the version folder already.
struct UnidrvCase {
    const char* name;
    bool windows7;
    bool packageBringsUnidrv;
    bool installs;
};

void PrintTo(const UnidrvCase& unidrv, std::ostream* out) { *out << unidrv.name; }

class UnidrvModules : public SetupTest, public ::testing::WithParamInterface<UnidrvCase> {};

TEST_P(UnidrvModules, AreTakenFromThePackageOrTheVersionFolder)
{
    const UnidrvCase& unidrv = GetParam();
    if (unidrv.windows7) machine.spooler.AddUnidrvAsWindows7();
    AddDriverPackage(machine.files, unidrv.packageBringsUnidrv ? std::vector<std::string>() : kUnidrvFiles);
    machine.files.AddFolder("C" + kAllUsersPrograms);
    user.Click(IDOK).Click(IDC_MANUAL).Click(IDC_PORT_OK).Answer(IDOK);
    RunSetup();

    const std::string versionFolder = machine.spooler.driverDirectory + "\\3\\";
    if (!unidrv.installs) {
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unexpected error 0x002C occured."});
        EXPECT_TRUE(machine.spooler.drivers.empty());
        EXPECT_TRUE(machine.spooler.queues.empty());
        return;
    }
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
    ASSERT_NE(machine.spooler.Driver(kModel), nullptr);
    EXPECT_EQ(QueueNamed(kModel).driverName, kModel);
    // The spooler's copy of each module: the package's, or Windows 7's own.
    for (const std::string& module : kUnidrvFiles)
        EXPECT_EQ(machine.files.FileContent(versionFolder + module),
                  (unidrv.packageBringsUnidrv ? "package file " : "Unidrv ") + module);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, UnidrvModules,
    ::testing::Values(UnidrvCase{"FreshWindows10PackageWithout", false, false, false},
                      UnidrvCase{"Windows7PackageWithout", true, false, true},
                      UnidrvCase{"FreshWindows10PackageWith", false, true, true}),
    [](const ::testing::TestParamInfo<UnidrvCase>& info) { return std::string(info.param.name); });

// The status monitor's copy answers 0 with the aborted flag when the system
// stopped it (it may, silently, as no error window is allowed): the status
// monitor is not deployed, and none of its later steps runs.
class StoppedStatusMonitorCopy : public Installation, public ::testing::WithParamInterface<DWORD> {};

TEST_P(StoppedStatusMonitorCopy, GivesThePlainSuccess)
{
    record.Fail("SHFileOperationA", GetParam(), 1);
    user.Answer(IDOK);
    Install();
    EXPECT_EQ(record.CountOf("SHFileOperationA"), 1);
    ExpectNoStatusMonitorSteps();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kDriverOnly});
    EXPECT_EQ(machine.spooler.infStore.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Shell, StoppedStatusMonitorCopy, ::testing::Values(kShellCopyCancelled, kShellCopySkipped));

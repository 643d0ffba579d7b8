// Staging the driver package, and the wait window, on a CFileCopy of their own.
#include "install/FileCopy.h"
#include "tests/Harness.h"

class Staging : public SetupTest {
protected:
    void SetUp() override
    {
        SetupTest::SetUp();
        app = std::make_unique<CSetupApp>();
        AddPackage();
    }

    // Stages as the model dialog's OK does; answers the exit code, if any.
    int Stage()
    {
        try {
            CFileCopy staging;
            staging.StageDriverFiles();
            stagedDirectory = staging.DriverDirectory ? staging.DriverDirectory.get() : "";
            return -1;
        } catch (const SimProcessExit& exit) {
            return exit.code;
        }
    }

    std::string stagedDirectory;
};

TEST_F(Staging, TheDriverDirectoryIsAskedForInTwoCalls)
{
    EXPECT_EQ(Stage(), -1);

    std::vector<SimCall> queries = machine.record.CallsOf("GetPrinterDriverDirectoryA");
    ASSERT_EQ(queries.size(), 2u);
    size_t needed = 2 * (machine.spooler.driverDirectory.size() + 1);
    EXPECT_EQ(queries[0].arguments, "(null), (null), 1, 10");
    EXPECT_EQ(queries[1].arguments, "(null), (null), 1, " + std::to_string(needed));
    EXPECT_EQ(machine.process.standardOutput, "Allocating a buffer of size " + std::to_string(needed) + "\n");
    EXPECT_EQ(stagedDirectory, machine.spooler.driverDirectory);
}

TEST_F(Staging, TheCopyRequestNamesThePackagePatternsAndTheDirectory)
{
    Stage();
    ASSERT_EQ(machine.record.CountOf("SHFileOperationA"), 1);
    EXPECT_EQ(machine.record.CallsOf("SHFileOperationA")[0].arguments,
              "func=2, flags=0x210, from=[*.GPD][*.DLL][*.INF][*.HLP][*.EXE][*.CAT], to=[" + machine.spooler.driverDirectory +
                  "], hwnd=none");
    EXPECT_FALSE(machine.files.FileExists(machine.spooler.driverDirectory + "\\ReadMe.txt"));
    EXPECT_FALSE(machine.files.FileExists(machine.spooler.driverDirectory + "\\QL70TILLMATE(ESCP).exe"));
    EXPECT_FALSE(screen.waitCursor);
    EXPECT_TRUE(InOrder(record, {"cursor wait", "GetPrinterDriverDirectoryA", "SHFileOperationA", "cursor normal"}));
}

TEST_F(Staging, APackageFileAlreadyThereIsReplacedWithoutAQuestion)
{
    machine.files.AddFile(machine.spooler.driverDirectory + "\\ESC_QRT_BILL.GPD", "an older description");
    EXPECT_EQ(Stage(), -1);
    EXPECT_EQ(machine.files.FileContent(machine.spooler.driverDirectory + "\\ESC_QRT_BILL.GPD"), "package file ESC_QRT_BILL.GPD");
    EXPECT_TRUE(screen.boxes.empty());
}

TEST_F(Staging, AShortDirectoryIsAnsweredByTheFirstCall)
{
    // Four characters and the NUL: 10 bytes in UTF-16, which the spooler counts.
    machine.spooler.driverDirectory = "C:\\D";
    machine.files.AddFolder(machine.spooler.driverDirectory);
    Stage();
    EXPECT_EQ(machine.record.CountOf("GetPrinterDriverDirectoryA"), 1);
    EXPECT_EQ(machine.process.standardOutput, "");
    EXPECT_TRUE(machine.files.FileExists("C:\\D\\CORVEX_ESCP.INF"));
}

TEST_F(Staging, EitherFailingQueryShowsTheDirectoryErrorOnce)
{
    for (int failingCall : {1, 2}) {
        SimMachine fresh;
        InstallPlatform(fresh.Services());
        AddDriverPackage(fresh.files);
        fresh.record.Fail("GetPrinterDriverDirectoryA", failingCall == 1 ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER,
                   failingCall);
        EXPECT_EQ(Stage(), -1);
        ASSERT_EQ(fresh.windows.boxes.size(), 1u) << "call " << failingCall;
        EXPECT_EQ(fresh.windows.boxes[0].text, "Unexpected error 0x001C occured.");
        EXPECT_EQ(fresh.windows.boxes[0].owner, nullptr);
        EXPECT_EQ(fresh.windows.boxes[0].style, UINT(MB_OK | MB_ICONERROR));
        EXPECT_EQ(fresh.record.CountOf("SHFileOperationA"), 0);
        EXPECT_FALSE(fresh.windows.waitCursor);
    }
    InstallPlatform(machine.Services());
}

TEST_F(Staging, AFailedCopyEndsTheProcessWithExitCodeOne)
{
    machine.record.Fail("SHFileOperationA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Stage(), 1);
    EXPECT_TRUE(screen.boxes.empty());
}

TEST_F(Staging, NeitherEnterNorEscapeClosesTheWaitWindow)
{
    CFileCopy wait;
    wait.Create(IDD_FILE_COPY);
    ASSERT_NE(wait.m_hWnd, nullptr);
    SimWindow* window = screen.Dialog(IDD_FILE_COPY);
    EXPECT_TRUE(window->visible);
    EXPECT_FALSE(window->Has("WS_SYSMENU"));
    EXPECT_EQ(screen.Control(IDD_FILE_COPY, IDC_WAIT_TEXT)->text, "Now the printer will be installed ...\nPlease wait ...");

    user.Press(VK_RETURN).Press(VK_ESCAPE);
    // The keys are taken; then the loop waits, as the window stays.
    EXPECT_THROW(app->Run(), SimScriptExhausted);

    EXPECT_TRUE(window->visible);
    EXPECT_FALSE(window->ended);
    EXPECT_TRUE(record.Happened("key dropped 0x1b"));
}

TEST_F(Staging, TheWaitWindowGoesWithItsObject)
{
    {
        CFileCopy wait;
        wait.Create(IDD_FILE_COPY);
        wait.ShowNow();
        wait.ShowWindow(SW_HIDE);
    }
    EXPECT_TRUE(screen.Dialog(IDD_FILE_COPY)->destroyed);
}

// The shell answers 0 with its aborted flag when the user skips a file or
// cancels in its error window, or when the copy is stopped: a failed copy.
// A current folder without the package is refused before anything is copied.
struct AbortedCopy {
    const char* name;
    SimFiles::ShellAnswer answer;  // to the window about the plug-in in use
    DWORD stop;                    // or a stop at the first file (a fault of that kind), or 0
    std::vector<std::string> copied, notCopied;
    void (*startFolder)(SimFiles& files) = nullptr;  // setup started from another folder than the package's
    std::string box = "";                             // the staging's one box, if any
};

const std::string kStartFromPackage = ").\nPlease start Setup.exe from the folder of the unpacked driver package.";

// An elevated console starts in System32: thousands of DLLs and programs, an INF or two, and no package.
void StartInSystem32(SimFiles& files)
{
    files.currentDirectory = "C:\\Windows\\System32";
    for (int i = 0; i < 3000; ++i) files.AddFile(files.currentDirectory + "\\lib" + std::to_string(i) + ".dll", "system");
    for (const char* name : {"kernel32.dll", "cmd.exe", "notepad.exe", "spoolsv.exe", "mdmcpq.inf", "unidrv.hlp"})
        files.AddFile(files.currentDirectory + "\\" + name, "system");
}

// Unpacked without its printer description file.
void StartInPackageWithoutGpd(SimFiles& files)
{
    files.currentDirectory = "D:\\Driver";
    AddDriverPackage(files, {"ESC_QRT_BILL.GPD"});
}

// An archive opened in Explorer: only Setup.exe lies in its temporary folder,
// here one deeper than MAX_PATH.
const std::string kDeepTemporaryFolder = "C:\\Users\\Administrator\\AppData\\Local\\Temp\\Temp1_" +
                                         std::string(240, 'x') + ".zip";
void StartInArchive(SimFiles& files)
{
    files.currentDirectory = kDeepTemporaryFolder;
    files.AddFile(files.currentDirectory + "\\Setup.exe", "setup");
}

void PrintTo(const AbortedCopy& copy, std::ostream* out) { *out << copy.name; }

class AbortedStaging : public Staging, public ::testing::WithParamInterface<AbortedCopy> {};

TEST_P(AbortedStaging, EndsTheProcessWithExitCodeOne)
{
    const AbortedCopy& copy = GetParam();
    // The spooler has the plug-in of an earlier installation loaded.
    const std::string directory = machine.spooler.driverDirectory + "\\";
    machine.files.AddFile(directory + "ESC_QRT_BILL.dll", "older plug-in");
    machine.files.MarkInUse(directory + "ESC_QRT_BILL.dll");
    machine.files.shellErrorAnswer = copy.answer;
    if (copy.stop != 0) record.Fail("SHFileOperationA", copy.stop);

    if (copy.startFolder != nullptr) copy.startFolder(machine.files);
    if (!copy.box.empty()) user.Answer(IDOK);

    EXPECT_EQ(Stage(), 1);
    EXPECT_EQ(BoxTexts(), copy.box.empty() ? std::vector<std::string>() : std::vector<std::string>{copy.box});
    EXPECT_EQ(machine.files.FileContent(directory + "ESC_QRT_BILL.dll"), "older plug-in");
    if (!copy.box.empty()) {
        EXPECT_EQ(Describe(screen.boxes.at(0)), Describe({nullptr, copy.box, SetupCaption, MB_OK | MB_ICONERROR, 0, 0}));
        // Told before the spooler is asked anything, and nothing copied.
        EXPECT_EQ(record.CountOf("GetPrinterDriverDirectoryA"), 0);
        EXPECT_EQ(machine.files.FilesIn(machine.spooler.driverDirectory), std::vector<std::string>{"ESC_QRT_BILL.dll"});
    }
    for (const std::string& name : copy.copied) EXPECT_TRUE(machine.files.FileExists(directory + name)) << name;
    for (const std::string& name : copy.notCopied) EXPECT_FALSE(machine.files.FileExists(directory + name)) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Shell, AbortedStaging,
    ::testing::Values(
        // Skip: everything else is copied, and still the package is not whole.
        AbortedCopy{"SkippedInItsWindow", SimFiles::ShellAnswer::Skip, 0, {"ESC_QRT_BILL.GPD", "unidrv.dll", "Uninstall.exe"}, {}},
        // Cancel: what the patterns before the plug-in's named is copied, nothing after.
        AbortedCopy{"CancelledInItsWindow", SimFiles::ShellAnswer::Cancel, 0, {"ESC_QRT_BILL.GPD", "stdnames.gpd"},
                    {"unidrv.dll", "CORVEX_ESCP.INF", "Uninstall.exe"}},
        // Without an answer the copy fails with the file's error.
        AbortedCopy{"InUseWithoutAnAnswer", SimFiles::ShellAnswer::None, 0, {"ESC_QRT_BILL.GPD"}, {"CORVEX_ESCP.INF"}},
        AbortedCopy{"CancelledAtTheFirstFile", SimFiles::ShellAnswer::None, kShellCopyCancelled, {},
                    {"ESC_QRT_BILL.GPD", "CORVEX_ESCP.INF"}},
        AbortedCopy{"SkippedTheFirstFile", SimFiles::ShellAnswer::None, kShellCopySkipped, {"stdnames.gpd", "CORVEX_ESCP.INF"},
                    {"ESC_QRT_BILL.GPD"}},
        AbortedCopy{"StartedInSystem32", SimFiles::ShellAnswer::None, 0, {}, {"kernel32.dll", "cmd.exe", "lib7.dll"},
                    StartInSystem32,
                    "The folder \"C:\\Windows\\System32\" does not hold the printer driver package (CORVEX_ESCP.INF, "
                    "ESC_QRT_BILL.GPD" + kStartFromPackage},
        AbortedCopy{"StartedInAPackageWithoutItsDescriptionFile", SimFiles::ShellAnswer::None, 0, {},
                    {"CORVEX_ESCP.INF", "unidrv.dll"}, StartInPackageWithoutGpd,
                    "The folder \"D:\\Driver\" does not hold the printer driver package (CORVEX_ESCP.INF, "
                    "ESC_QRT_BILL.GPD" + kStartFromPackage},
        AbortedCopy{"StartedInAnArchivesDeepTemporaryFolder", SimFiles::ShellAnswer::None, 0, {}, {"Setup.exe"},
                    StartInArchive,
                    "The folder \"" + kDeepTemporaryFolder +
                        "\" does not hold the printer driver package (CORVEX_ESCP.INF, ESC_QRT_BILL.GPD" +
                        kStartFromPackage}),
    [](const ::testing::TestParamInfo<AbortedCopy>& info) { return std::string(info.param.name); });

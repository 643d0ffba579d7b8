// Start-up: the refusals, their order and texts, the wait window, and what
// the program leaves behind.
#include "tests/StartUpMachines.h"

namespace {

const std::string kAnotherInstance =
    "Another application is already running. Please terminate the previous application.";
const std::string kWrongSystem = "The application will run only in Windows7 & Vista Operating System.";
const std::string kNoRights =
    "Administrator Privileges required to install Printer Drivers.\nRight Click the \"Setup\" application and select "
    "\"Run As...\" and log in as Administrator.";

std::string Refusal(const std::string& text) { return Describe({nullptr, text, SetupCaption, MB_OK | MB_ICONERROR, 0, 0}); }

}  // namespace

TEST_F(StartUp, SecondCopyIsRefusedWhileTheFirstRuns)
{
    machine.process.HoldMutexElsewhere("Global\\{6B1F2E90-3C4D-4a7e-9F21-0D8C5A7B3E14}");

    user.Answer(IDOK);
    EXPECT_EQ(RunSetup(), 0);

    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(Describe(screen.boxes[0]), Refusal(kAnotherInstance));
    EXPECT_EQ(machine.record.CountOf("GetVersionExA"), 0);
    EXPECT_EQ(ModelDialog(), nullptr);
    EXPECT_FALSE(record.Happened("create 130"));
}

TEST_F(StartUp, ASecondInstanceWithoutRightsOnAnOldSystemHearsOnlyOfTheFirst)
{
    machine.process.HoldMutexElsewhere("Global\\{6B1F2E90-3C4D-4a7e-9F21-0D8C5A7B3E14}");
    machine.process.majorVersion = 5;
    machine.process.administrator = false;
    user.Answer(IDOK);
    RunSetup();
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, kAnotherInstance);
}

TEST_F(StartUp, AnOldSystemIsRefusedBeforeTheRightsAreAsked)
{
    machine.process.majorVersion = 5;
    machine.process.administrator = false;
    user.Answer(IDOK);
    RunSetup();
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, kWrongSystem);
    EXPECT_EQ(machine.record.CountOf("IsUserAnAdmin"), 0);
    EXPECT_FALSE(machine.process.MutexOpen(SetupMutexName));
}

TEST_F(StartUp, MissingRightsAreRefusedAfterTheVersionCheck)
{
    machine.process.administrator = false;
    user.Answer(IDOK);
    RunSetup();
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(Describe(screen.boxes[0]), Refusal(kNoRights));
    EXPECT_EQ(machine.record.CountOf("GetVersionExA"), 1);
    EXPECT_EQ(machine.record.CountOf("InitCommonControls"), 0);
    EXPECT_EQ(ModelDialog(), nullptr);
}

TEST_F(StartUp, AFailedVersionQueryReadsAsNoSupportedSystem)
{
    machine.record.Fail("GetVersionExA", ERROR_INVALID_PARAMETER);
    user.Answer(IDOK);
    RunSetup();
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, kWrongSystem);
    EXPECT_EQ(machine.record.CallsOf("GetVersionExA").at(0).arguments, "148");
}

TEST_F(StartUp, TheMutexIsFreedWhenSetupEndsSoANewStartSucceeds)
{
    LeaveByCancel();
    RunSetup();
    EXPECT_FALSE(machine.process.MutexOpen(SetupMutexName));

    LeaveByCancel();
    RunSetup();
    ASSERT_EQ(screen.boxes.size(), 2u);
    EXPECT_EQ(screen.boxes[1].text.rfind("Setup is not complete.", 0), 0u);
    EXPECT_FALSE(machine.process.MutexOpen(SetupMutexName));
}

TEST_F(StartUp, TheMutexIsHeldForTheWholeUserInterface)
{
    user.Then([&] { EXPECT_TRUE(machine.process.MutexOpen(SetupMutexName)); });
    LeaveByCancel();
    RunSetup();
    EXPECT_EQ(machine.record.CallsOf("CreateMutexA").at(0).arguments,
              "0, \"Global\\{6B1F2E90-3C4D-4a7e-9F21-0D8C5A7B3E14}\"");
}

TEST_F(StartUp, AMutexThatCannotBeCreatedDoesNotStopSetup)
{
    machine.record.Fail("CreateMutexA", ERROR_ACCESS_DENIED);
    LeaveByCancel();
    RunSetup();
    EXPECT_NE(ModelDialog(), nullptr);
    EXPECT_EQ(machine.record.CountOf("CloseHandle"), 0);
}

class StartUpVersions : public SetupTest, public ::testing::WithParamInterface<std::pair<DWORD, DWORD>> {};

TEST_P(StartUpVersions, OnlyMajorVersionSixRuns)
{
    machine.process.majorVersion = GetParam().first;
    machine.process.minorVersion = GetParam().second;
    bool supported = GetParam().first == 6;
    if (supported)
        LeaveByCancel();
    else
        user.Answer(IDOK);  // the refusal
    RunSetup();

    if (supported) {
        EXPECT_NE(ModelDialog(), nullptr);
    } else {
        ASSERT_EQ(screen.boxes.size(), 1u);
        EXPECT_EQ(Describe(screen.boxes[0]), Refusal(kWrongSystem));
        EXPECT_EQ(ModelDialog(), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, StartUpVersions,
                         ::testing::Values(std::make_pair(5u, 1u), std::make_pair(6u, 0u), std::make_pair(6u, 1u),
                                           std::make_pair(6u, 2u), std::make_pair(6u, 3u), std::make_pair(10u, 0u)),
                         [](const ::testing::TestParamInfo<std::pair<DWORD, DWORD>>& info) {
                             return "Windows" + std::to_string(info.param.first) + "_" + std::to_string(info.param.second);
                         });

TEST_F(StartUp, TheWaitWindowShowsForOneSecondBeforeTheModelDialog)
{
    user.Then([&] {
        SimWindow* wait = screen.Dialog(IDD_FILE_COPY);
        EXPECT_FALSE(wait->visible);
        EXPECT_EQ(wait->parent, nullptr);
        EXPECT_TRUE(ModelDialog()->visible);
    });
    LeaveByCancel();
    RunSetup();

    EXPECT_EQ(record.TimeOf("show 130"), 0u);
    // Painted at once, before the thread blocks.
    EXPECT_TRUE(InOrder(record, {"paint 130", "Sleep"}));
    EXPECT_EQ(machine.record.CallsOf("Sleep").at(0).arguments, "1000");
    EXPECT_EQ(record.TimeOf("hide 130"), 1000u);
    EXPECT_TRUE(InOrder(record, {"hide 130", "show 102"}));
    EXPECT_EQ(record.TimeOf("show 102"), 1000u);
    // The hidden wait window stays until the model dialog has returned.
    EXPECT_TRUE(InOrder(record, {"end 102 2", "destroy 130"}));
}

// Where Setup.exe was started from, and the name that the one box carrying
// the application's name then shows.
struct StartedFrom {
    std::string modulePath;
    std::string name;
};

class ApplicationName : public SetupTest, public ::testing::WithParamInterface<StartedFrom> {};

TEST_P(ApplicationName, IsTheExecutablesFileNameWithoutFolderAndExtension)
{
    machine.process.modulePath = GetParam().modulePath;
    AddPackage();
    user.Click(IDOK).PlugIn(kPrinterPath).Answer(IDOK);
    EXPECT_EQ(RunSetup(), 0);
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, "Please connect printer properly");
    EXPECT_EQ(screen.boxes[0].caption, GetParam().name);
}

// Renamed, in a folder with a dot; in a folder whose path just fits the
// 260-character buffer with its NUL; and in one a character longer, whose
// name the system can give only cut short: then the application has none.
INSTANTIATE_TEST_SUITE_P(StartUp, ApplicationName,
                         ::testing::Values(StartedFrom{"D:\\Corvex.v2\\CorvexSetup.EXE", "CorvexSetup"},
                                           StartedFrom{"C:\\" + std::string(246, 'x') + "\\Setup.exe", "Setup"},
                                           StartedFrom{"C:\\" + std::string(247, 'x') + "\\Setup.exe", ""}));

TEST_F(StartUp, StartUpPreparesTheFrameworkAndReturnsFalse)
{
    LeaveByCancel();
    EXPECT_EQ(RunSetup(), 0);
    // The settings key is set, and nothing is read or written under it.
    EXPECT_EQ(app->m_registryKey, "Local AppWizard-Generated Applications");
    for (const SimCall& call : record.calls) EXPECT_EQ(call.arguments.find("AppWizard"), std::string::npos) << call.operation;
    EXPECT_EQ(app->m_pMainWnd, nullptr);
    EXPECT_TRUE(InOrder(record, {"InitCommonControls", "create 102"}));
    EXPECT_FALSE(exited);
}

TEST_F(StartUp, ScriptsThatOutrunTheProgramAreCaught)
{
    // The dialog waits for a user who has nothing more to do. The exception
    // unwinds start-up as the normal path would: the wait window, the model
    // dialog, then the single-instance mutex.
    EXPECT_THROW(RunSetup(), SimScriptExhausted);
    EXPECT_TRUE(screen.Dialog(IDD_FILE_COPY)->destroyed);
    EXPECT_FALSE(machine.process.MutexOpen(SetupMutexName));
    EXPECT_TRUE(InOrder(record, {"destroy 130", "CloseHandle"}));
    // A question nobody answers.
    SimMachine second;
    InstallPlatform(second.Services());
    second.user.Click(IDCANCEL);
    CSetupApp secondApp;
    EXPECT_THROW(AfxWinMain(), SimScriptExhausted);
}

// The x64 build runs on x64 Windows, whether or not the system can name its
// machine, and refuses on ARM64, where it would run emulated.
INSTANTIATE_TEST_SUITE_P(
    X64Build, StartUpMachines,
    ::testing::Values(StartUpMachine{"X64Windows", IMAGE_FILE_MACHINE_AMD64, IMAGE_FILE_MACHINE_AMD64, true, ""},
                      StartUpMachine{"X64WindowsBeforeWindows10", IMAGE_FILE_MACHINE_AMD64, IMAGE_FILE_MACHINE_AMD64,
                                     false, ""},
                      StartUpMachine{"Arm64Windows", IMAGE_FILE_MACHINE_AMD64, IMAGE_FILE_MACHINE_ARM64, true, kNotOnArm}),
    [](const ::testing::TestParamInfo<StartUpMachine>& info) { return std::string(info.param.name); });

// Start-up: the refusals, their order and texts, the wait window, and what
// the program leaves behind.
#include "tests/Harness.h"

namespace {

const std::string kAnotherInstance =
    "Another application is already running. Please terminate the previous application.";
const std::string kWrongSystem = "The application will run only in Windows7 & Vista Operating System.";
const std::string kNoRights =
    "Administrator Privileges required to install Printer Drivers.\nRight Click the \"Setup\" application and select "
    "\"Run As...\" and log in as Administrator.";

std::string Refusal(const std::string& text) { return Describe({nullptr, text, SetupCaption, MB_OK | MB_ICONERROR, 0, 0}); }

}  // namespace

TEST_F(SetupTest, SecondCopyIsRefusedWhileTheFirstRuns)
{
    machine.HoldMutexElsewhere("Global\\{6B1F2E90-3C4D-4a7e-9F21-0D8C5A7B3E14}");

    EXPECT_EQ(RunSetup(), 0);

    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(Describe(user.boxes[0]), Refusal(kAnotherInstance));
    EXPECT_EQ(machine.CountOf("GetVersionExA"), 0);
    EXPECT_EQ(ModelDialog(), nullptr);
    EXPECT_FALSE(user.Happened("create 130"));
}

TEST_F(SetupTest, ASecondInstanceWithoutRightsOnAnOldSystemHearsOnlyOfTheFirst)
{
    machine.HoldMutexElsewhere("Global\\{6B1F2E90-3C4D-4a7e-9F21-0D8C5A7B3E14}");
    machine.majorVersion = 5;
    machine.administrator = false;
    RunSetup();
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].text, kAnotherInstance);
}

TEST_F(SetupTest, AnOldSystemIsRefusedBeforeTheRightsAreAsked)
{
    machine.majorVersion = 5;
    machine.administrator = false;
    RunSetup();
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].text, kWrongSystem);
    EXPECT_EQ(machine.CountOf("IsUserAnAdmin"), 0);
    EXPECT_FALSE(machine.MutexOpen(SetupMutexName));
}

TEST_F(SetupTest, MissingRightsAreRefusedAfterTheVersionCheck)
{
    machine.administrator = false;
    RunSetup();
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(Describe(user.boxes[0]), Refusal(kNoRights));
    EXPECT_EQ(machine.CountOf("GetVersionExA"), 1);
    EXPECT_EQ(machine.CountOf("InitCommonControls"), 0);
    EXPECT_EQ(ModelDialog(), nullptr);
}

TEST_F(SetupTest, AFailedVersionQueryReadsAsNoSupportedSystem)
{
    machine.Fail("GetVersionExA", ERROR_INVALID_PARAMETER);
    RunSetup();
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].text, kWrongSystem);
    EXPECT_EQ(machine.CallsOf("GetVersionExA").at(0).arguments, "148");
}

TEST_F(SetupTest, TheMutexIsFreedWhenSetupEndsSoANewStartSucceeds)
{
    LeaveByCancel();
    RunSetup();
    EXPECT_FALSE(machine.MutexOpen(SetupMutexName));

    LeaveByCancel();
    RunSetup();
    ASSERT_EQ(user.boxes.size(), 2u);
    EXPECT_EQ(user.boxes[1].text.rfind("Setup is not complete.", 0), 0u);
    EXPECT_FALSE(machine.MutexOpen(SetupMutexName));
}

TEST_F(SetupTest, TheMutexIsHeldForTheWholeUserInterface)
{
    user.Then([&] { EXPECT_TRUE(machine.MutexOpen(SetupMutexName)); });
    LeaveByCancel();
    RunSetup();
    EXPECT_EQ(machine.CallsOf("CreateMutexA").at(0).arguments,
              "0, \"Global\\{6B1F2E90-3C4D-4a7e-9F21-0D8C5A7B3E14}\"");
}

TEST_F(SetupTest, AMutexThatCannotBeCreatedDoesNotStopSetup)
{
    machine.Fail("CreateMutexA", ERROR_ACCESS_DENIED);
    LeaveByCancel();
    RunSetup();
    EXPECT_NE(ModelDialog(), nullptr);
    EXPECT_EQ(machine.CountOf("CloseHandle"), 0);
}

class SystemVersionTest : public SetupTest, public ::testing::WithParamInterface<std::pair<DWORD, DWORD>> {};

TEST_P(SystemVersionTest, OnlyMajorVersionSixRuns)
{
    machine.majorVersion = GetParam().first;
    machine.minorVersion = GetParam().second;
    bool supported = GetParam().first == 6;
    if (supported) LeaveByCancel();

    RunSetup();

    if (supported) {
        EXPECT_NE(ModelDialog(), nullptr);
    } else {
        ASSERT_EQ(user.boxes.size(), 1u);
        EXPECT_EQ(Describe(user.boxes[0]), Refusal(kWrongSystem));
        EXPECT_EQ(ModelDialog(), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, SystemVersionTest,
                         ::testing::Values(std::make_pair(5u, 1u), std::make_pair(6u, 0u), std::make_pair(6u, 1u),
                                           std::make_pair(6u, 2u), std::make_pair(6u, 3u), std::make_pair(10u, 0u)),
                         [](const ::testing::TestParamInfo<std::pair<DWORD, DWORD>>& info) {
                             return "Windows" + std::to_string(info.param.first) + "_" + std::to_string(info.param.second);
                         });

TEST_F(SetupTest, TheWaitWindowShowsForOneSecondBeforeTheModelDialog)
{
    user.Then([&] {
        SimWindow* wait = user.Dialog(IDD_FILE_COPY);
        EXPECT_FALSE(wait->visible);
        EXPECT_EQ(wait->parent, nullptr);
        EXPECT_TRUE(ModelDialog()->visible);
    });
    LeaveByCancel();
    RunSetup();

    EXPECT_EQ(user.TimeOf("show 130"), 0u);
    // Painted at once, before the thread blocks.
    EXPECT_LT(user.IndexOf("paint 130"), user.IndexOf("Sleep"));
    EXPECT_EQ(machine.CallsOf("Sleep").at(0).arguments, "1000");
    EXPECT_EQ(user.TimeOf("hide 130"), 1000u);
    EXPECT_LT(user.IndexOf("hide 130"), user.IndexOf("show 102"));
    EXPECT_EQ(user.TimeOf("show 102"), 1000u);
    // The hidden wait window stays until the model dialog has returned.
    EXPECT_LT(user.IndexOf("end 102 2"), user.IndexOf("destroy 130"));
}

TEST_F(SetupTest, StartUpPreparesTheFrameworkAndReturnsFalse)
{
    LeaveByCancel();
    EXPECT_EQ(RunSetup(), 0);

    EXPECT_EQ(app->m_appName, "Setup");
    EXPECT_EQ(app->m_registryKey, "Local AppWizard-Generated Applications");
    EXPECT_EQ(app->m_pMainWnd, nullptr);
    EXPECT_LT(user.IndexOf("InitCommonControls"), user.IndexOf("create 102"));
    EXPECT_FALSE(exited);
}

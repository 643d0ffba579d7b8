// The x86 build's start-up: on 64-bit Windows it refuses, so that no 32-bit
// driver is registered with a spooler that cannot print with it.
#include "tests/Harness.h"

namespace {

const std::string kUseTheX64Setup =
    "This Setup.exe is for 32-bit Windows, and this Windows is 64-bit.\n"
    "Please run the x64 Setup.exe of the printer driver package instead.";

}  // namespace

TEST_F(StartUp, TheX86BuildRefusesOnSixtyFourBitWindowsRightAfterTheRights)
{
    machine.process.wow64 = true;
    user.Answer(IDOK);
    EXPECT_EQ(RunSetup(), 0);

    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(Describe(screen.boxes[0]), Describe({nullptr, kUseTheX64Setup, SetupCaption, MB_OK | MB_ICONERROR, 0, 0}));
    EXPECT_TRUE(InOrder(record, {"IsUserAnAdmin", "IsWow64Process", "box " + kUseTheX64Setup}));
    EXPECT_EQ(record.CountOf("InitCommonControls"), 0);
    EXPECT_EQ(ModelDialog(), nullptr);
    EXPECT_FALSE(machine.process.MutexOpen(SetupMutexName));
}

TEST_F(StartUp, TheX86BuildRunsOnThirtyTwoBitWindows)
{
    LeaveByCancel();
    RunSetup();
    EXPECT_EQ(record.CountOf("IsWow64Process"), 1);
    EXPECT_NE(ModelDialog(), nullptr);
}

TEST_F(StartUp, MissingRightsAreTheFirstRefusalOfTheX86BuildToo)
{
    machine.process.wow64 = true;
    machine.process.administrator = false;
    user.Answer(IDOK);
    RunSetup();
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text.rfind("Administrator Privileges required", 0), 0u);
    EXPECT_EQ(record.CountOf("IsWow64Process"), 0);
}

// The x86 build's start-up: on x64 Windows it refuses, so that no 32-bit
// driver is registered with a spooler that cannot print with it; on ARM64
// it refuses as the x64 build does.
#include "tests/StartUpMachines.h"

namespace {

const WORD kX86 = IMAGE_FILE_MACHINE_I386;

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    X86Build, StartUpMachines,
    ::testing::Values(
        StartUpMachine{"X64Windows", kX86, IMAGE_FILE_MACHINE_AMD64, true, kUseTheX64Setup},
        // Before Windows 10 only WOW64 tells.
        StartUpMachine{"X64WindowsBeforeWindows10", kX86, IMAGE_FILE_MACHINE_AMD64, false, kUseTheX64Setup},
        // Under WOW64 there too, and still no x64 Setup.exe would help.
        StartUpMachine{"Arm64Windows", kX86, IMAGE_FILE_MACHINE_ARM64, true, kNotOnArm},
        StartUpMachine{"ThirtyTwoBitWindows", kX86, IMAGE_FILE_MACHINE_I386, true, ""},
        StartUpMachine{"ThirtyTwoBitWindowsBeforeWindows10", kX86, IMAGE_FILE_MACHINE_I386, false, ""}),
    [](const ::testing::TestParamInfo<StartUpMachine>& info) { return std::string(info.param.name); });

TEST_F(StartUp, MissingRightsAreTheFirstRefusalOfTheX86BuildToo)
{
    machine.process.programMachine = kX86;
    machine.process.administrator = false;
    user.Answer(IDOK);
    RunSetup();
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text.rfind("Administrator Privileges required", 0), 0u);
    EXPECT_EQ(record.CountOf("IsWow64Process2"), 0);
    EXPECT_EQ(record.CountOf("IsWow64Process"), 0);
}

// Start-up on the machines that Windows runs on, for either build: the rows
// of each build are in its own test file.
#pragma once
#include "tests/Harness.h"

inline const std::string kUseTheX64Setup =
    "This Setup.exe is for 32-bit Windows, and this Windows is 64-bit.\n"
    "Please run the x64 Setup.exe of the printer driver package instead.";
inline const std::string kNotOnArm = "This printer driver does not run on ARM-based Windows.";

struct StartUpMachine {
    const char* name;
    WORD programMachine;     // the build's
    WORD nativeMachine;      // the machine Windows runs on
    bool hasIsWow64Process2;  // Windows 10; not Vista, 7, 8 or 8.1
    std::string refusal;     // empty: setup runs on
};

inline void PrintTo(const StartUpMachine& row, std::ostream* out) { *out << row.name; }

class StartUpMachines : public StartUp, public ::testing::WithParamInterface<StartUpMachine> {};

TEST_P(StartUpMachines, RefuseRightAfterTheRightsOrRunOn)
{
    const StartUpMachine& row = GetParam();
    machine.process.programMachine = row.programMachine;
    machine.process.nativeMachine = row.nativeMachine;
    machine.process.hasIsWow64Process2 = row.hasIsWow64Process2;
    if (row.refusal.empty()) {
        LeaveByCancel();
        EXPECT_EQ(RunSetup(), 0);
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{ExitQuestion});
        EXPECT_NE(ModelDialog(), nullptr);
        return;
    }
    user.Answer(IDOK);
    EXPECT_EQ(RunSetup(), 0);
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(Describe(screen.boxes[0]), Describe({nullptr, row.refusal, SetupCaption, MB_OK | MB_ICONERROR, 0, 0}));
    EXPECT_TRUE(InOrder(record, {"IsUserAnAdmin", "IsWow64Process2", "box " + row.refusal}));
    EXPECT_EQ(record.CountOf("InitCommonControls"), 0);
    EXPECT_EQ(ModelDialog(), nullptr);
    EXPECT_FALSE(machine.process.MutexOpen(SetupMutexName));
}

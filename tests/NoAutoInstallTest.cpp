// A build whose profile does not install on the printer's arrival
// (UsbAutoInstall 2, neither 1 nor 0): the arrival still ends the connection dialog and shows
// the wait window for two seconds, then setup ends without a message.
#include "tests/Harness.h"

// The setting is about the arrival only: the manual path installs as in every build.
TEST_F(StartUp, WithoutAutoInstallTheManualPathStillInstalls)
{
    AddPackage();
    machine.files.AddFolder("C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
    user.Click(IDOK).Click(IDC_MANUAL).Click(IDC_PORT_OK).Answer(IDOK);
    EXPECT_EQ(RunSetup(), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
    EXPECT_EQ(QueueNamed(kModel).portName, "LPT1:");
}

TEST_F(StartUp, WithoutAutoInstallAnArrivalEndsSetupWithoutInstalling)
{
    AddPackage();
    user.Click(IDOK).PlugIn("\\\\?\\USB#VID_F1C4&PID_1101#QL70_TILLMATE#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    EXPECT_EQ(RunSetup(), 0);

    EXPECT_TRUE(screen.boxes.empty());
    EXPECT_TRUE(InOrder(record, {"UnregisterDeviceNotification", "end 108 1", "cursor wait", "show 130", "Sleep",
                                 "cursor normal", "destroy 130", "end 102 1"}));
    EXPECT_EQ(record.CallsOf("Sleep").back().arguments, "2000");
    EXPECT_EQ(record.CountOf("SetupCopyOEMInfA"), 0);
    EXPECT_TRUE(machine.spooler.queues.empty());
    EXPECT_FALSE(screen.waitCursor);
}

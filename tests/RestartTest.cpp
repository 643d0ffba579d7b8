// Windows restarted after the setup: what it made must all be there, and the
// status monitor starts at log-on from its Run value.
#include "tests/Harness.h"

namespace {

const std::string kRunKey = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kUninstallKey = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvantis";
const std::string kShortcut =
    "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Corvantis\\StatusMonitorQL70TILLMATE(ESCP).LNK";

}  // namespace

class Restart : public SetupTest {};

TEST_F(Restart, AfterACompleteInstallationNothingIsLostAndTheStatusMonitorStarts)
{
    AddPackage();
    machine.files.AddFolder("C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
    user.Click(IDOK).Click(IDC_MANUAL).Click(IDC_PORT_OK).Answer(IDOK);
    RunSetup();
    ASSERT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
    const std::string monitor = machine.spooler.driverDirectory + "\\STM\\QL70TILLMATE(ESCP).exe";
    ASSERT_EQ(machine.process.running, std::vector<std::string>{monitor});
    app.reset();

    machine.Restart();

    ASSERT_NE(machine.spooler.Driver(kModel), nullptr);
    EXPECT_EQ(QueueNamed(kModel).portName, "LPT1:");
    EXPECT_EQ(machine.spooler.defaultPrinter, kModel);
    EXPECT_EQ(machine.registry.StringOf(kRunKey, "CorvexQL70TILLMATE(ESCP)"),
              machine.spooler.driverDirectory + "\\STM\\QL70TILLMATE(ESCP)");
    EXPECT_NE(machine.files.FileContent(kShortcut).find("target=" + monitor + "\n"), std::string::npos);
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "DisplayName"), "Corvantis Printer Software");
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "UninstallString"),
              machine.spooler.driverDirectory + "\\Uninstall.exe");
    ASSERT_EQ(machine.spooler.infStore.size(), 1u);
    EXPECT_EQ(machine.files.FileContent("C:\\Windows\\INF\\" + machine.spooler.infStore[0]), kPackageInf);
    // Started at log-on by its Run value, which names it without ".exe".
    EXPECT_EQ(machine.process.running, std::vector<std::string>{monitor});
    EXPECT_TRUE(InOrder(record, {"restart", "start " + monitor}));
    EXPECT_FALSE(machine.process.MutexOpen(SetupMutexName));
}

// Setup again, after the printer was removed, while the status monitor that
// the first run started still runs: Windows cannot write over the image of a
// running program, so the status monitor's copy fails. The driver is
// installed without it, and nothing that follows a deployed status monitor
// (Run value, shortcut, launch) happens again.
TEST_F(Restart, ASecondSetupWhileTheStatusMonitorRunsInstallsTheDriverAlone)
{
    AddPackage();
    machine.files.AddFolder("C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
    user.Click(IDOK).Click(IDC_MANUAL).Click(IDC_PORT_OK).Answer(IDOK);
    RunSetup();
    const std::string monitor = machine.spooler.driverDirectory + "\\STM\\QL70TILLMATE(ESCP).exe";
    ASSERT_EQ(machine.process.running, std::vector<std::string>{monitor});
    app.reset();
    machine.spooler.queues.clear();
    machine.files.AddFile(machine.files.currentDirectory + "\\STM\\QL70TILLMATE(ESCP).exe", "a newer status monitor");
    screen.boxes.clear();
    record.Forget();

    user.Click(IDOK).Click(IDC_MANUAL).Click(IDC_PORT_OK).Answer(IDOK);
    EXPECT_EQ(RunSetup(), 0);

    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kDriverOnly});
    EXPECT_EQ(QueueNamed(kModel).portName, "LPT1:");
    EXPECT_EQ(machine.files.FileContent(monitor), "status monitor");
    EXPECT_EQ(record.CountOf("SHFileOperationA"), 2);
    for (const SimCall& call : record.CallsOf("RegSetValueExA")) EXPECT_EQ(call.arguments.rfind(kRunKey, 0), std::string::npos);
    EXPECT_EQ(record.CountOf("IPersistFile::Save") + record.CountOf("ShellExecuteA"), 0);
    EXPECT_EQ(machine.process.running, std::vector<std::string>{monitor});
    // What the first run left stays: the status monitor runs on, and starts at log-on.
    EXPECT_EQ(machine.registry.StringOf(kRunKey, "CorvexQL70TILLMATE(ESCP)"),
              machine.spooler.driverDirectory + "\\STM\\QL70TILLMATE(ESCP)");
    EXPECT_EQ(machine.spooler.infStore.size(), 1u);
}

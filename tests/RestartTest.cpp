// Windows restarted after the setup: what it made must all be there, and the
// status monitor starts at log-on from its Run value.
#include "tests/Harness.h"

namespace {

const std::string kRunKey = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kUninstallKey = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvantis";
constexpr DWORD kVolatile = 1;  // REG_OPTION_VOLATILE
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
    ASSERT_NE(machine.spooler.Queue(kModel), nullptr);
    EXPECT_EQ(machine.spooler.Queue(kModel)->portName, "LPT1:");
    EXPECT_EQ(machine.spooler.defaultPrinter, kModel);
    EXPECT_EQ(machine.registry.StringOf(kRunKey, "CorvexQL70TILLMATE(ESCP)"),
              machine.spooler.driverDirectory + "\\STM\\QL70TILLMATE(ESCP)");
    EXPECT_NE(machine.files.FileContent(kShortcut).find("target=" + monitor + "\n"), std::string::npos);
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "DisplayName"), "Corvantis Printer Software");
    EXPECT_EQ(machine.registry.StringOf(kUninstallKey, "UninstallString"),
              machine.spooler.driverDirectory + "\\Uninstall.exe");
    ASSERT_EQ(machine.spooler.infStore.size(), 1u);
    EXPECT_EQ(machine.files.FileContent("C:\\Windows\\INF\\" + machine.spooler.infStore[0]), "package file CORVEX_ESCP.INF");
    // Started at log-on by its Run value, which names it without ".exe".
    EXPECT_EQ(machine.process.running, std::vector<std::string>{monitor});
    EXPECT_TRUE(InOrder(record, {"restart", "start " + monitor}));
    EXPECT_FALSE(machine.process.MutexOpen(SetupMutexName));
}

TEST(RestartedMachine, LosesVolatileKeysProcessesAndMutexesAndStartsTheRunKeysPrograms)
{
    SimMachine machine;
    HKEY key = nullptr;
    auto create = [&](const char* path, DWORD options) {
        LSTATUS status = machine.registry.RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, options, KEY_ALL_ACCESS,
                                                          nullptr, &key, nullptr);
        if (status == ERROR_SUCCESS) machine.registry.RegCloseKey(key);
        return status;
    };
    EXPECT_EQ(create("SOFTWARE\\Gone\\Child", kVolatile), ERROR_SUCCESS);
    EXPECT_TRUE(machine.registry.IsVolatile("HKLM\\SOFTWARE\\Gone"));  // made on the way, with the key's options
    EXPECT_EQ(create("SOFTWARE\\Gone\\Kept", REG_OPTION_NON_VOLATILE), 1021);  // ERROR_CHILD_MUST_BE_VOLATILE
    EXPECT_FALSE(machine.registry.KeyExists("HKLM\\SOFTWARE\\Gone\\Kept"));
    EXPECT_EQ(create("SOFTWARE\\Gone\\Child", REG_OPTION_NON_VOLATILE), ERROR_SUCCESS);  // it exists: opened
    EXPECT_EQ(create("SOFTWARE\\Kept", REG_OPTION_NON_VOLATILE), ERROR_SUCCESS);
    EXPECT_EQ(create("SOFTWARE\\Kept\\Gone", kVolatile), ERROR_SUCCESS);

    // Each Run value's data is a command line; the program it names starts if it exists.
    const std::string run = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    machine.files.AddFile("C:\\Tools\\Monitor.exe");
    machine.files.AddFile("C:\\Program Files\\Vendor\\Tray.exe");
    machine.files.AddFile("C:\\Program.exe");
    machine.registry.SetString(run, "no extension", "C:\\Tools\\Monitor");
    machine.registry.SetString(run, "quoted with arguments", "\"C:\\Program Files\\Vendor\\Tray.exe\" /minimized");
    machine.registry.SetString(run, "blanks unquoted", "C:\\Program Files\\Vendor\\Tray");  // C:\Program.exe first
    machine.registry.SetString(run, "missing", "C:\\Tools\\Gone.exe");
    machine.registry.SetDword(run, "not a string", 1);
    machine.registry.SetString("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "user", "C:\\Tools\\Monitor.exe");
    machine.process.HoldMutexElsewhere("Global\\Other");
    machine.process.CreateMutexA(nullptr, FALSE, "Local\\Mine");
    machine.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kept", 0, KEY_READ, &key);

    machine.Restart();

    EXPECT_FALSE(machine.registry.KeyExists("HKLM\\SOFTWARE\\Gone"));
    EXPECT_FALSE(machine.registry.KeyExists("HKLM\\SOFTWARE\\Kept\\Gone"));
    EXPECT_TRUE(machine.registry.KeyExists("HKLM\\SOFTWARE\\Kept"));
    EXPECT_EQ(machine.Held(), "");
    EXPECT_FALSE(machine.process.MutexOpen("Global\\Other"));
    EXPECT_FALSE(machine.process.MutexOpen("Local\\Mine"));
    EXPECT_EQ(machine.process.running,
              (std::vector<std::string>{"C:\\Program.exe", "C:\\Tools\\Monitor.exe",
                                        "C:\\Program Files\\Vendor\\Tray.exe", "C:\\Tools\\Monitor.exe"}));
}

// Odd and hostile inputs, the whole program on a simulated machine: paths at
// the system's limit, names outside ASCII, a package that is not complete, a
// read-only driver directory, a missing Run key, a spooler with very many ports.
#include <chrono>
#include <cstring>

#include "tests/Harness.h"

namespace {

const std::string kRunKey = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kPrograms = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs";

}  // namespace

class HostileInput : public SetupTest {
protected:
    void SetUp() override
    {
        SetupTest::SetUp();
        machine.files.AddFolder(kPrograms);
    }

    // Down the manual path on LPT1:, as proposed, to the outcome.
    int InstallOnLptOne()
    {
        user.Click(IDOK).Click(IDC_MANUAL).Click(IDC_PORT_OK).Answer(IDOK);
        return RunSetup();
    }

};

TEST_F(HostileInput, ADriverDirectoryNearThePathLimitInstallsTheDriverWithoutTheStatusMonitor)
{
    // 240 characters: the package's files fit below MAX_PATH (the GPD file
    // needs 257), and so does the STM folder, but the status monitor's copy
    // ("\STM\QL70TILLMATE(ESCP).exe" more, 267) does not.
    std::string directory = "C:\\" + std::string(237, 'd');
    machine.spooler.SetDriverDirectory(directory);
    AddPackage();
    InstallOnLptOne();

    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kDriverOnly});
    EXPECT_TRUE(machine.files.FileExists(directory + "\\ESC_QRT_BILL.GPD"));
    EXPECT_TRUE(machine.files.FolderExists(directory + "\\STM"));
    EXPECT_FALSE(machine.files.FileExists(directory + "\\STM\\QL70TILLMATE(ESCP).exe"));
    EXPECT_EQ(machine.registry.Value(kRunKey, "CorvexQL70TILLMATE(ESCP)"), nullptr);
    EXPECT_EQ(record.CountOf("CoCreateInstance"), 0);
    // The INF path needs 256 characters: it fits.
    EXPECT_EQ(machine.spooler.infStore.size(), 1u);
}

TEST_F(HostileInput, ADriverDirectoryAtThePathLimitEndsSetupAtTheStaging)
{
    // 256 characters: none of the package's files fits below MAX_PATH there.
    std::string directory = "C:\\" + std::string(253, 'd');
    machine.spooler.SetDriverDirectory(directory);
    AddPackage();
    user.Click(IDOK);
    EXPECT_EQ(RunSetup(), 1);

    EXPECT_TRUE(exited);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_TRUE(machine.files.FilesIn(directory).empty());
    EXPECT_TRUE(machine.spooler.drivers.empty());
}

TEST_F(HostileInput, PortNamesAndDescriptionsOutsideAsciiArePassedOnAsTheyAre)
{
    AddPackage();
    machine.spooler.ports.clear();
    machine.spooler.AddPort("Anschlu\xDF" "1:", "Drucker \xFC" "ber USB");
    machine.spooler.AddPort("LPT1:", "Port d'imprimante \xE9" "tendu");
    user.Click(IDOK).Click(IDC_MANUAL);
    user.Then([&] {
        SimWindow* list = screen.Control(IDD_PORT_SELECTION, IDC_PORT_LIST);
        ASSERT_EQ(list->items.size(), 2u);
        EXPECT_EQ(list->items[0].text, "Anschlu\xDF" "1: (Drucker \xFC" "ber USB)");
        EXPECT_EQ(list->currentSelection, 1);
    });
    user.ClickItem(IDC_PORT_LIST, 0).Click(IDC_PORT_OK);
    user.Answer(IDOK);
    RunSetup();
    EXPECT_EQ(QueueNamed(kModel).portName, "Anschlu\xDF" "1:");
}

TEST_F(HostileInput, ADriverDirectoryOutsideAsciiReachesTheShellInTheAnsiCodePage)
{
    // In code page 1252, 0xE9 is U+00E9 and 0x80 is the euro sign, U+20AC;
    // as UTF-8 neither byte would start a character.
    std::string directory = "C:\\Treiber\\Caf\xE9 \x80";
    machine.spooler.SetDriverDirectory(directory);
    AddPackage();
    InstallOnLptOne();

    EXPECT_EQ(record.CallsOf("SHCreateDirectory").at(0).arguments, "\"C:\\Treiber\\Caf\u00e9 \u20ac\\STM\\\"");
    EXPECT_TRUE(machine.files.FileExists(directory + "\\STM\\QL70TILLMATE(ESCP).exe"));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
}

TEST_F(HostileInput, ADoubleByteCharacterIsNotTakenForTheSerialNumbersLastLetter)
{
    // In code page 932, 0x83 0x45 is one character; its trail byte is the
    // letter E only to a comparison that reads byte by byte. Each serial
    // below has exactly the bytes of the configured one ("QL70_TILLMATE",
    // 13), or begins with all of them, so that neither the length nor a
    // comparison of the first 13 bytes tells them apart: only reading them
    // character by character does.
    machine.process.ansiCodePage = 932;
    AddPackage();
    user.Click(IDOK);
    const std::string serials[] = {
        "QL70_TILLMA\x83" "E",      // the trail byte in the place of the last letter
        "QL70_TILLMATE\x83" "E",    // the configured serial, then one more character
        "QL70_TILLMATE\x83",        // ... or a lead byte without its trail byte
        "\x83\x81" "QL70_TILLM",    // a double-byte character in front
    };
    for (const std::string& serial : serials)
        user.PlugIn("\\\\?\\USB#VID_F1C4&PID_1101#" + serial + "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    user.Then([&] { EXPECT_TRUE(screen.Dialog(IDD_PRINTER_CONNECTION)->visible); });
    LeaveByCancel(IDC_CONNECTION_CANCEL);
    RunSetup();
    // Still listening when the user left: no arrival was taken for the printer.
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{ExitQuestion});
    EXPECT_EQ(record.CountOf("UnregisterDeviceNotification"), 1);
    EXPECT_TRUE(InOrder(record, {"box " + std::string(ExitQuestion), "UnregisterDeviceNotification", "end 108 2"}));
    EXPECT_EQ(record.CountOf("SetupCopyOEMInfA"), 0);
}

TEST_F(HostileInput, APackageWithoutItsPlugInFailsTheDriverStage)
{
    AddDriverPackage(machine.files, {"ESC_QRT_BILL.dll"});
    InstallOnLptOne();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unexpected error 0x002C occured."});
    EXPECT_TRUE(machine.spooler.queues.empty());
}

TEST_F(HostileInput, APackageWithoutTheStmFolderInstallsTheDriverAlone)
{
    AddDriverPackage(machine.files, {}, false);
    InstallOnLptOne();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kDriverOnly});
    EXPECT_EQ(machine.registry.Value(kRunKey, "CorvexQL70TILLMATE(ESCP)"), nullptr);
}

TEST_F(HostileInput, ExtraProgramsInThePackageAreStagedAndChangeNothingElse)
{
    AddPackage();
    machine.files.AddFile(machine.files.currentDirectory + "\\Helper.EXE", "helper");
    machine.files.AddFile(machine.files.currentDirectory + "\\other.exe", "other");
    InstallOnLptOne();
    EXPECT_TRUE(machine.files.FileExists(machine.spooler.driverDirectory + "\\Helper.EXE"));
    EXPECT_TRUE(machine.files.FileExists(machine.spooler.driverDirectory + "\\other.exe"));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
    EXPECT_EQ(machine.files.launched.size(), 1u);
}

TEST_F(HostileInput, AReadOnlyDriverDirectoryEndsSetupAtTheStaging)
{
    AddPackage();
    machine.files.MakeReadOnly(machine.spooler.driverDirectory);
    user.Click(IDOK);
    EXPECT_EQ(RunSetup(), 1);
    EXPECT_TRUE(exited);
    EXPECT_EQ(screen.Dialog(IDD_PRINTER_CONNECTION), nullptr);
    EXPECT_TRUE(machine.spooler.drivers.empty());
}

TEST_F(HostileInput, ARunKeyThatCannotBeOpenedLeavesNoValueAndNoMessage)
{
    AddPackage();
    machine.registry.DeleteKey(kRunKey);
    InstallOnLptOne();
    EXPECT_FALSE(machine.registry.KeyExists(kRunKey));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kModel + kWithMonitor});
    EXPECT_EQ(machine.files.launched.size(), 1u);
}

TEST_F(HostileInput, TwoThousandPortsFillTheListQuicklyAndTheLastOneInstalls)
{
    AddPackage();
    machine.spooler.ports.clear();
    for (int i = 0; i < 2000; ++i) machine.spooler.AddPort("NUL" + std::to_string(i) + ":", "Port number " + std::to_string(i));
    std::chrono::steady_clock::duration filling{};
    auto opened = std::chrono::steady_clock::now();
    user.Click(IDOK).Click(IDC_MANUAL);
    user.Then([&] {
        filling = std::chrono::steady_clock::now() - opened;
        SimWindow* list = screen.Control(IDD_PORT_SELECTION, IDC_PORT_LIST);
        ASSERT_EQ(list->items.size(), 2000u);
        EXPECT_EQ(list->items[1999].text, "NUL1999: (Port number 1999)");
        EXPECT_STREQ(reinterpret_cast<const char*>(list->items[1234].data), "NUL1234:");
    });
    user.ClickItem(IDC_PORT_LIST, 1999).Click(IDC_PORT_OK);
    user.Answer(IDOK);
    RunSetup();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(filling).count(), 1000);
    EXPECT_EQ(QueueNamed(kModel).portName, "NUL1999:");
}

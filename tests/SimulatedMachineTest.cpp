// The simulated machine answers as Windows does where the program relies on it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/sim/SimMachine.h"

TEST(SimulatedMachine, RegistryKeysAndValuesIgnoreCase)
{
    SimMachine machine;
    machine.registry.SetDword("HKLM\\SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28D78FAD}\\##?#USB#VID_F1C4", "Port Number", 7);
    HKEY key = nullptr;
    ASSERT_EQ(machine.registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "system\\currentcontrolset\\control\\deviceclasses\\{28d78fad}", 0,
                                    KEY_READ, &key),
              ERROR_SUCCESS);
    HKEY sub = nullptr;
    ASSERT_EQ(machine.registry.RegOpenKeyExA(key, "##?#usb#vid_f1c4", 0, KEY_READ, &sub), ERROR_SUCCESS);
    DWORD number = 0, size = 4, type = 0;
    EXPECT_EQ(machine.registry.RegQueryValueExA(sub, "PORT NUMBER", nullptr, &type, reinterpret_cast<LPBYTE>(&number), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(number, 7u);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(machine.registry.RegOpenKeyExA(key, "##?#USB#VID_0000", 0, KEY_READ, &sub), ERROR_FILE_NOT_FOUND);

    machine.registry.SetString("HKCU\\Software\\Shell Folders", "Programs", "D:\\Users\\Start Menu\\Programs");
    char small[4];
    size = sizeof small;
    HKEY folders = nullptr;
    machine.registry.RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Shell Folders", 0, KEY_ALL_ACCESS, &folders);
    EXPECT_EQ(machine.registry.RegQueryValueExA(folders, "Programs", nullptr, nullptr, reinterpret_cast<LPBYTE>(small), &size),
              ERROR_MORE_DATA);
}

TEST(SimulatedMachine, TheSpoolerAnswersWithTheRealErrorCodes)
{
    SimMachine machine;
    machine.files.AddFile(machine.spooler.driverDirectory + "\\MODEL.GPD");
    DRIVER_INFO_6A driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<LPSTR>("Model");
    driver.pDataFile = const_cast<LPSTR>("MODEL.GPD");
    driver.pDriverPath = const_cast<LPSTR>("unidrv.dll");
    driver.pConfigFile = const_cast<LPSTR>("unidrvui.dll");

    PRINTER_INFO_2A queue{};
    queue.pPrintProcessor = const_cast<LPSTR>("winprint");
    queue.pPrinterName = const_cast<LPSTR>("Model");
    queue.pPortName = const_cast<LPSTR>("LPT1:");
    queue.pDriverName = const_cast<LPSTR>("Model");
    auto add = [&] { return machine.spooler.AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&queue)); };

    EXPECT_EQ(add(), nullptr);
    EXPECT_EQ(machine.process.GetLastError(), DWORD(ERROR_UNKNOWN_PRINTER_DRIVER));
    ASSERT_TRUE(machine.spooler.AddPrinterDriverA(nullptr, 6, reinterpret_cast<LPBYTE>(&driver)));
    queue.pPortName = const_cast<LPSTR>("USB001");
    EXPECT_EQ(add(), nullptr);
    EXPECT_EQ(machine.process.GetLastError(), DWORD(ERROR_UNKNOWN_PORT));
    queue.pPortName = const_cast<LPSTR>("lpt1:");
    HANDLE printer = add();
    ASSERT_NE(printer, nullptr);
    EXPECT_TRUE(machine.spooler.ClosePrinter(printer));
    queue.pPrinterName = const_cast<LPSTR>("MODEL");
    EXPECT_EQ(add(), nullptr);
    EXPECT_EQ(machine.process.GetLastError(), DWORD(ERROR_PRINTER_ALREADY_EXISTS));

    driver.pDataFile = const_cast<LPSTR>("MISSING.GPD");
    EXPECT_FALSE(machine.spooler.AddPrinterDriverA(nullptr, 6, reinterpret_cast<LPBYTE>(&driver)));
}

TEST(SimulatedMachine, PortsAreEnumeratedInTwoCallsInTheSpoolersOrder)
{
    SimMachine machine;
    DWORD needed = 0, returned = 0;
    BYTE scratch[10];
    EXPECT_FALSE(machine.spooler.EnumPortsA(nullptr, 2, scratch, sizeof scratch, &needed, &returned));
    EXPECT_EQ(machine.process.GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(machine.spooler.EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &returned));
    ASSERT_EQ(returned, 3u);
    const PORT_INFO_2A* ports = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
    EXPECT_STREQ(ports[0].pPortName, "LPT1:");
    EXPECT_STREQ(ports[0].pDescription, "Printer Port");
    EXPECT_STREQ(ports[2].pPortName, "FILE:");

    machine.spooler.ports.clear();
    EXPECT_TRUE(machine.spooler.EnumPortsA(nullptr, 2, scratch, sizeof scratch, &needed, &returned));
    EXPECT_EQ(returned, 0u);
}

TEST(SimulatedMachine, AFaultCanHitOneCallOrEvery)
{
    SimMachine machine;
    machine.record.Fail("CreateDirectoryA", ERROR_ACCESS_DENIED, 2);
    EXPECT_TRUE(machine.files.CreateDirectoryA("C:\\One", nullptr));
    EXPECT_FALSE(machine.files.CreateDirectoryA("C:\\Two", nullptr));
    EXPECT_EQ(machine.process.GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(machine.files.CreateDirectoryA("C:\\Three", nullptr));
    EXPECT_FALSE(machine.files.CreateDirectoryA("C:\\Three", nullptr));
    EXPECT_EQ(machine.process.GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(machine.files.CreateDirectoryA("C:\\Missing\\Child", nullptr));
    EXPECT_EQ(machine.record.CallsOf("CreateDirectoryA").size(), 5u);
}

TEST(SimulatedMachine, TheShellCopiesWildcardsAndNamedFiles)
{
    SimMachine machine;
    machine.files.AddFile("C:\\Package\\A.gpd", "a");
    machine.files.AddFile("C:\\Package\\STM\\Monitor.exe", "m");
    SHFILEOPSTRUCTA copy{};
    copy.wFunc = FO_COPY;
    copy.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;
    copy.pFrom = "*.GPD\0*.HLP\0";
    copy.pTo = "C:\\Out\0";
    EXPECT_EQ(machine.files.SHFileOperationA(&copy), 0);
    EXPECT_EQ(machine.files.FileContent("C:\\OUT\\a.gpd"), "a");

    copy.pFrom = "STM\\Monitor.exe\0";
    EXPECT_EQ(machine.files.SHFileOperationA(&copy), 0);
    EXPECT_TRUE(machine.files.FileExists("C:\\Out\\Monitor.exe"));
    copy.pFrom = "STM\\Missing.exe\0";
    EXPECT_NE(machine.files.SHFileOperationA(&copy), 0);
}

TEST(SimulatedMachine, AnInfFileIsStoredOnce)
{
    SimMachine machine;
    machine.files.AddFile("C:\\Drivers\\X.INF", "[Version]");
    char stored[MAX_PATH];
    ASSERT_TRUE(machine.spooler.SetupCopyOEMInfA("C:\\Drivers\\X.INF", nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, stored, MAX_PATH,
                                         nullptr, nullptr));
    EXPECT_STREQ(stored, "C:\\Windows\\INF\\oem0.inf");
    EXPECT_FALSE(machine.spooler.SetupCopyOEMInfA("C:\\Drivers\\X.INF", nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, stored,
                                          MAX_PATH, nullptr, nullptr));
    EXPECT_EQ(machine.process.GetLastError(), DWORD(ERROR_FILE_EXISTS));
}

TEST(SimulatedMachine, TheShellLinkSavesWhatWasSetOnIt)
{
    SimMachine machine;
    machine.files.AddFolder("C:\\Menu");
    IShellLinkA* link = nullptr;
    EXPECT_NE(machine.files.CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                       reinterpret_cast<void**>(&link)),
              S_OK);
    machine.files.CoInitialize(nullptr);
    ASSERT_EQ(machine.files.CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                       reinterpret_cast<void**>(&link)),
              S_OK);
    IPersistFile* file = nullptr;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    link->SetPath("C:\\STM\\Monitor.exe");
    link->SetDescription("Monitor");
    WCHAR path[MAX_PATH];
    ASSERT_GT(machine.files.MultiByteToWideChar(CP_ACP, 0, "C:\\Menu\\Monitor.LNK", -1, path, MAX_PATH), 0);
    EXPECT_EQ(file->Save(path, TRUE), S_OK);
    file->Release();
    link->Release();
    EXPECT_EQ(machine.files.FileContent("C:\\Menu\\Monitor.lnk"),
              "target=C:\\STM\\Monitor.exe\ndescription=Monitor\nworkingDirectory=\narguments=\n");
    EXPECT_EQ(machine.record.CountOf("IShellLinkA::Release"), 1);
}

TEST(SimulatedMachine, CreatedKeysKeepValuesWithTheirExactByteCount)
{
    SimMachine machine;
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(machine.registry.RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Product", 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, 1u);  // created
    EXPECT_TRUE(machine.registry.KeyExists("HKLM\\software\\vendor"));
    const char text[] = "C:\\Uninstall.exe";
    EXPECT_EQ(machine.registry.RegSetValueExA(key, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                     sizeof text),
              ERROR_SUCCESS);
    EXPECT_EQ(machine.registry.RegCloseKey(key), ERROR_SUCCESS);
    const SimRegistryValue* value = machine.registry.Value("HKLM\\SOFTWARE\\Vendor\\Product", "uninstallstring");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->data.size(), sizeof text);
    EXPECT_EQ(value->data.back(), 0);

    machine.registry.RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\vendor\\product", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, &disposition);
    EXPECT_EQ(disposition, 2u);  // opened
}

TEST(SimulatedMachine, NamedMutexesAreSharedUntilTheLastHandleCloses)
{
    SimMachine machine;
    HANDLE first = machine.process.CreateMutexA(nullptr, FALSE, "Global\\Name");
    EXPECT_EQ(machine.process.GetLastError(), DWORD(ERROR_SUCCESS));
    HANDLE second = machine.process.CreateMutexA(nullptr, FALSE, "Global\\Name");
    EXPECT_EQ(machine.process.GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    machine.process.CloseHandle(first);
    EXPECT_TRUE(machine.process.MutexOpen("Global\\Name"));
    machine.process.CloseHandle(second);
    EXPECT_FALSE(machine.process.MutexOpen("Global\\Name"));
    EXPECT_FALSE(machine.process.CloseHandle(second));
}

TEST(SimulatedMachine, WideConversionReportsTheSizeItNeeds)
{
    SimMachine machine;
    EXPECT_EQ(machine.files.MultiByteToWideChar(CP_ACP, 0, "C:\\Caf\xe9", -1, nullptr, 0), 8);
    WCHAR small[4];
    EXPECT_EQ(machine.files.MultiByteToWideChar(CP_ACP, 0, "C:\\Caf\xe9", -1, small, 4), 0);
    EXPECT_EQ(machine.process.GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    WCHAR wide[8];
    ASSERT_EQ(machine.files.MultiByteToWideChar(CP_ACP, 0, "C:\\Caf\xe9", -1, wide, 8), 8);
    EXPECT_EQ(wide[6], char16_t(0xE9));
    EXPECT_EQ(wide[7], char16_t(0));
}

TEST(SimulatedMachine, CallCountsRefuseOperationsTheMachineDoesNotHave)
{
    SimMachine machine;
    EXPECT_THROW(machine.record.CountOf("AddPrinter"), std::logic_error);
    EXPECT_THROW(machine.record.Fail("RegOpenKey", ERROR_ACCESS_DENIED), std::logic_error);
    EXPECT_EQ(machine.record.CountOf("AddPrinterA"), 0);
}

TEST(SimulatedMachine, AnOrderCheckFailsWhenEitherEventIsMissing)
{
    SimMachine machine;
    machine.record.Log("first");
    machine.record.Log("second");
    EXPECT_EQ(machine.record.OrderProblem({"first", "second"}), "");
    EXPECT_NE(machine.record.OrderProblem({"second", "first"}), "");
    EXPECT_NE(machine.record.OrderProblem({"first", "third"}), "");
    EXPECT_NE(machine.record.OrderProblem({"third", "first"}), "");
}

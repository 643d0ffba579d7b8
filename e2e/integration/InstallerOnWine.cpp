// The installer's operations and RunInstallation on the real Win32 layer, in a
// Wine prefix, with our sample package staged first. It prints one line per
// check ("ok - ..." or "not ok - ...") and what it found; run_integration.py
// starts it and then reads the prefix's registry and files from disk.
//
// Wine's spooler does not tell an unknown port, an unknown driver or an
// existing queue apart as Windows does; those paths are tested on the
// simulated machine.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>
#include <vector>

#include "install/FileCopy.h"
#include "install/Installer.h"
#include "platform/win32/SystemLibraries.h"
#include "platform/win32/Win32Platform.h"
#include "profile/ModelProfile.h"

namespace {

int passed = 0;
int failed = 0;

void Check(const std::string& name, bool condition, const std::string& detail = "")
{
    if (condition) {
        ++passed;
        std::printf("ok - %s\n", name.c_str());
    } else {
        ++failed;
        std::printf("not ok - %s%s%s\n", name.c_str(), detail.empty() ? "" : ": ", detail.c_str());
    }
    std::fflush(stdout);
}

// The spooler's environment and driver folder of the system this build is for.
#ifdef _WIN64
const char kEnvironment[] = "Windows x64";
const char kVersionedFolder[] = "\\x64\\3\\";
#else
const char kEnvironment[] = "Windows NT x86";
const char kVersionedFolder[] = "\\w32x86\\3\\";
#endif

std::string Text(const char* text) { return text != nullptr ? text : "(null)"; }

std::string RegistryString(HKEY root, const char* key, const char* name)
{
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    HKEY open = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &open) != ERROR_SUCCESS) return "(no key)";
    LSTATUS read = RegQueryValueExA(open, name, nullptr, &type, reinterpret_cast<LPBYTE>(data), &size);
    RegCloseKey(open);
    if (read != ERROR_SUCCESS) return "(no value)";
    if (type != REG_SZ) return "(not a string)";
    // The stored bytes end with the string's own NUL.
    if (size == 0 || data[size - 1] != '\0') return "(not terminated)";
    return data;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The launched status monitor leaves "<program>.ran" beside itself; give it a
// bounded time to start.
bool WaitForFile(const std::string& path, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited <= timeoutMs; waited += 100) {
        if (Exists(path)) return true;
        Sleep(100);
    }
    return false;
}

void CheckQueue(const std::string& model)
{
    HANDLE printer = nullptr;
    bool opened = OpenPrinterA(const_cast<LPSTR>(model.c_str()), &printer, nullptr) != FALSE;
    Check("the queue can be opened", opened);
    if (!opened) return;
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (GetPrinterA(printer, 2, buffer.data(), needed, &needed)) {
        auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
        Check("the queue prints to LPT1:", Text(info->pPortName) == "LPT1:", Text(info->pPortName));
        Check("the queue has the model's driver", Text(info->pDriverName) == model, Text(info->pDriverName));
        Check("the queue's share name", Text(info->pShareName) == UpperId[ConfiguredModel], Text(info->pShareName));
        Check("the queue's attributes include 0x204", (info->Attributes & 0x204) == 0x204,
              std::to_string(info->Attributes));
        Check("the queue's priority", info->Priority == 1, std::to_string(info->Priority));
        Check("the queue's print processor", Text(info->pPrintProcessor) == "winprint", Text(info->pPrintProcessor));
    } else {
        Check("the queue's record can be read", false, std::to_string(GetLastError()));
    }

    GetPrinterDriverA(printer, const_cast<LPSTR>(kEnvironment), 3, nullptr, 0, &needed);
    std::vector<BYTE> driver(needed ? needed : 1);
    if (GetPrinterDriverA(printer, const_cast<LPSTR>(kEnvironment), 3, driver.data(), needed, &needed)) {
        auto* info = reinterpret_cast<DRIVER_INFO_3A*>(driver.data());
        std::string dataFile = Text(info->pDataFile);
        Check(std::string("the driver is registered under the environment ") + kEnvironment,
              Text(info->pEnvironment) == kEnvironment, Text(info->pEnvironment));
        Check("the driver's data file lies in the versioned driver folder",
              dataFile.find(std::string(kVersionedFolder) + "ESC_QRT_BILL.GPD") != std::string::npos &&
                  Exists(dataFile),
              dataFile);
        std::printf("driver data file: %s\n", dataFile.c_str());
    } else {
        Check("the driver of the queue can be read", false, std::to_string(GetLastError()));
    }
    ClosePrinter(printer);

    char name[512] = {};
    DWORD size = sizeof name;
    GetDefaultPrinterA(name, &size);
    Check("the queue is the default printer", model == name, name);
}

}  // namespace

int main()
{
    // As Setup.exe does before anything else.
    SystemLibraries::RestrictDllSearch(SystemLibraries::DllSearch::SystemDirectoryWherePossible);
    CWinApp app("InstallerOnWine");
    InstallPlatform(Win32Platform());
    const std::string model = ModelName[ConfiguredModel];
    const std::string monitor = ShortName[ConfiguredModel];

    // The sample package lies in the current folder, as setup finds it.
    CFileCopy staging;
    staging.StageDriverFiles();

    CInstaller operations;
    Check("QueryDriverDirectory finds the driver directory", operations.QueryDriverDirectory());
    std::string directory = operations.DriverDirectory ? operations.DriverDirectory.get() : "";
    std::printf("driver directory: %s\n", directory.c_str());
    Check("the staged package lies in the driver directory", Exists(directory + "\\ESC_QRT_BILL.GPD"));
    Check("InstallInfFile stores the INF file", operations.InstallInfFile());
    std::printf("stored as: %s\n", operations.InfDestinationName);
    bool again = operations.InstallInfFile();
    DWORD reason = GetLastError();
    Check("InstallInfFile answers yes again, through ERROR_FILE_EXISTS", again && reason == ERROR_FILE_EXISTS,
          std::to_string(reason));

    CInstaller installer;
    installer.PortName = "LPT1:";
    installer.RunInstallation();
    Check("the driver directory stage", installer.DirectoryOk);
    Check("the driver registration stage", installer.DriverOk);
    Check("the queue creation stage (with the data-type repeat under Wine)", installer.QueueOk);
    Check("the queue has the model's name", installer.PrinterName == model, installer.PrinterName);
    Check("the outcome names the status monitor",
          installer.OutcomeMessage == model + " Printer Driver & Status Monitor installed successfully.",
          installer.OutcomeMessage);
    std::printf("outcome: %s\n", installer.OutcomeMessage.c_str());

    CheckQueue(model);

    std::string stem = directory + "\\STM\\" + monitor;
    Check("the status monitor is copied into the STM folder", Exists(stem + ".exe"));
    Check("the Run value names it without .exe",
          RegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                         ("Corvex" + monitor).c_str()) == stem);
    std::string shortcut =
        "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Corvantis\\StatusMonitor" + monitor + ".LNK";
    Check("the shortcut is saved", Exists(shortcut), shortcut);
    Check("the launched status monitor ran", WaitForFile(stem + ".exe.ran", 20000), stem + ".exe.ran");
    const char* uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvantis";
    Check("the uninstall entry's name",
          RegistryString(HKEY_LOCAL_MACHINE, uninstall, "DisplayName") == "Corvantis Printer Software");
    Check("the uninstall entry's command",
          RegistryString(HKEY_LOCAL_MACHINE, uninstall, "UninstallString") == directory + "\\Uninstall.exe");
    Check("the uninstall entry's icon",
          RegistryString(HKEY_LOCAL_MACHINE, uninstall, "DisplayIcon") == directory + "\\Uninstall.exe");

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

#include "install/Installer.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "install/MultiString.h"
#include "profile/ModelProfile.h"
#include "profile/SetupTexts.h"

namespace {

// The Unidrv driver's files besides the data file, and the maker's plug-in.
const char kDependentFiles[] =
    "ESC_QRT_BILL.dll\0unidrvui.dll\0unidrv.dll\0unidrv.hlp\0unires.dll\0stdnames.gpd\0TTFSUB.gpd\0";

const char kSuccessWithMonitor[] = " Printer Driver & Status Monitor installed successfully.";
const char kSuccess[] = " Printer Driver installed successfully.";
const char kDriverError[] = "Unexpected error 0x002C occured.";
const char kQueueError[] = "Unexpected error 0x003C occured.";
const char kUnknownDriver[] = "Printer driver unknown.";

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvantis";
// Reached on NT 6.x through the system's compatibility junctions.
const char kAllUsersPrograms[] = ":\\Documents and Settings\\All Users\\Start Menu\\Programs";

// The status monitor's copy names it relative to setup's own folder in a
// buffer of this size, with room for the two NULs that end the list.
constexpr size_t kSourceBufferSize = 150;
// The "Programs" value is read into a buffer of this size.
constexpr DWORD kProgramsBufferSize = 91;

// The shell's documented link object and the interfaces asked of it. Named
// here rather than taken from the SDK's uuid library, whose one object would
// bring every GUID it knows into the program.
const GUID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kShellLinkInterface = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID kPersistFileInterface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const char* Model() { return ModelName[ConfiguredModel]; }

// Room for InfStoreErrorFormat with its eight hexadecimal digits.
constexpr size_t kInfStoreErrorSize = 160;

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

LPSTR Text(const char* text) { return const_cast<LPSTR>(text); }

}  // namespace

const char InfStoreErrorFormat[] =
    "The printer driver's information file could not be stored in the system's driver store (error 0x%08X).\n"
    "Nothing was installed.";

CInstaller::CInstaller() = default;

const MessageMap* CInstaller::GetMessageMap() const
{
    static const MessageMap map(CWnd::GetMessageMap());
    return &map;
}

// ---------------------------------------------------------------- the sequence

void CInstaller::RunInstallation()
{
    BeginWaitCursor();
    try {
        DirectoryOk = QueryDriverDirectory();
        if (DirectoryOk) DriverOk = RegisterDriver();
        if (DirectoryOk && DriverOk) QueueOk = CreatePrinterQueue();
        if (DirectoryOk && DriverOk && QueueOk) {
            // Only the queue that carries the model's own name gets the status monitor.
            bool monitor = PrinterName == Model() && DeployStatusMonitor();
            // Recorded at once: the success text depends on it whatever follows.
            m_statusMonitorDeployed = monitor;
            if (monitor) {
                AddRunValue();
                CreateStartMenuShortcut();
                LaunchStatusMonitor();
            }
            try {
                OutcomeMessage = PrinterName + (monitor ? kSuccessWithMonitor : kSuccess);
            } catch (const std::bad_alloc&) {
                // ReportOutcome composes it without the heap.
            }
            InstallInfFile();
            WriteUninstallEntry();
        }
    } catch (const std::bad_alloc&) {
        // What was created stays; the flags say how far it came.
    }
    EndWaitCursor();
}

void CInstaller::ReportOutcome()
{
    if (!DirectoryOk && InfStoreError != ERROR_SUCCESS) {
        // No installation ran: the store refused the INF file before it
        // (64-bit Windows refuses one without its catalog; on 32-bit Windows
        // the administrator may have declined an unsigned driver).
        char text[kInfStoreErrorSize];
        (void)std::snprintf(text, sizeof text, InfStoreErrorFormat, static_cast<unsigned>(InfStoreError));
        MessageBox(text, SetupCaption, MB_OK | MB_ICONERROR);
    } else if (!DirectoryOk)
        MessageBox(DriverDirectoryError, SetupCaption, MB_OK | MB_ICONERROR);
    else if (!DriverOk)
        MessageBox(kDriverError, SetupCaption, MB_OK | MB_ICONERROR);
    else if (!QueueOk)
        MessageBox(kQueueError, SetupCaption, MB_OK | MB_ICONERROR);
    else if (!OutcomeMessage.empty())
        MessageBox(OutcomeMessage.c_str(), SetupCaption, MB_OK | MB_ICONINFORMATION);
    else {
        // The success text could not be composed in memory: on the stack, then.
        char text[MAX_PATH + sizeof kSuccessWithMonitor];
        // A name too long for the buffer is cut: the box still appears.
        (void)std::snprintf(text, sizeof text, "%s%s", PrinterName.c_str(),
                            m_statusMonitorDeployed ? kSuccessWithMonitor : kSuccess);
        MessageBox(text, SetupCaption, MB_OK | MB_ICONINFORMATION);
    }
}

// ---------------------------------------------------------------- driver

bool CInstaller::QueryDriverDirectory() { return ::QueryDriverDirectory(DriverDirectory); }

bool CInstaller::RegisterDriver()
{
    DRIVER_INFO_6A driver{};
    driver.cVersion = 3;
    driver.pName = Text(Model());
    driver.pEnvironment = nullptr;
    driver.pDriverPath = Text("unidrv.dll");
    driver.pDataFile = Text(GpdFile[ConfiguredModel]);
    driver.pConfigFile = Text("unidrvui.dll");
    driver.pHelpFile = Text("unidrv.hlp");
    driver.pDependentFiles = Text(kDependentFiles);
    // 15 June 2009, 00:00:00; version 5.0.0.6.
    driver.ftDriverDate.dwHighDateTime = 0x01C9ED4C;
    driver.ftDriverDate.dwLowDateTime = 0x39D00000;
    driver.dwlDriverVersion = (static_cast<DWORDLONG>(0x00050000) << 32) | 6;
    driver.pszMfgName = Text(MakerName);
    driver.pszOEMUrl = Text(MakerWebAddress);
    driver.pszHardwareID = Text(HardwareId[ConfiguredModel]);
    driver.pszProvider = Text(MakerName);
    // Whatever the reason, the outcome report names the stage.
    return Spooler().AddPrinterDriverA(nullptr, 6, reinterpret_cast<LPBYTE>(&driver)) != FALSE;
}

bool CInstaller::InstallInfFile()
{
    if (!QueryDriverDirectory()) return false;
    // "<driver directory>\<INF file>" must fit its 260 characters, NUL included.
    size_t directory = std::strlen(DriverDirectory.get());
    size_t name = std::strlen(InfFile[ConfiguredModel]);
    if (directory + 1 + name + 1 > sizeof InfSourcePath) {
        InfStoreError = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    std::memcpy(InfSourcePath, DriverDirectory.get(), directory);
    InfSourcePath[directory] = '\\';
    std::memcpy(InfSourcePath + directory + 1, InfFile[ConfiguredModel], name + 1);

    if (Spooler().SetupCopyOEMInfA(InfSourcePath, nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, InfDestinationName,
                                   sizeof InfDestinationName, nullptr, nullptr))
        return true;
    // The same file is in the store already.
    DWORD error = Process().GetLastError();
    if (error == ERROR_FILE_EXISTS) return true;
    InfStoreError = error;
    return false;
}

// ---------------------------------------------------------------- queue

HANDLE CInstaller::AddQueue(PRINTER_INFO_2A& queue)
{
    HANDLE printer = Spooler().AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&queue));
    if (printer != nullptr || queue.pDatatype != nullptr || Process().GetLastError() != ERROR_INVALID_PARAMETER)
        return printer;
    // Wine's spooler refuses a record that names no data type, where Windows
    // takes the print processor's default. The same attempt once more with
    // winprint's own data type; the record itself stays as it was.
    queue.pDatatype = Text("RAW");
    printer = Spooler().AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&queue));
    queue.pDatatype = nullptr;
    return printer;
}

bool CInstaller::MakeDefault(HANDLE printer, const char* name)
{
    // Takes the name as it is, with nothing to allocate: the handle must be
    // closed and the queue counted as created whatever memory is left.
    Spooler().ClosePrinter(printer);
    Spooler().SetDefaultPrinterA(name);
    return true;  // the queue exists, whatever the default printer became
}

bool CInstaller::CreatePrinterQueue()
{
    try {
        PrinterName = Model();
    } catch (const std::bad_alloc&) {
        return false;  // no name to create the queue under
    }
    PRINTER_INFO_2A queue{};
    queue.pServerName = nullptr;
    queue.pPrinterName = &PrinterName[0];
    queue.pShareName = Text(UpperId[ConfiguredModel]);
    queue.pPortName = &PortName[0];
    queue.pDriverName = Text(Model());
    queue.pPrintProcessor = Text("winprint");
    queue.Attributes = PRINTER_ATTRIBUTE_DEFAULT | PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST;
    queue.Priority = 1;

    HANDLE printer = AddQueue(queue);
    DWORD error = printer != nullptr ? ERROR_SUCCESS : Process().GetLastError();
    // A port that the spooler does not know yet, such as a USB port whose
    // monitor is still being set up: wait for it, but not for ever.
    for (int waits = 0; printer == nullptr && error == ERROR_UNKNOWN_PORT && waits < kUnknownPortWaits; ++waits) {
        Process().Sleep(kUnknownPortWaitMs);
        printer = AddQueue(queue);
        error = printer != nullptr ? ERROR_SUCCESS : Process().GetLastError();
    }
    if (printer != nullptr) return MakeDefault(printer, Model());

    // The first free numbered name, rebuilt from the model's name each time.
    for (int n = 1; error == ERROR_PRINTER_ALREADY_EXISTS && n <= kLastCopyNumber; ++n) {
        try {
            PrinterName = std::string(Model()) + " (Copy " + std::to_string(n) + ")";
        } catch (const std::bad_alloc&) {
            return false;  // no queue was created under a name that could not be made
        }
        queue.pPrinterName = &PrinterName[0];
        printer = AddQueue(queue);
        if (printer != nullptr) return MakeDefault(printer, PrinterName.c_str());
        error = Process().GetLastError();
    }

    if (error == ERROR_UNKNOWN_PRINTER_DRIVER) MessageBox(kUnknownDriver, SetupCaption, MB_OK | MB_ICONERROR);
    return false;
}

// ---------------------------------------------------------------- status monitor

std::string CInstaller::StatusMonitorStem() const
{
    return std::string(DriverDirectory.get()) + "\\STM\\" + ShortName[ConfiguredModel];
}

bool CInstaller::DeployStatusMonitor()
{
    try {
        std::string folder = std::string(DriverDirectory.get()) + "\\STM\\";
        WCHAR wideFolder[MAX_PATH] = {};
        if (ShellApi().MultiByteToWideChar(CP_THREAD_ACP, 0, folder.c_str(), -1, wideFolder, MAX_PATH) == 0)
            return false;
        // The folder, with any parent that is missing.
        int created = ShellApi().SHCreateDirectory(nullptr, wideFolder);
        if (created != static_cast<int>(ERROR_SUCCESS) && created != static_cast<int>(ERROR_ALREADY_EXISTS))
            return false;

        // "STM\<ShortName>.exe" in a zero-filled buffer, so that the NULs after
        // it end the list. Every short name of the model table is far below
        // the 140 characters that leave room for them.
        std::unique_ptr<char[]> source(new char[kSourceBufferSize]());
        // Written short of the buffer's last byte: its NUL and the one before
        // it end the list, whatever the name.
        (void)std::snprintf(source.get(), kSourceBufferSize - 1, "STM\\%s.exe", ShortName[ConfiguredModel]);
        std::vector<char> destination = MultiString({folder});

        SHFILEOPSTRUCTA request{};
        request.hwnd = nullptr;
        request.wFunc = FO_COPY;
        request.pFrom = source.get();
        request.pTo = destination.data();
        request.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;

        // The installation's wait cursor shows for the whole copy.
        int result = ShellApi().SHFileOperationA(&request);
        // A copy that the system stopped (it may, silently, without its error
        // window) answers 0 with the aborted flag: the status monitor is not there.
        return result == 0 && !request.fAnyOperationsAborted;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void CInstaller::AddRunValue()
{
    try {
        std::string data = StatusMonitorStem();
        std::string name = std::string("Corvex") + ShortName[ConfiguredModel];
        HKEY run = nullptr;
        if (Registry().RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run) != ERROR_SUCCESS) return;
        Registry().RegSetValueExA(run, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                  static_cast<DWORD>(data.size() + 1));
        Registry().RegCloseKey(run);
    } catch (const std::bad_alloc&) {
    }
}

char CInstaller::SystemDriveLetter()
{
    char windows[MAX_PATH] = {};
    UINT length = Process().GetWindowsDirectoryA(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH && IsDriveLetter(windows[0])) return windows[0];
    return 'C';
}

void CInstaller::CreateStartMenuShortcut()
{
    try {
        ShellApi().CoInitialize(nullptr);
        std::string description = Model();
        description.insert(0, "Shortcut to Status Monitor - ");

        // Only the drive letter is taken from the "Programs" value, and only
        // from a string that the registry gave in full.
        char programs[kProgramsBufferSize] = {};
        char drive = 0;
        HKEY folders = nullptr;
        if (Registry().RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_ALL_ACCESS, &folders) ==
            ERROR_SUCCESS) {
            DWORD type = REG_NONE;
            DWORD size = sizeof programs;
            LSTATUS read = Registry().RegQueryValueExA(folders, "Programs", nullptr, &type,
                                                       reinterpret_cast<LPBYTE>(programs), &size);
            if (read == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && size >= 1 &&
                IsDriveLetter(programs[0]))
                drive = programs[0];
            Registry().RegCloseKey(folders);
        }
        if (drive == 0) drive = SystemDriveLetter();

        std::string group = std::string(1, drive) + kAllUsersPrograms + "\\Corvantis";
        ShellApi().CreateDirectoryA(group.c_str(), nullptr);
        std::string path = group + "\\StatusMonitor" + ShortName[ConfiguredModel] + ".LNK";
        std::string target = StatusMonitorStem() + ".exe";
        // A target that does not fit the system's limit makes no shortcut,
        // silently. The link's own path and its description are built from
        // the model table's names, which are all short, and always fit.
        if (target.size() + 1 > MAX_PATH) return;

        IShellLinkA* link = nullptr;
        if (FAILED(ShellApi().CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkInterface,
                                               reinterpret_cast<void**>(&link))) ||
            link == nullptr)
            return;
        IPersistFile* file = nullptr;
        if (FAILED(link->QueryInterface(kPersistFileInterface, reinterpret_cast<void**>(&file))) || file == nullptr) {
            link->Release();
            return;
        }
        link->SetPath(target.c_str());
        link->SetDescription(description.c_str());
        WCHAR widePath[MAX_PATH] = {};
        if (ShellApi().MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH) != 0)
            file->Save(widePath, TRUE);
        file->Release();
        link->Release();
    } catch (const std::bad_alloc&) {
    }
}

void CInstaller::LaunchStatusMonitor()
{
    // Composed on the stack: the launch is the one step here without an
    // answer, and nothing after it may be skipped for want of memory.
    char program[MAX_PATH];
    // A path the system cannot take is not launched.
    if (std::snprintf(program, sizeof program, "%s\\STM\\%s.exe", DriverDirectory.get(), ShortName[ConfiguredModel]) >=
        static_cast<int>(sizeof program))
        return;
    ShellApi().ShellExecuteA(nullptr, "open", program, nullptr, nullptr, SW_MINIMIZE);
}

// ---------------------------------------------------------------- uninstall entry

bool CInstaller::WriteUninstallEntry()
{
    // On the stack, so that no want of memory can keep the entry from being
    // written. A folder's path is shorter than MAX_PATH: the folder and
    // "\Uninstall.exe" always fit.
    char uninstaller[MAX_PATH + sizeof "\\Uninstall.exe"];
    (void)std::snprintf(uninstaller, sizeof uninstaller, "%s\\Uninstall.exe", DriverDirectory.get());
    DWORD bytes = static_cast<DWORD>(std::strlen(uninstaller) + 1);
    const BYTE* path = reinterpret_cast<const BYTE*>(uninstaller);
    const char displayName[] = "Corvantis Printer Software";

    HKEY entry = nullptr;
    if (Registry().RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_ALL_ACCESS, nullptr, &entry, nullptr) != ERROR_SUCCESS)
        return false;
    bool written = Registry().RegSetValueExA(entry, "DisplayName", 0, REG_SZ,
                                             reinterpret_cast<const BYTE*>(displayName),
                                             sizeof displayName) == ERROR_SUCCESS;
    if (written) written = Registry().RegSetValueExA(entry, "UninstallString", 0, REG_SZ, path, bytes) == ERROR_SUCCESS;
    Registry().RegSetValueExA(entry, "DisplayIcon", 0, REG_SZ, path, bytes);
    Registry().RegCloseKey(entry);
    return written;
}

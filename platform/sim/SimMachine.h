// A simulated Windows machine for the native tests.
//
// It is a small, faithful model of the behaviour the program relies on, not a
// mock: a test sets up a machine (files, registry, spooler ports and queues,
// version, rights), runs the program against it, and then looks at the
// machine's state and at what the user saw. Every operation is recorded with
// its arguments and can be made to fail with a chosen error, always or at its
// n-th call. Time is a clock that Sleep advances: tests never really sleep.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/sim/SimWindows.h"

// Thrown by the simulated process exit; the test that runs the program
// catches it and sees the exit code.
struct SimProcessExit {
    int code;
};

struct SimCall {
    std::string operation;
    std::string arguments;
};

struct SimPort {
    std::string name;
    std::string monitor;
    std::string description;
};

struct SimDriver {
    std::string name;
    DWORD version = 0;
    std::string driverPath, dataFile, configFile, helpFile;
    std::vector<std::string> dependentFiles;
    std::string manufacturer, oemUrl, hardwareId, provider;
    FILETIME date{};
    DWORDLONG driverVersion = 0;
};

struct SimQueue {
    std::string name, shareName, portName, driverName, printProcessor;
    bool datatypeGiven = false;
    DWORD attributes = 0, priority = 0;
};

struct SimRegistryValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

class SimMachine : public ISpooler, public ISystem {
public:
    SimMachine();
    ~SimMachine() override;
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    // The spooler, system and window services of this machine.
    PlatformServices Services();

    // ---- the machine's set-up and state
    DWORD majorVersion = 6;
    DWORD minorVersion = 1;
    bool administrator = true;
    std::string currentDirectory = "C:\\Package";
    std::string modulePath = "C:\\Package\\Setup.exe";
    std::string driverDirectory = "C:\\Windows\\system32\\spool\\DRIVERS\\x64";
    uint64_t clock = 0;  // milliseconds since the program started
    std::string standardOutput;
    SimWindows windows;

    // Files and folders; paths compare without regard to case.
    void AddFile(const std::string& path, const std::string& content = "");
    void AddFolder(const std::string& path);
    bool FileExists(const std::string& path) const;
    bool FolderExists(const std::string& path) const;
    std::string FileContent(const std::string& path) const;
    std::vector<std::string> FilesIn(const std::string& folder) const;  // file names, sorted

    // Registry; key paths start with "HKLM\" or "HKCU\".
    void SetValue(const std::string& key, const std::string& name, DWORD type, const std::vector<BYTE>& data);
    void SetString(const std::string& key, const std::string& name, const std::string& text);
    void SetDword(const std::string& key, const std::string& name, DWORD number);
    void AddKey(const std::string& key);
    bool KeyExists(const std::string& key) const;
    const SimRegistryValue* Value(const std::string& key, const std::string& name) const;

    // Spooler
    std::vector<SimPort> ports;
    std::vector<SimDriver> drivers;
    std::vector<SimQueue> queues;
    std::string defaultPrinter;
    std::vector<std::string> infStore;  // stored names, oem0.inf, ...
    void AddPort(const std::string& name, const std::string& description = "Local Port");
    const SimQueue* Queue(const std::string& name) const;

    // Another process holds this named mutex.
    void HoldMutexElsewhere(const std::string& name);
    bool MutexOpen(const std::string& name) const;

    // Programs started through the shell.
    std::vector<std::string> launched;
    bool comInitialised = false;

    // ---- faults and the call record
    // Makes `operation` fail with `error`: at its n-th call (counted from 1)
    // or, with n = 0, at every call.
    void Fail(const std::string& operation, DWORD error, int nth = 0);
    std::vector<SimCall> calls;
    std::vector<SimCall> CallsOf(const std::string& operation) const;
    int CountOf(const std::string& operation) const;

    // ---- ISpooler
    BOOL GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                    DWORD cbBuf, LPDWORD pcbNeeded) override;
    BOOL AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo) override;
    HANDLE AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) override;
    BOOL ClosePrinter(HANDLE hPrinter) override;
    BOOL SetDefaultPrinterA(LPCSTR pszPrinter) override;
    BOOL EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPort, DWORD cbBuf, LPDWORD pcbNeeded,
                    LPDWORD pcReturned) override;
    BOOL SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                          DWORD CopyStyle, PSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                          PDWORD RequiredSize, PSTR* DestinationInfFileNameComponent) override;
    HDEVNOTIFY RegisterDeviceNotificationA(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags) override;
    BOOL UnregisterDeviceNotification(HDEVNOTIFY Handle) override;

    // ---- ISystem
    LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) override;
    LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) override;
    LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) override;
    LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) override;
    LSTATUS RegCloseKey(HKEY hKey) override;
    int SHFileOperationA(SHFILEOPSTRUCTA* lpFileOp) override;
    int SHCreateDirectory(HWND hwnd, PCWSTR pszPath) override;
    BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) override;
    HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                            LPCSTR lpDirectory, INT nShowCmd) override;
    BOOL IsUserAnAdmin() override;
    HRESULT CoInitialize(LPVOID pvReserved) override;
    HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                             LPVOID* ppv) override;
    int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                            LPWSTR lpWideCharStr, int cchWideChar) override;
    HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName) override;
    DWORD GetLastError() override;
    BOOL CloseHandle(HANDLE hObject) override;
    BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation) override;
    void InitCommonControls() override;
    void Sleep(DWORD dwMilliseconds) override;
    [[noreturn]] void Exit(int exitCode) override;
    void WriteStdout(const char* text) override;

    // Used by the simulated windows and the shell link.
    void Record(const std::string& operation, const std::string& arguments);
    // The error that an injected fault gives this call of `operation`, or 0.
    DWORD Fault(const std::string& operation);
    void SetLastError(DWORD error) { lastError = error; }
    std::string Absolute(const std::string& path) const;
    bool CopyFile(const std::string& from, const std::string& to);
    void WriteFile(const std::string& path, const std::string& content);

private:
    struct File {
        std::string path;
        std::string content;
    };
    struct Key {
        std::string path;
        std::map<std::string, SimRegistryValue> values;  // by lower-case name
    };
    struct FaultRule {
        std::string operation;
        DWORD error;
        int nth;
    };
    enum class HandleKind { Mutex, Printer, Key, Notification };
    struct HandleEntry {
        HandleKind kind;
        std::string name;
    };

    HANDLE NewHandle(HandleKind kind, const std::string& name);
    const HandleEntry* HandleOf(HANDLE handle, HandleKind kind) const;
    std::string KeyPath(HKEY root, const char* subKey) const;
    int CopyMatches(const std::string& source, const std::string& destinationFolder);

    std::map<std::string, File> m_files;  // by lower-case path
    std::set<std::string> m_folders;      // lower-case paths
    std::map<std::string, Key> m_keys;    // by lower-case path
    std::map<std::string, int> m_mutexes;  // name -> open handles
    std::map<uintptr_t, HandleEntry> m_handles;
    uintptr_t m_nextHandle = 0x1000;
    std::vector<FaultRule> m_faults;
    std::map<std::string, int> m_callCounts;
    DWORD lastError = 0;
};

std::string Lower(const std::string& text);

// The registry, shell and process operations of the running Windows: each
// passes its record to the system call and returns what the system said.
#include <cstdio>
#include <cstdlib>
#include <mbstring.h>

#include "platform/win32/SystemLibraries.h"
#include "platform/win32/Win32Platform.h"

namespace {

class Win32Registry : public IRegistry {
public:
    LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) override
    {
        return ::RegOpenKeyExA(hKey, lpSubKey, ulOptions, samDesired, phkResult);
    }

    LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) override
    {
        return ::RegCreateKeyExA(hKey, lpSubKey, Reserved, lpClass, dwOptions, samDesired, lpSecurityAttributes,
                                 phkResult, lpdwDisposition);
    }

    LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) override
    {
        return ::RegQueryValueExA(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
    }

    LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) override
    {
        return ::RegSetValueExA(hKey, lpValueName, Reserved, dwType, lpData, cbData);
    }

    LSTATUS RegCloseKey(HKEY hKey) override { return ::RegCloseKey(hKey); }
};

class Win32Shell : public IShell {
public:
    int SHFileOperationA(SHFILEOPSTRUCTA* lpFileOp) override { return ::SHFileOperationA(lpFileOp); }
    DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) override
    {
        return ::GetCurrentDirectoryA(nBufferLength, lpBuffer);
    }
    DWORD GetFileAttributesA(LPCSTR lpFileName) override { return ::GetFileAttributesA(lpFileName); }

    int SHCreateDirectory(HWND hwnd, PCWSTR pszPath) override
    {
        auto fn = SystemLibraries::Function<int(WINAPI*)(HWND, PCWSTR)>(SystemFunction::SHCreateDirectory);
        return fn ? fn(hwnd, pszPath) : ERROR_PROC_NOT_FOUND;
    }

    BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) override
    {
        return ::CreateDirectoryA(lpPathName, lpSecurityAttributes);
    }

    HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                            LPCSTR lpDirectory, INT nShowCmd) override
    {
        return ::ShellExecuteA(hwnd, lpOperation, lpFile, lpParameters, lpDirectory, nShowCmd);
    }

    HRESULT CoInitialize(LPVOID pvReserved) override { return ::CoInitialize(pvReserved); }

    HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                             LPVOID* ppv) override
    {
        return ::CoCreateInstance(rclsid, pUnkOuter, dwClsContext, riid, ppv);
    }

    int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                            LPWSTR lpWideCharStr, int cchWideChar) override
    {
        return ::MultiByteToWideChar(CodePage, dwFlags, lpMultiByteStr, cbMultiByte, lpWideCharStr, cchWideChar);
    }
};

class Win32Process : public IProcess {
public:
    HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName) override
    {
        return ::CreateMutexA(lpMutexAttributes, bInitialOwner, lpName);
    }

    DWORD GetLastError() override { return ::GetLastError(); }
    BOOL CloseHandle(HANDLE hObject) override { return ::CloseHandle(hObject); }
    BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation) override { return ::GetVersionExA(lpVersionInformation); }
    UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) override { return ::GetWindowsDirectoryA(lpBuffer, uSize); }

    HANDLE GetCurrentProcess() override { return ::GetCurrentProcess(); }
    BOOL IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) override { return ::IsWow64Process(hProcess, Wow64Process); }
    BOOL IsWow64Process2(HANDLE hProcess, USHORT* pProcessMachine, USHORT* pNativeMachine) override
    {
        auto fn = SystemLibraries::Function<BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*)>(SystemFunction::IsWow64Process2);
        if (fn != nullptr) return fn(hProcess, pProcessMachine, pNativeMachine);
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }

    BOOL IsUserAnAdmin() override
    {
        auto fn = SystemLibraries::Function<BOOL(WINAPI*)()>(SystemFunction::IsUserAnAdmin);
        return fn ? fn() : FALSE;
    }

    void InitCommonControls() override
    {
        auto fn = SystemLibraries::Function<void(WINAPI*)()>(SystemFunction::InitCommonControls);
        if (fn != nullptr) fn();
    }

    // The run time's multibyte code page is the system's ANSI code page
    // from start-up on.
    int _mbsicmp(const unsigned char* string1, const unsigned char* string2) override
    {
        return ::_mbsicmp(string1, string2);
    }

    void Sleep(DWORD dwMilliseconds) override { ::Sleep(dwMilliseconds); }
    [[noreturn]] void Exit(int exitCode) override { std::exit(exitCode); }

    void WriteStdout(const char* text) override
    {
        // A GUI program's standard output is often not there at all; its
        // failure changes nothing the setup does.
        std::fputs(text, stdout);  // NOLINT(cert-err33-c): see above
        std::fflush(stdout);       // NOLINT(cert-err33-c): see above
    }
};

}  // namespace

IRegistry& Win32Registry()
{
    static class Win32Registry registry;
    return registry;
}

IShell& Win32Shell()
{
    static class Win32Shell shell;
    return shell;
}

IProcess& Win32Process()
{
    static class Win32Process process;
    return process;
}

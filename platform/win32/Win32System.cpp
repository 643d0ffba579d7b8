#include <cstdio>
#include <cstdlib>

#include "platform/win32/SystemLibraries.h"
#include "platform/win32/Win32Platform.h"

namespace {

template <class Fn>
Fn Take(const char* dll, WORD ordinal)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemLibraries::Function(dll, ordinal)));
}

class Win32System : public ISystem {
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

    int SHFileOperationA(SHFILEOPSTRUCTA* lpFileOp) override { return ::SHFileOperationA(lpFileOp); }

    int SHCreateDirectory(HWND hwnd, PCWSTR pszPath) override
    {
        auto fn = Take<int(WINAPI*)(HWND, PCWSTR)>("shell32.dll", 165);
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

    BOOL IsUserAnAdmin() override
    {
        auto fn = Take<BOOL(WINAPI*)()>("shell32.dll", 680);
        return fn ? fn() : FALSE;
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

    HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName) override
    {
        return ::CreateMutexA(lpMutexAttributes, bInitialOwner, lpName);
    }

    DWORD GetLastError() override { return ::GetLastError(); }
    BOOL CloseHandle(HANDLE hObject) override { return ::CloseHandle(hObject); }
    BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation) override { return ::GetVersionExA(lpVersionInformation); }

    void InitCommonControls() override
    {
        auto fn = Take<void(WINAPI*)()>("comctl32.dll", 17);
        if (fn != nullptr) fn();
    }

    void Sleep(DWORD dwMilliseconds) override { ::Sleep(dwMilliseconds); }
    [[noreturn]] void Exit(int exitCode) override { std::exit(exitCode); }

    void WriteStdout(const char* text) override
    {
        std::fputs(text, stdout);
        std::fflush(stdout);
    }
};

}  // namespace

ISystem& Win32System()
{
    static class Win32System system;
    return system;
}

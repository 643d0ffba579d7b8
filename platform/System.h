// The registry, shell and process operations that the setup logic calls, in
// the platform's own terms: same names, same records, same answers.
#pragma once
#include "platform/Records.h"

class ISystem {
public:
    virtual ~ISystem() = default;

    // Registry
    virtual LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                  PHKEY phkResult) = 0;
    virtual LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                                    DWORD dwOptions, REGSAM samDesired,
                                    LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                    LPDWORD lpdwDisposition) = 0;
    virtual LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                     LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) = 0;
    virtual LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                   const BYTE* lpData, DWORD cbData) = 0;
    virtual LSTATUS RegCloseKey(HKEY hKey) = 0;

    // Shell
    virtual int SHFileOperationA(SHFILEOPSTRUCTA* lpFileOp) = 0;
    virtual int SHCreateDirectory(HWND hwnd, PCWSTR pszPath) = 0;
    virtual BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) = 0;
    virtual HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile,
                                    LPCSTR lpParameters, LPCSTR lpDirectory, INT nShowCmd) = 0;
    virtual BOOL IsUserAnAdmin() = 0;
    virtual HRESULT CoInitialize(LPVOID pvReserved) = 0;
    virtual HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext,
                                     REFIID riid, LPVOID* ppv) = 0;
    virtual int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                                    int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar) = 0;

    // Process and user interface
    virtual HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                                LPCSTR lpName) = 0;
    virtual DWORD GetLastError() = 0;
    virtual BOOL CloseHandle(HANDLE hObject) = 0;
    virtual BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation) = 0;
    virtual void InitCommonControls() = 0;
    virtual void Sleep(DWORD dwMilliseconds) = 0;
    // Ends the process through the run time's normal exit: static objects are
    // destroyed, nothing is shown. Does not return.
    [[noreturn]] virtual void Exit(int exitCode) = 0;
    // A diagnostic line on the standard output.
    virtual void WriteStdout(const char* text) = 0;
};

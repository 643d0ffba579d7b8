// The shell operations that the setup logic calls: file copying, the current
// folder and what lies there, folders, launching a program, the shell-link
// object with COM, and the conversion of a path for it.
#pragma once
#include "platform/Records.h"

class IShell {
public:
    virtual ~IShell() = default;

    virtual int SHFileOperationA(SHFILEOPSTRUCTA* lpFileOp) = 0;
    // The folder that relative paths, and the copy's patterns, start from.
    virtual DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) = 0;
    virtual DWORD GetFileAttributesA(LPCSTR lpFileName) = 0;
    virtual int SHCreateDirectory(HWND hwnd, PCWSTR pszPath) = 0;
    virtual BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) = 0;
    virtual HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile,
                                    LPCSTR lpParameters, LPCSTR lpDirectory, INT nShowCmd) = 0;
    virtual HRESULT CoInitialize(LPVOID pvReserved) = 0;
    virtual HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext,
                                     REFIID riid, LPVOID* ppv) = 0;
    virtual int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                                    int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar) = 0;
};

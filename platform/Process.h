// The process services that the setup logic calls: the named mutex, the
// system version and the user's rights, the last error, sleeping, the exit,
// and the standard output.
#pragma once
#include "platform/Records.h"

class IProcess {
public:
    virtual ~IProcess() = default;

    virtual HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                                LPCSTR lpName) = 0;
    // The reason of the last failed call of any operation set.
    virtual DWORD GetLastError() = 0;
    virtual BOOL CloseHandle(HANDLE hObject) = 0;
    virtual BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation) = 0;
    // The system's own folder ("C:\Windows"): its drive is the system drive.
    virtual UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) = 0;
    // A 32-bit process on 64-bit Windows runs under WOW64.
    virtual HANDLE GetCurrentProcess() = 0;
    virtual BOOL IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) = 0;
    // The process's own machine (IMAGE_FILE_MACHINE_UNKNOWN when it does not
    // run under WOW64) and the machine Windows runs on. Windows 10 from 1511
    // on; elsewhere it fails with ERROR_PROC_NOT_FOUND.
    virtual BOOL IsWow64Process2(HANDLE hProcess, USHORT* pProcessMachine, USHORT* pNativeMachine) = 0;
    // The shell's test (IsUserAnAdmin): does the process run with administrator rights?
    virtual BOOL IsUserAnAdmin() = 0;
    virtual void InitCommonControls() = 0;
    // The run time's comparison of two multibyte texts in the ANSI code page
    // without regard to letter case: a double-byte character is compared
    // whole, and no character is skipped. Answers 0 when they are equal.
    virtual int _mbsicmp(const unsigned char* string1, const unsigned char* string2) = 0;
    virtual void Sleep(DWORD dwMilliseconds) = 0;
    // Ends the process through the run time's normal exit: static objects are
    // destroyed, nothing is shown. Does not return.
    [[noreturn]] virtual void Exit(int exitCode) = 0;
    // A diagnostic line on the standard output.
    virtual void WriteStdout(const char* text) = 0;
};

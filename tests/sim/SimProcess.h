// The simulated process: named mutexes, the system version, the user's
// rights, the last error, sleeping on the machine's clock, the exit, and the
// standard output.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "tests/sim/SimCallRecord.h"

// Thrown by the simulated process exit; the test that runs the program
// catches it and sees the exit code.
struct SimProcessExit {
    int code;
};

class SimProcess : public IProcess {
public:
    // What the run time's comparisons answer when they cannot compare.
    static constexpr int kNlsCompareError = 0x7FFFFFFF;  // _NLSCMPERROR

    explicit SimProcess(SimCallRecord& record) : m_record(record) {}

    DWORD majorVersion = 6;
    DWORD minorVersion = 1;
    bool administrator = true;
    // The processor that Windows itself runs on: IMAGE_FILE_MACHINE_AMD64 for
    // 64-bit Windows on x64, IMAGE_FILE_MACHINE_I386 for 32-bit Windows,
    // IMAGE_FILE_MACHINE_ARM64 for Windows on ARM.
    WORD nativeMachine = IMAGE_FILE_MACHINE_AMD64;
    bool SixtyFourBitWindows() const { return nativeMachine != IMAGE_FILE_MACHINE_I386; }
    // The machine the program was built for: the x64 Setup.exe's, or the x86
    // one's (IMAGE_FILE_MACHINE_I386).
    WORD programMachine = IMAGE_FILE_MACHINE_AMD64;
    // A 32-bit program on 64-bit Windows, x64 or ARM64, runs under WOW64; an
    // x64 one on ARM64 is emulated, which is no WOW64.
    bool UnderWow64() const { return programMachine == IMAGE_FILE_MACHINE_I386 && SixtyFourBitWindows(); }
    // Windows 10 from 1511 on has IsWow64Process2; Vista, 7, 8 and 8.1 lack it.
    bool hasIsWow64Process2 = true;
    std::string modulePath = "C:\\Package\\Setup.exe";
    std::string windowsDirectory = "C:\\Windows";
    // The ANSI code page: 1252; 932, whose double-byte characters have
    // trail bytes that look like ASCII letters (the machine compares texts
    // in 932, and converts the part of it that SimText knows); or 65001, as
    // Windows 10 and 11 have it with "Use Unicode UTF-8 for worldwide
    // language support", where CP_ACP converts as CP_UTF8 does.
    UINT ansiCodePage = 1252;
    // The ANSI code page of the thread's locale (CP_THREAD_ACP); 65001
    // converts as CP_UTF8 there too.
    UINT threadCodePage = 1252;
    std::string standardOutput;
    // The process has ended through Exit: the system has taken back its
    // handles and destroyed its windows.
    bool exited = false;
    // Other programs running now, by the path they were started from.
    std::vector<std::string> running;

    // Another process holds this named mutex.
    void HoldMutexElsewhere(const std::string& name);
    bool MutexOpen(const std::string& name) const;
    // Handles that this process has open.
    int OpenHandles() const { return static_cast<int>(m_handles.size()); }
    std::vector<uintptr_t> HandleValues() const;

    // The machine restarts: every process ends, with its handles, and the
    // named mutexes are gone.
    void Restart();

    // What the other parts of the machine leave for GetLastError.
    void SetLastError(DWORD error) { m_lastError = error; }

    HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName) override;
    DWORD GetLastError() override;
    BOOL CloseHandle(HANDLE hObject) override;
    BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation) override;
    UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) override;
    BOOL IsUserAnAdmin() override;
    HANDLE GetCurrentProcess() override;
    BOOL IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) override;
    BOOL IsWow64Process2(HANDLE hProcess, USHORT* pProcessMachine, USHORT* pNativeMachine) override;
    void InitCommonControls() override;
    int _mbsicmp(const unsigned char* string1, const unsigned char* string2) override;
    void Sleep(DWORD dwMilliseconds) override;
    [[noreturn]] void Exit(int exitCode) override;
    void WriteStdout(const char* text) override;

private:
    SimCallRecord& m_record;
    DWORD m_lastError = 0;
    std::map<std::string, int> m_mutexes;  // name -> open handles
    std::map<uintptr_t, std::string> m_handles;
    uintptr_t m_nextHandle = 0x1000;
};

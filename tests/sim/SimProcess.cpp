#include "tests/sim/SimProcess.h"

#include <algorithm>
#include <cstring>

#include "tests/sim/SimCode.h"
#include "tests/sim/SimText.h"

void SimProcess::HoldMutexElsewhere(const std::string& name) { ++m_mutexes[name]; }

std::vector<uintptr_t> SimProcess::HandleValues() const
{
    std::vector<uintptr_t> handles;
    for (const auto& [handle, name] : m_handles) handles.push_back(handle);
    return handles;
}

void SimProcess::Restart()
{
    m_handles.clear();
    m_mutexes.clear();
    running.clear();
    exited = false;
    m_lastError = 0;
}

bool SimProcess::MutexOpen(const std::string& name) const
{
    auto found = m_mutexes.find(name);
    return found != m_mutexes.end() && found->second > 0;
}

HANDLE SimProcess::CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.Enter("CreateMutexA", std::to_string(bInitialOwner) + ", " + Quoted(lpName)))
        return SetLastError(error), nullptr;
    std::string name = lpName != nullptr ? lpName : "";
    bool existed = MutexOpen(name);
    ++m_mutexes[name];
    // Success, with ERROR_ALREADY_EXISTS when the name was taken already.
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    uintptr_t handle = m_nextHandle;
    m_nextHandle += 4;
    m_handles[handle] = name;
    return reinterpret_cast<HANDLE>(handle);
}

DWORD SimProcess::GetLastError()
{
    sim::SimCode inSimulator;
    m_record.Note("GetLastError", "");
    return m_lastError;
}

HANDLE SimProcess::GetCurrentProcess()
{
    sim::SimCode inSimulator;
    m_record.Note("GetCurrentProcess", "");
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

BOOL SimProcess::CloseHandle(HANDLE hObject)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.EnterRelease("CloseHandle", "", hObject)) return SetLastError(error), FALSE;
    auto found = m_handles.find(reinterpret_cast<uintptr_t>(hObject));
    if (found == m_handles.end()) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    --m_mutexes[found->second];
    m_handles.erase(found);
    return TRUE;
}

BOOL SimProcess::GetVersionExA(OSVERSIONINFOA* lpVersionInformation)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.Enter("GetVersionExA", std::to_string(lpVersionInformation->dwOSVersionInfoSize)))
        return SetLastError(error), FALSE;
    // The record, or the extended one whose head it is; any other size is refused.
    DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA))
        return SetLastError(ERROR_INSUFFICIENT_BUFFER), FALSE;
    if (size == sizeof(OSVERSIONINFOEXA))
        reinterpret_cast<OSVERSIONINFOEXA*>(lpVersionInformation)->wProductType = VER_NT_WORKSTATION;
    lpVersionInformation->dwMajorVersion = majorVersion;
    lpVersionInformation->dwMinorVersion = minorVersion;
    lpVersionInformation->dwBuildNumber = 7601;
    lpVersionInformation->dwPlatformId = 2;  // VER_PLATFORM_WIN32_NT
    return TRUE;
}

BOOL SimProcess::IsUserAnAdmin()
{
    sim::SimCode inSimulator;
    // The shell's test has no failure of its own: a fault reads as no rights.
    if (m_record.Enter("IsUserAnAdmin", "")) return FALSE;
    return administrator ? TRUE : FALSE;
}

void SimProcess::InitCommonControls()
{
    sim::SimCode inSimulator;
    m_record.Note("InitCommonControls", "");
}

void SimProcess::WriteStdout(const char* text)
{
    sim::SimCode inSimulator;
    m_record.Note("WriteStdout", text != nullptr ? text : "");
    standardOutput += text;
}

void SimProcess::Sleep(DWORD dwMilliseconds)
{
    sim::SimCode inSimulator;
    m_record.Note("Sleep", std::to_string(dwMilliseconds));
    m_record.clock += dwMilliseconds;
}

void SimProcess::Exit(int exitCode)
{
    sim::SimCode inSimulator;
    m_record.Note("Exit", std::to_string(exitCode));
    exited = true;
    throw SimProcessExit{exitCode};
}

UINT SimProcess::GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    sim::SimCode inSimulator;
    UINT needed = static_cast<UINT>(windowsDirectory.size() + 1);
    if (DWORD error = m_record.Enter("GetWindowsDirectoryA", std::to_string(uSize))) {
        // A folder that does not fit (a terminal server's own Windows folder
        // per user): the size it needs, NUL included, and nothing copied.
        if (error == ERROR_INSUFFICIENT_BUFFER) return std::max(needed, uSize + 1);
        return SetLastError(error), 0;
    }
    // Too small a buffer: the size needed, NUL included, and nothing copied.
    if (lpBuffer == nullptr || uSize < needed) return needed;
    std::memcpy(lpBuffer, windowsDirectory.c_str(), needed);
    return needed - 1;
}

int SimProcess::_mbsicmp(const unsigned char* string1, const unsigned char* string2)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.Enter("_mbsicmp", Quoted(reinterpret_cast<const char*>(string1)) + ", " +
                                                     Quoted(reinterpret_cast<const char*>(string2))))
        return SetLastError(error), kNlsCompareError;
    if (string1 == nullptr || string2 == nullptr) return SetLastError(ERROR_INVALID_PARAMETER), kNlsCompareError;
    bool japanese = ansiCodePage == 932;
    auto lead = [japanese](unsigned c) { return japanese && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)); };
    // One character, in lower case. The run time compares in its "C" locale
    // until the program sets another: only the ASCII letters fold, and in
    // 932 the double-byte full-width Latin letters too.
    auto next = [&](const unsigned char*& text) -> unsigned {
        unsigned c = *text++;
        if (lead(c) && *text != 0) {
            unsigned trail = *text++;
            if (c == 0x82 && trail >= 0x60 && trail <= 0x79) trail += 0x21;
            return (c << 8) | trail;
        }
        if (c >= 'A' && c <= 'Z') return c + 32;
        return c;
    };
    while (*string1 != 0 && *string2 != 0) {
        unsigned a = next(string1), b = next(string2);
        if (a != b) return a < b ? -1 : 1;
    }
    return *string1 == *string2 ? 0 : *string1 == 0 ? -1 : 1;
}

BOOL SimProcess::IsWow64Process(HANDLE hProcess, PBOOL Wow64Process)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.Enter("IsWow64Process", "")) return SetLastError(error), FALSE;
    if (hProcess != GetCurrentProcess() || Wow64Process == nullptr) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    *Wow64Process = UnderWow64() ? TRUE : FALSE;
    return TRUE;
}

BOOL SimProcess::IsWow64Process2(HANDLE hProcess, USHORT* pProcessMachine, USHORT* pNativeMachine)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.Enter("IsWow64Process2", "")) return SetLastError(error), FALSE;
    // What the platform layer answers where kernel32 has no such function.
    if (!hasIsWow64Process2) return SetLastError(ERROR_PROC_NOT_FOUND), FALSE;
    if (hProcess != GetCurrentProcess()) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    if (pProcessMachine == nullptr) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
    // The process's machine only under WOW64; the native machine is optional.
    *pProcessMachine = UnderWow64() ? programMachine : static_cast<USHORT>(IMAGE_FILE_MACHINE_UNKNOWN);
    if (pNativeMachine != nullptr) *pNativeMachine = nativeMachine;
    return TRUE;
}

#include "tests/sim/SimProcess.h"

#include <algorithm>
#include <cstring>

#include "tests/sim/SimCode.h"
#include "tests/sim/SimText.h"

void SimProcess::HoldMutexElsewhere(const std::string& name) { ++m_mutexes[name]; }

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
    if (DWORD error = m_record.Enter("CloseHandle", "")) return SetLastError(error), FALSE;
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
    if (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return SetLastError(ERROR_INSUFFICIENT_BUFFER), FALSE;
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

int SimProcess::CompareStringA(LCID, DWORD dwCmpFlags, LPCSTR lpString1, int cchCount1, LPCSTR lpString2,
                               int cchCount2)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.Enter("CompareStringA", std::to_string(dwCmpFlags) + ", " + Quoted(lpString1) + ", " +
                                                           Quoted(lpString2)))
        return SetLastError(error), 0;
    if (lpString1 == nullptr || lpString2 == nullptr) return SetLastError(ERROR_INVALID_PARAMETER), 0;
    size_t length1 = cchCount1 < 0 ? std::strlen(lpString1) : static_cast<size_t>(cchCount1);
    size_t length2 = cchCount2 < 0 ? std::strlen(lpString2) : static_cast<size_t>(cchCount2);
    auto lead = [this](unsigned char c) {
        return ansiCodePage == 932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
    };
    // Character by character: a double-byte character is compared whole, and
    // only single-byte letters fold.
    size_t i = 0, j = 0;
    while (i < length1 && j < length2) {
        unsigned char a = static_cast<unsigned char>(lpString1[i]);
        unsigned char b = static_cast<unsigned char>(lpString2[j]);
        if (lead(a) || lead(b)) {
            size_t width1 = lead(a) && i + 1 < length1 ? 2 : 1;
            size_t width2 = lead(b) && j + 1 < length2 ? 2 : 1;
            std::string one(lpString1 + i, width1), two(lpString2 + j, width2);
            if (one != two) return one < two ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
            i += width1;
            j += width2;
            continue;
        }
        if (dwCmpFlags & NORM_IGNORECASE) {
            a = static_cast<unsigned char>(a >= 'A' && a <= 'Z' ? a + 32 : a);
            b = static_cast<unsigned char>(b >= 'A' && b <= 'Z' ? b + 32 : b);
        }
        if (a != b) return a < b ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
        ++i;
        ++j;
    }
    if (i == length1 && j == length2) return CSTR_EQUAL;
    return i == length1 ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

BOOL SimProcess::IsWow64Process(HANDLE hProcess, PBOOL Wow64Process)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.Enter("IsWow64Process", "")) return SetLastError(error), FALSE;
    if (hProcess != GetCurrentProcess() || Wow64Process == nullptr) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    *Wow64Process = wow64 ? TRUE : FALSE;
    return TRUE;
}

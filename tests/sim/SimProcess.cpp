#include "tests/sim/SimProcess.h"

#include <cstring>

#include "tests/sim/SimText.h"

void SimProcess::HoldMutexElsewhere(const std::string& name) { ++m_mutexes[name]; }

bool SimProcess::MutexOpen(const std::string& name) const
{
    auto found = m_mutexes.find(name);
    return found != m_mutexes.end() && found->second > 0;
}

HANDLE SimProcess::CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName)
{
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

BOOL SimProcess::CloseHandle(HANDLE hObject)
{
    if (DWORD error = m_record.Enter("CloseHandle", "")) return SetLastError(error), FALSE;
    auto found = m_handles.find(reinterpret_cast<uintptr_t>(hObject));
    if (found == m_handles.end()) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    --m_mutexes[found->second];
    m_handles.erase(found);
    return TRUE;
}

BOOL SimProcess::GetVersionExA(OSVERSIONINFOA* lpVersionInformation)
{
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
    // The shell's test has no failure of its own: a fault reads as no rights.
    if (m_record.Enter("IsUserAnAdmin", "")) return FALSE;
    return administrator ? TRUE : FALSE;
}

void SimProcess::InitCommonControls() { m_record.Enter("InitCommonControls", ""); }

void SimProcess::Sleep(DWORD dwMilliseconds)
{
    m_record.Enter("Sleep", std::to_string(dwMilliseconds));
    m_record.clock += dwMilliseconds;
}

void SimProcess::Exit(int exitCode)
{
    m_record.Enter("Exit", std::to_string(exitCode));
    throw SimProcessExit{exitCode};
}

UINT SimProcess::GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    if (DWORD error = m_record.Enter("GetWindowsDirectoryA", std::to_string(uSize))) return SetLastError(error), 0;
    UINT needed = static_cast<UINT>(windowsDirectory.size() + 1);
    // Too small a buffer: the size needed, NUL included, and nothing copied.
    if (lpBuffer == nullptr || uSize < needed) return needed;
    std::memcpy(lpBuffer, windowsDirectory.c_str(), needed);
    return needed - 1;
}

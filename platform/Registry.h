// The registry operations that the setup logic calls, in the platform's own
// terms: same names, same records, same answers.
#pragma once
#include "platform/Records.h"

class IRegistry {
public:
    virtual ~IRegistry() = default;

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
};

// The simulated registry: keys and values under HKLM and HKCU, compared
// without regard to case, with the exact bytes and type of every value. An
// open key carries the access it was opened with, and a query or a write
// through a key opened without the right for it is refused, as Windows does.
// A key created REG_OPTION_VOLATILE lives until the machine restarts, and
// only volatile keys can be created below it.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "tests/sim/SimCallRecord.h"

struct SimRegistryValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

class SimRegistry : public IRegistry {
public:
    explicit SimRegistry(SimCallRecord& record);

    // Key paths start with "HKLM\" or "HKCU\".
    void SetValue(const std::string& key, const std::string& name, DWORD type, const std::vector<BYTE>& data);
    void SetString(const std::string& key, const std::string& name, const std::string& text);
    void SetDword(const std::string& key, const std::string& name, DWORD number);
    void AddKey(const std::string& key);
    void DeleteValue(const std::string& key, const std::string& name);
    // Deletes the key with everything below it.
    void DeleteKey(const std::string& key);
    bool KeyExists(const std::string& key) const;
    bool IsVolatile(const std::string& key) const;
    // The values of a key, in the order of their names; none for a missing key.
    std::vector<SimRegistryValue> ValuesOf(const std::string& key) const;
    // The machine restarts: every open key is closed, the volatile keys are gone.
    void Restart();
    const SimRegistryValue* Value(const std::string& key, const std::string& name) const;
    // The text of a string value without its terminating NUL, or "(none)";
    // a value stored without its NUL reads "(no terminating NUL) <text>".
    std::string StringOf(const std::string& key, const std::string& name) const;
    // Keys opened or created and not closed yet.
    int OpenKeys() const { return static_cast<int>(m_handles.size()); }
    std::vector<uintptr_t> OpenKeyHandles() const;

    LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) override;
    LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) override;
    LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) override;
    LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) override;
    LSTATUS RegCloseKey(HKEY hKey) override;

private:
    struct Key {
        std::string path;
        std::map<std::string, SimRegistryValue> values;  // by lower-case name
        bool isVolatile = false;
    };
    std::string KeyPath(HKEY root, const char* subKey) const;
    std::string OpenKeyName(HKEY key) const;
    HKEY NewHandle(const std::string& path, REGSAM access);

    SimCallRecord& m_record;
    std::map<std::string, Key> m_keys;  // by lower-case path
    // An open key: its path, and the access it was opened or created with.
    struct Handle {
        std::string path;
        REGSAM access;
    };
    const Handle* OpenHandle(HKEY key) const;
    std::map<uintptr_t, Handle> m_handles;
    uintptr_t m_nextHandle = 0x200000;
};

#include "tests/sim/SimRegistry.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "tests/sim/SimCode.h"
#include "tests/sim/SimText.h"

namespace {

// What the program's own header has no name for.
constexpr DWORD kOptionVolatile = 1;               // REG_OPTION_VOLATILE
constexpr LSTATUS kChildMustBeVolatile = 1021;    // ERROR_CHILD_MUST_BE_VOLATILE

}  // namespace

SimRegistry::SimRegistry(SimCallRecord& record) : m_record(record)
{
    AddKey("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    AddKey("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    AddKey("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    SetString("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Programs",
              "C:\\Users\\Admin\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
}

void SimRegistry::AddKey(const std::string& key)
{
    for (size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1)) {
        std::string parent = key.substr(0, at);
        if (!m_keys.count(Lower(parent))) m_keys[Lower(parent)].path = parent;
    }
    if (!m_keys.count(Lower(key))) m_keys[Lower(key)].path = key;
}

void SimRegistry::DeleteValue(const std::string& key, const std::string& name)
{
    auto found = m_keys.find(Lower(key));
    if (found != m_keys.end()) found->second.values.erase(Lower(name));
}

void SimRegistry::DeleteKey(const std::string& key)
{
    std::string lower = Lower(key);
    for (auto it = m_keys.begin(); it != m_keys.end();) {
        if (it->first == lower || it->first.rfind(lower + "\\", 0) == 0)
            it = m_keys.erase(it);
        else
            ++it;
    }
}

bool SimRegistry::KeyExists(const std::string& key) const { return m_keys.count(Lower(key)) != 0; }

bool SimRegistry::IsVolatile(const std::string& key) const
{
    auto found = m_keys.find(Lower(key));
    return found != m_keys.end() && found->second.isVolatile;
}

std::vector<SimRegistryValue> SimRegistry::ValuesOf(const std::string& key) const
{
    std::vector<SimRegistryValue> values;
    auto found = m_keys.find(Lower(key));
    if (found != m_keys.end())
        for (const auto& [name, value] : found->second.values) values.push_back(value);
    return values;
}

void SimRegistry::Restart()
{
    m_handles.clear();
    for (auto it = m_keys.begin(); it != m_keys.end();)
        it = it->second.isVolatile ? m_keys.erase(it) : std::next(it);
}

void SimRegistry::SetValue(const std::string& key, const std::string& name, DWORD type, const std::vector<BYTE>& data)
{
    AddKey(key);
    m_keys[Lower(key)].values[Lower(name)] = {name, type, data};
}

void SimRegistry::SetString(const std::string& key, const std::string& name, const std::string& text)
{
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    SetValue(key, name, REG_SZ, data);
}

void SimRegistry::SetDword(const std::string& key, const std::string& name, DWORD number)
{
    std::vector<BYTE> data(4);
    std::memcpy(data.data(), &number, 4);
    SetValue(key, name, REG_DWORD, data);
}

const SimRegistryValue* SimRegistry::Value(const std::string& key, const std::string& name) const
{
    auto found = m_keys.find(Lower(key));
    if (found == m_keys.end()) return nullptr;
    auto value = found->second.values.find(Lower(name));
    return value != found->second.values.end() ? &value->second : nullptr;
}

std::string SimRegistry::StringOf(const std::string& key, const std::string& name) const
{
    const SimRegistryValue* value = Value(key, name);
    if (value == nullptr) return "(none)";
    std::string text(value->data.begin(), value->data.end());
    // A string that its writer stored without the terminating NUL reads
    // past its end in every program that takes it as a string.
    if (text.empty() || text.back() != '\0') return "(no terminating NUL) " + text;
    text.pop_back();
    return text;
}

std::vector<uintptr_t> SimRegistry::OpenKeyHandles() const
{
    std::vector<uintptr_t> handles;
    for (const auto& [handle, key] : m_handles) handles.push_back(handle);
    return handles;
}

const SimRegistry::Handle* SimRegistry::OpenHandle(HKEY key) const
{
    auto found = m_handles.find(reinterpret_cast<uintptr_t>(key));
    return found != m_handles.end() ? &found->second : nullptr;
}

std::string SimRegistry::OpenKeyName(HKEY key) const
{
    const Handle* handle = OpenHandle(key);
    return handle != nullptr ? handle->path : std::string();
}

std::string SimRegistry::KeyPath(HKEY root, const char* subKey) const
{
    std::string base;
    if (root == HKEY_LOCAL_MACHINE)
        base = "HKLM";
    else if (root == HKEY_CURRENT_USER)
        base = "HKCU";
    else
        base = OpenKeyName(root);
    if (base.empty()) return std::string();
    if (subKey == nullptr || *subKey == '\0') return base;
    return base + "\\" + subKey;
}

HKEY SimRegistry::NewHandle(const std::string& path, REGSAM access)
{
    uintptr_t value = m_nextHandle;
    m_nextHandle += 4;
    m_handles[value] = {m_keys[Lower(path)].path, access};
    return reinterpret_cast<HKEY>(value);
}

LSTATUS SimRegistry::RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    sim::SimCode inSimulator;
    std::string path = KeyPath(hKey, lpSubKey);
    if (DWORD error = m_record.Enter("RegOpenKeyExA", Quoted(path.c_str()) + ", " + std::to_string(ulOptions) + ", " +
                                                          std::to_string(samDesired))) {
        if (phkResult != nullptr) *phkResult = nullptr;  // no key on failure
        return static_cast<LSTATUS>(error);
    }
    // No key on failure.
    if (phkResult != nullptr) *phkResult = nullptr;
    if (path.empty()) return ERROR_INVALID_HANDLE;
    if (!KeyExists(path)) return ERROR_FILE_NOT_FOUND;
    *phkResult = NewHandle(path, samDesired);
    return ERROR_SUCCESS;
}

LSTATUS SimRegistry::RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                     REGSAM samDesired, LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    sim::SimCode inSimulator;
    std::string path = KeyPath(hKey, lpSubKey);
    if (DWORD error = m_record.Enter("RegCreateKeyExA", Quoted(path.c_str()) + ", " + Quoted(lpClass) + ", " +
                                                            std::to_string(dwOptions) + ", " + std::to_string(samDesired))) {
        if (phkResult != nullptr) *phkResult = nullptr;  // no key on failure
        return static_cast<LSTATUS>(error);
    }
    // No key on failure.
    if (phkResult != nullptr) *phkResult = nullptr;
    // The reserved parameter must be zero, or the call is refused.
    if (Reserved != 0) return ERROR_INVALID_PARAMETER;
    if (path.empty()) return ERROR_INVALID_HANDLE;
    bool existed = KeyExists(path);
    if (!existed) {
        // The keys missing on the way are created with the key, with its
        // options (the options are ignored for a key that exists); below a
        // volatile key only volatile keys can be.
        std::vector<std::string> missing;
        std::string parent = path;
        for (; !parent.empty() && !KeyExists(parent); parent = FolderOf(parent)) missing.push_back(parent);
        bool isVolatile = (dwOptions & kOptionVolatile) != 0;
        if (IsVolatile(parent) && !isVolatile) return kChildMustBeVolatile;
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            Key& key = m_keys[Lower(*it)];
            key.path = *it;
            key.isVolatile = isVolatile;
        }
    }
    if (lpdwDisposition != nullptr) *lpdwDisposition = existed ? 2 : 1;  // opened / created
    *phkResult = NewHandle(path, samDesired);
    return ERROR_SUCCESS;
}

LSTATUS SimRegistry::RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                                      LPDWORD lpcbData)
{
    sim::SimCode inSimulator;
    std::string key = OpenKeyName(hKey);
    if (DWORD error = m_record.Enter("RegQueryValueExA", (key.empty() ? std::string("?") : key) + ", " +
                                                             Quoted(lpValueName) + ", " +
                                                             std::to_string(lpcbData ? *lpcbData : 0))) {
        // A value that outgrew the buffer: the size it needs, and the
        // buffer's contents undefined (here: letters that are no data).
        if (error == ERROR_MORE_DATA && lpcbData != nullptr) {
            const SimRegistryValue* value = key.empty() ? nullptr : Value(key, lpValueName ? lpValueName : "");
            DWORD size = value != nullptr ? static_cast<DWORD>(value->data.size()) : 0;
            if (lpData != nullptr) std::memset(lpData, 'Z', *lpcbData);
            *lpcbData = std::max(size, *lpcbData + 1);
        }
        return static_cast<LSTATUS>(error);
    }
    if (key.empty()) return ERROR_INVALID_HANDLE;
    if (!(OpenHandle(hKey)->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const SimRegistryValue* value = Value(key, lpValueName ? lpValueName : "");
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    if (lpType != nullptr) *lpType = value->type;
    DWORD size = static_cast<DWORD>(value->data.size());
    if (lpcbData == nullptr) return lpData == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    // Too small a buffer: the size needed, and nothing copied.
    if (lpData != nullptr && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData != nullptr && size > 0) std::memcpy(lpData, value->data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS SimRegistry::RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                    DWORD cbData)
{
    sim::SimCode inSimulator;
    std::string key = OpenKeyName(hKey);
    if (DWORD error = m_record.Enter("RegSetValueExA", (key.empty() ? std::string("?") : key) + ", " +
                                                           Quoted(lpValueName) + ", " + std::to_string(dwType) + ", " +
                                                           std::to_string(cbData)))
        return static_cast<LSTATUS>(error);
    if (Reserved != 0) return ERROR_INVALID_PARAMETER;
    if (key.empty()) return ERROR_INVALID_HANDLE;
    if (!(OpenHandle(hKey)->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    // A string whose count leaves out its NUL, which follows it, is stored
    // with the NUL: NT counts it for the caller (and reads that one byte to see).
    bool isString = dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == 7 /* REG_MULTI_SZ */;
    if (isString && lpData != nullptr && cbData > 0 && lpData[cbData - 1] != 0 && lpData[cbData] == 0) ++cbData;
    SetValue(key, lpValueName ? lpValueName : "", dwType, std::vector<BYTE>(lpData, lpData + cbData));
    return ERROR_SUCCESS;
}

LSTATUS SimRegistry::RegCloseKey(HKEY hKey)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.EnterRelease("RegCloseKey", OpenKeyName(hKey), hKey)) return static_cast<LSTATUS>(error);
    auto found = m_handles.find(reinterpret_cast<uintptr_t>(hKey));
    if (found == m_handles.end()) return ERROR_INVALID_HANDLE;
    m_handles.erase(found);
    return ERROR_SUCCESS;
}

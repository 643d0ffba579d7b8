// The registry.
#include <cstring>

#include "tests/conformance/Cases.h"

namespace {

// Every case works below a key of its own under HKCU\Software\Conformance.
const std::string kRoot = "Software\\Conformance\\";

HKEY Create(Bench& b, const std::string& path, DWORD options = REG_OPTION_NON_VOLATILE, REGSAM access = KEY_ALL_ACCESS,
            LSTATUS* status = nullptr, DWORD* disposition = nullptr)
{
    HKEY key = nullptr;
    LSTATUS result = b.registry().RegCreateKeyExA(HKEY_CURRENT_USER, (kRoot + path).c_str(), 0, nullptr, options, access,
                                                  nullptr, &key, disposition);
    if (status != nullptr) *status = result;
    return result == ERROR_SUCCESS ? key : nullptr;
}

LSTATUS Open(Bench& b, const std::string& path, REGSAM access, HKEY* key)
{
    return b.registry().RegOpenKeyExA(HKEY_CURRENT_USER, (kRoot + path).c_str(), 0, access, key);
}

LSTATUS SetText(Bench& b, HKEY key, const char* name, const std::string& text, DWORD count)
{
    return b.registry().RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), count);
}

}  // namespace

std::vector<Case> RegistryCases()
{
    return {
        {"RegOpenKeyExA finds a key whatever the case of its name, and answers ERROR_FILE_NOT_FOUND for none",
         "Wine test: dlls/advapi32/tests/registry.c test_reg_open_key",
         [](Bench& b) {
             b.registry().RegCloseKey(Create(b, "Names\\MixedCase"));
             HKEY key = nullptr;
             b.Expect("other case", Open(b, "NAMES\\mixedcase", KEY_READ, &key), ERROR_SUCCESS);
             b.registry().RegCloseKey(key);
             key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5A5A));
             b.Expect("no such key", Open(b, "Names\\Missing", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
             b.Expect("the handle after a failure", key == nullptr, true);
         }},
        {"RegQueryValueExA sizes a value: no buffer gives the size, a small one ERROR_MORE_DATA and the size",
         "Wine test: dlls/advapi32/tests/registry.c test_query_value_ex",
         [](Bench& b) {
             HKEY key = Create(b, "Sizes");
             SetText(b, key, "Text", "abcdef", 7);
             DWORD type = 0, size = 0;
             b.Expect("no buffer", b.registry().RegQueryValueExA(key, "Text", nullptr, &type, nullptr, &size),
                      ERROR_SUCCESS);
             b.Expect("the size, NUL included", size, 7);
             b.Expect("the type", type, REG_SZ);
             char data[8] = "ZZZZZZZ";
             size = 4;
             b.Expect("a 4-byte buffer",
                      b.registry().RegQueryValueExA(key, "TEXT", nullptr, &type, reinterpret_cast<LPBYTE>(data), &size),
                      ERROR_MORE_DATA);
             b.Expect("the size it needs", size, 7);
             size = 7;
             b.Expect("a 7-byte buffer",
                      b.registry().RegQueryValueExA(key, "text", nullptr, &type, reinterpret_cast<LPBYTE>(data), &size),
                      ERROR_SUCCESS);
             b.Expect("the data", std::string(data, size), std::string("abcdef", 7));
             size = 4;
             b.Expect("no such value",
                      b.registry().RegQueryValueExA(key, "Missing", nullptr, &type, reinterpret_cast<LPBYTE>(data), &size),
                      ERROR_FILE_NOT_FOUND);
             b.registry().RegCloseKey(key);
         }},
        {"RegSetValueExA counts a string's NUL when the count leaves it out but it follows; else keeps what is counted",
         "Wine test: dlls/advapi32/tests/registry.c test_string_termination",
         [](Bench& b) {
             HKEY key = Create(b, "Counted");
             b.Expect("with the NUL", SetText(b, key, "With", "abc", 4), ERROR_SUCCESS);
             b.Expect("without, the NUL after it", SetText(b, key, "Forgot", "abc", 3), ERROR_SUCCESS);
             b.Expect("without, a letter after it", SetText(b, key, "Without", "abcd", 3), ERROR_SUCCESS);
             char data[8] = {};
             DWORD size = sizeof data;
             b.registry().RegQueryValueExA(key, "With", nullptr, nullptr, reinterpret_cast<LPBYTE>(data), &size);
             b.Expect("stored with the NUL", std::string(data, size), std::string("abc", 4));
             size = sizeof data;
             b.registry().RegQueryValueExA(key, "Forgot", nullptr, nullptr, reinterpret_cast<LPBYTE>(data), &size);
             b.Expect("the NUL counted for it", std::string(data, size), std::string("abc", 4));
             size = sizeof data;
             b.registry().RegQueryValueExA(key, "Without", nullptr, nullptr, reinterpret_cast<LPBYTE>(data), &size);
             b.Expect("stored without", std::string(data, size), std::string("abc"));
             b.registry().RegCloseKey(key);
         }},
        {"A key opened without KEY_QUERY_VALUE cannot be read, one without KEY_SET_VALUE cannot be written",
         "documentation: Registry Key Security and Access Rights",
         [](Bench& b) {
             HKEY key = Create(b, "Access");
             SetText(b, key, "Value", "x", 2);
             b.registry().RegCloseKey(key);
             HKEY writeOnly = nullptr, readOnly = nullptr;
             Open(b, "Access", KEY_SET_VALUE, &writeOnly);
             Open(b, "Access", KEY_READ, &readOnly);
             char data[4];
             DWORD size = sizeof data;
             b.Expect("read through KEY_SET_VALUE",
                      b.registry().RegQueryValueExA(writeOnly, "Value", nullptr, nullptr, reinterpret_cast<LPBYTE>(data),
                                                    &size),
                      ERROR_ACCESS_DENIED);
             b.Expect("write through KEY_READ", SetText(b, readOnly, "Value", "y", 2), ERROR_ACCESS_DENIED);
             b.Expect("write through KEY_SET_VALUE", SetText(b, writeOnly, "Value", "y", 2), ERROR_SUCCESS);
             b.registry().RegCloseKey(writeOnly);
             b.registry().RegCloseKey(readOnly);
         }},
        {"RegCreateKeyExA tells a new key from an existing one, and refuses a nonzero reserved argument",
         "documentation: RegCreateKeyExA",
         [](Bench& b) {
             DWORD disposition = 0;
             b.registry().RegCloseKey(Create(b, "Created", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &disposition));
             b.Expect("new", disposition, REG_CREATED_NEW_KEY);
             b.registry().RegCloseKey(Create(b, "created", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &disposition));
             b.Expect("existing", disposition, REG_OPENED_EXISTING_KEY);
             HKEY key = nullptr;
             b.Expect("reserved 1",
                      b.registry().RegCreateKeyExA(HKEY_CURRENT_USER, (kRoot + "Reserved").c_str(), 1, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, &key, nullptr),
                      ERROR_INVALID_PARAMETER);
         }},
        {"RegOpenKeyExA opens a key whatever options besides REG_OPTION_OPEN_LINK say",
         "none",
         [](Bench& b) {
             b.registry().RegCloseKey(Create(b, "Options"));
             HKEY key = nullptr;
             b.Expect("options 1", b.registry().RegOpenKeyExA(HKEY_CURRENT_USER, (kRoot + "Options").c_str(), 1,
                                                               KEY_READ, &key),
                      ERROR_SUCCESS);
             if (key != nullptr) b.registry().RegCloseKey(key);
         }},
        {"RegCloseKey closes a key once",
         "none",
         [](Bench& b) {
             HKEY key = Create(b, "Closed");
             b.Expect("first", b.registry().RegCloseKey(key), ERROR_SUCCESS);
             b.Expect("second", b.registry().RegCloseKey(key), ERROR_INVALID_HANDLE);
         }},
        {"A volatile key is gone after a restart; a key under it must be volatile too",
         "Wine test: dlls/advapi32/tests/registry.c test_reg_create_key",
         [](Bench& b) {
             // Under a lasting key of the case's own: what RegCreateKeyExA makes
             // on the way to a key takes that key's options.
             b.registry().RegCloseKey(Create(b, "Restart"));
             LSTATUS status = 0;
             DWORD disposition = 0;
             b.registry().RegCloseKey(
                 Create(b, "Restart\\Volatile", REG_OPTION_VOLATILE, KEY_ALL_ACCESS, &status, &disposition));
             b.Expect("created", status, ERROR_SUCCESS);
             b.Expect("new", disposition, REG_CREATED_NEW_KEY);
             Create(b, "Restart\\Volatile\\Lasting", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &status);
             b.Expect("a lasting key under it", status, ERROR_CHILD_MUST_BE_VOLATILE);
             b.registry().RegCloseKey(
                 Create(b, "Restart\\Volatile\\Passing", REG_OPTION_VOLATILE, KEY_ALL_ACCESS, &status));
             b.Expect("a volatile key under it", status, ERROR_SUCCESS);
             // Made on the way to a volatile key, a key is volatile too.
             b.registry().RegCloseKey(
                 Create(b, "Restart\\Made\\Volatile", REG_OPTION_VOLATILE, KEY_ALL_ACCESS, &status));
             Create(b, "Restart\\Made\\Lasting", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &status);
             b.Expect("a lasting key beside it", status, ERROR_CHILD_MUST_BE_VOLATILE);
             HKEY lasting = Create(b, "Restart\\Lasting");
             SetText(b, lasting, "Value", "kept", 5);
             b.registry().RegCloseKey(lasting);
         },
         [](Bench& b) {
             HKEY key = nullptr;
             b.Expect("the volatile key", Open(b, "Restart\\Volatile", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
             b.Expect("the key made on the way", Open(b, "Restart\\Made", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
             b.Expect("the lasting key", Open(b, "Restart\\Lasting", KEY_READ, &key), ERROR_SUCCESS);
             char data[8] = {};
             DWORD size = sizeof data;
             b.registry().RegQueryValueExA(key, "Value", nullptr, nullptr, reinterpret_cast<LPBYTE>(data), &size);
             b.Expect("its value", std::string(data), "kept");
             b.registry().RegCloseKey(key);
         }},
    };
}

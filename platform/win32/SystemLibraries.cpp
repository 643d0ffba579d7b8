#include "platform/win32/SystemLibraries.h"

#include <string>

namespace {

// Systems before Windows 8 (and Windows 7 without KB2533623) lack this flag.
const DWORD kLoadLibrarySearchSystem32 = 0x00000800;
bool searchRestricted = false;

HMODULE Load(const char* dll)
{
    if (HMODULE loaded = GetModuleHandleA(dll)) return loaded;
    if (searchRestricted) return LoadLibraryExA(dll, nullptr, kLoadLibrarySearchSystem32);

    // Without SetDefaultDllDirectories the application's own folder is still
    // searched first, so name the system directory in full. The common
    // controls are the exception: their version 6 comes from the side-by-side
    // store through our manifest, which a full path would bypass, and that
    // redirection is resolved before any folder is searched.
    if (lstrcmpiA(dll, "comctl32.dll") == 0) return LoadLibraryA(dll);
    char systemDir[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemDir, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path = std::string(systemDir) + "\\" + dll;
    return LoadLibraryA(path.c_str());
}

}  // namespace

namespace SystemLibraries {

void RestrictDllSearch()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault != nullptr && setDefault(kLoadLibrarySearchSystem32)) {
        searchRestricted = true;
        return;
    }
    // Older systems: at least take the current folder out of the search.
    SetDllDirectoryA("");
}

FARPROC Function(const char* dll, const char* name)
{
    HMODULE module = Load(dll);
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
}

FARPROC Function(const char* dll, WORD ordinal)
{
    HMODULE module = Load(dll);
    return module != nullptr ? GetProcAddress(module, MAKEINTRESOURCEA(ordinal)) : nullptr;
}

}  // namespace SystemLibraries

#include "platform/win32/SystemLibraries.h"

#include <string>

namespace {

// The fields in the order a row of the table reads; the padding is 8 bytes a row.
struct LoadedFunction {  // NOLINT(clang-analyzer-optin.performance.Padding)
    SystemFunction function;
    const char* dll;
    const char* name;  // null: taken by its ordinal
    WORD ordinal;
};

// Every function that Setup.exe loads at run time, and why:
const LoadedFunction kFunctions[] = {
    // winspool.drv is not a KnownDLL: a static import would be looked up in
    // the program's own folder first.
    {SystemFunction::GetPrinterDriverDirectoryA, "winspool.drv", "GetPrinterDriverDirectoryA", 0},
    {SystemFunction::AddPrinterDriverA, "winspool.drv", "AddPrinterDriverA", 0},
    {SystemFunction::AddPrinterA, "winspool.drv", "AddPrinterA", 0},
    {SystemFunction::ClosePrinter, "winspool.drv", "ClosePrinter", 0},
    // As the spooler's import library gives it: by ordinal.
    {SystemFunction::SetDefaultPrinterA, "winspool.drv", nullptr, 202},
    {SystemFunction::EnumPortsA, "winspool.drv", "EnumPortsA", 0},
    // The shell's import library gives these by ordinal; shell32 itself is a
    // KnownDLL, but taking them here keeps every ordinal in this one table.
    {SystemFunction::SHCreateDirectory, "shell32.dll", nullptr, 165},
    {SystemFunction::IsUserAnAdmin, "shell32.dll", nullptr, 680},
    // comctl32 must be resolved through the manifest's side-by-side
    // redirection to version 6, which applies when it is loaded by name.
    {SystemFunction::InitCommonControls, "comctl32.dll", nullptr, 17},
    {SystemFunction::ImageList_LoadImageA, "comctl32.dll", "ImageList_LoadImageA", 0},
    {SystemFunction::ImageList_Destroy, "comctl32.dll", "ImageList_Destroy", 0},
    // Windows 10 from 1511 on: a static import would keep Setup.exe from
    // starting on Vista, 7 and 8, which must hear their own answers.
    {SystemFunction::IsWow64Process2, "kernel32.dll", "IsWow64Process2", 0},
};

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

void RestrictDllSearch(DllSearch search)
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto setDefault = search == DllSearch::WithoutDefaultDirectories
                          ? nullptr
                          : reinterpret_cast<SetDefaultDllDirectoriesFn>(
                                reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    searchRestricted = false;
    if (setDefault != nullptr && setDefault(kLoadLibrarySearchSystem32)) {
        searchRestricted = true;
        return;
    }
    // Older systems: at least take the current folder out of the search.
    SetDllDirectoryA("");
}

FARPROC Address(SystemFunction function)
{
    for (const LoadedFunction& entry : kFunctions) {
        if (entry.function != function) continue;
        HMODULE module = Load(entry.dll);
        if (module == nullptr) return nullptr;
        return GetProcAddress(module, entry.name != nullptr ? entry.name : MAKEINTRESOURCEA(entry.ordinal));
    }
    return nullptr;
}

}  // namespace SystemLibraries

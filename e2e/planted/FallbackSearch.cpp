// The DLL search of the systems without SetDefaultDllDirectories (Vista, and
// 7 without KB2533623), taken on purpose on a system that has it: the same
// SystemLibraries code as Setup.exe, told to restrict the search the old way
// (SetDllDirectoryA(""), the system directory named in full, comctl32 by name
// through the manifest's side-by-side redirection). It then resolves every
// function of the table, as Setup.exe would over a whole run, and prints one
// line per DLL: its name and the file the loader mapped for it, or "none".
// Planted DLLs beside it leave their marks when loaded; the harness looks.
#include <windows.h>

#include <cstdio>
#include <initializer_list>

#include "platform/win32/SystemLibraries.h"

int main()
{
    SystemLibraries::RestrictDllSearch(SystemLibraries::DllSearch::WithoutDefaultDirectories);
    int missing = 0;
    // Every enumerator, up to the last one.
    for (int i = 0; i <= static_cast<int>(SystemFunction::ImageList_Destroy); ++i)
        if (SystemLibraries::Address(static_cast<SystemFunction>(i)) == nullptr) ++missing;
    std::printf("functions not found: %d\n", missing);
    for (const char* dll : {"winspool.drv", "shell32.dll", "comctl32.dll"}) {
        char path[MAX_PATH] = "none";
        HMODULE module = GetModuleHandleA(dll);
        if (module != nullptr) GetModuleFileNameA(module, path, MAX_PATH);
        std::printf("%s\t%s\n", dll, path);
    }
    std::fflush(stdout);
    return missing == 0 ? 0 : 1;
}

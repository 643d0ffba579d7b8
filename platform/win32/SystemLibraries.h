// The system functions that Setup.exe does not import statically, loaded from
// the system directory at run time. Each is named once, in the table in
// SystemLibraries.cpp, with its DLL, its name or ordinal, and why it is loaded
// this way; call sites name only the function.
//
// An elevated setup program is often started from a download folder, where a
// planted DLL beside it would otherwise be loaded with administrator rights.
// So the static import table holds only DLLs that the system always maps from
// its own directory (KnownDLLs), the DLL search is restricted to the system
// directory before anything else runs, and the rest is loaded here.
#pragma once
#include "platform/Records.h"

enum class SystemFunction {
    GetPrinterDriverDirectoryA,
    AddPrinterDriverA,
    AddPrinterA,
    ClosePrinter,
    SetDefaultPrinterA,
    EnumPortsA,
    SHCreateDirectory,
    IsUserAnAdmin,
    InitCommonControls,
    ImageList_LoadImageA,
    ImageList_Destroy,
    IsWow64Process2,
};

namespace SystemLibraries {

// How the DLL search is restricted. Vista, and 7 without KB2533623, have no
// SetDefaultDllDirectories; there the search falls back to the one that the
// program's own DLL loads then take. A test program takes that fallback on a
// system that has the function, to see it keep planted DLLs out.
enum class DllSearch {
    SystemDirectoryWherePossible,  // SetDefaultDllDirectories when the system has it
    WithoutDefaultDirectories,     // as on the systems without it
};

// Restricts the DLL search to the system directory. Setup.exe's entry runs it
// before any other static object is constructed.
void RestrictDllSearch(DllSearch search);

// The function's address, or null when its DLL or the function is unavailable.
FARPROC Address(SystemFunction function);

// The same, as the function's own pointer type.
template <class Fn>
Fn Function(SystemFunction function)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(Address(function)));
}

}  // namespace SystemLibraries

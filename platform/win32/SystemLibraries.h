// The system DLLs that Setup.exe does not import statically, loaded from the
// system directory at run time, and the functions it takes from them.
//
// An elevated setup program is often started from a download folder, where a
// planted DLL beside it would otherwise be loaded with administrator rights.
// So the static import table holds only DLLs that the system always maps from
// its own directory (KnownDLLs), the DLL search is restricted to the system
// directory before anything else runs, and the rest is loaded here.
#pragma once
#include "platform/Records.h"

namespace SystemLibraries {

// Restricts the DLL search to the system directory. Runs first at process start.
void RestrictDllSearch();

// A function of a system DLL, by name or by ordinal; null if unavailable.
FARPROC Function(const char* dll, const char* name);
FARPROC Function(const char* dll, WORD ordinal);

}  // namespace SystemLibraries

// Process entry of Setup.exe.
#include "framework/Afx.h"
#include "platform/win32/SystemLibraries.h"
#include "platform/win32/Win32Platform.h"

namespace {

// Before any other static object is constructed and long before anything is
// loaded on demand, keep the DLL search out of the folder we were started from.
struct RestrictDllSearchFirst {
    RestrictDllSearchFirst() { SystemLibraries::RestrictDllSearch(); }
};
RestrictDllSearchFirst restrictDllSearchFirst __attribute__((init_priority(101)));

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InstallPlatform(Win32Platform());
    return AfxWinMain();
}

// A DLL of ours that an attacker would plant beside Setup.exe under the name
// of a system DLL. Being loaded is all it does: it leaves "<its path>.loaded"
// beside itself. The functions it exports are only there so that a program
// that imports them statically starts with it.
#include <windows.h>

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 8) return TRUE;
    lstrcatA(path, ".loaded");
    HANDLE mark = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    return TRUE;
}

// As winspool.drv.
BOOL WINAPI PlantedGetDefaultPrinterA(LPSTR, LPDWORD) { return FALSE; }
// As comctl32.dll.
void WINAPI PlantedInitCommonControls() {}
// As shell32.dll.
BOOL WINAPI PlantedIsUserAnAdmin() { return FALSE; }

}  // extern "C"

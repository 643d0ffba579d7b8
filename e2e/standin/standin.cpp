// A stand-in for the driver package's own programs (the status monitor and
// the uninstaller): it only records that it ran, beside itself. Started with
// --stay, it then runs on, as a status monitor does, until "<its path>.stop"
// appears beside it (at most ten minutes), so that its image stays mapped.
#include <windows.h>

namespace {

bool Holds(const char* text, const char* part)
{
    for (; text != nullptr && *text != '\0'; ++text) {
        int i = 0;
        while (part[i] != '\0' && text[i] == part[i]) ++i;
        if (part[i] == '\0') return true;
    }
    return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 8) return 1;
    char stop[MAX_PATH];
    lstrcpyA(stop, path);
    lstrcatA(stop, ".stop");
    lstrcatA(path, ".ran");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(file);
    bool stay = Holds(commandLine, "--stay");
    for (int waited = 0; stay && waited < 600000; waited += 100) {
        if (GetFileAttributesA(stop) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(100);
    }
    return 0;
}

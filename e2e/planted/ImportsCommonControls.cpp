// The control for the common controls: imported statically, not through the
// side-by-side redirection that Setup.exe asks for by name.
#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InitCommonControls();
    return 0;
}

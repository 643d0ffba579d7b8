// Process entry of Setup.exe: the application object (constructed after
// SelectedPort, before the framework calls InitInstance, and destroyed in the
// reverse order at exit), and the one place that chooses the real system.
#include "app/SetupApp.h"
#include "platform/win32/Win32Platform.h"

CSetupApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InstallPlatform(Win32Platform());
    return AfxWinMain();
}

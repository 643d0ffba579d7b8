// The control of the planted-DLL test: a program that imports the spooler
// statically, as a careless setup program would. With the planted DLL beside
// it, the DLL leaves its mark: the test can fail.
#include <windows.h>
#include <winspool.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char name[256];
    DWORD size = sizeof name;
    GetDefaultPrinterA(name, &size);
    return 0;
}

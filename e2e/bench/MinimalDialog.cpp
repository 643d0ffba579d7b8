// The yardstick of the benchmark: a dialog program with nothing else to do,
// started under Wine the same way as Setup.exe. Cancel ends it.
#include <windows.h>

namespace {

INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(100), nullptr, Procedure, 0));
}

// The yardstick of the benchmark: the least a plain Win32 program must do to
// show Setup.exe's first two screens, with none of our framework. It is
// linked with Setup.exe's own resource script, so it shows the same
// templates, pictures and icon, and carries the same manifest (common
// controls version 6). What Setup.exe takes longer than this program is what
// our own code adds.
//
// It makes Setup's start-up checks (the single-instance mutex, the system's
// version, the shell's administrator test, which loads shell32), shows the
// wait window for one second, then the model dialog with its tab, its list
// view item and the model picture. Cancel ends it. It never refuses: it is
// only started where Setup.exe itself would go on.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "resource.h"

namespace {

// Setup.exe's own name, so that the system does the same work for it.
const char kMutexName[] = "Global\\{6B1F2E90-3C4D-4a7e-9F21-0D8C5A7B3E14}";

INT_PTR CALLBACK WaitProcedure(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

INT_PTR CALLBACK ModelProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
        SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

        TCITEMA tab{};
        tab.mask = TCIF_TEXT;
        tab.pszText = const_cast<LPSTR>("Printer Model");
        SendDlgItemMessageA(hwnd, IDC_MODEL_TAB, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&tab));

        // The list view owns the image list (no LVS_SHAREIMAGELISTS) and
        // destroys it with itself.
        HIMAGELIST images = ImageList_LoadImageA(instance, MAKEINTRESOURCEA(IDB_MODEL), 0, 32, RGB(255, 255, 255),
                                                 IMAGE_BITMAP, 0);
        HWND list = GetDlgItem(hwnd, IDC_MODEL_LIST);
        SendMessageA(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.pszText = const_cast<LPSTR>("KVX QL70 TILLMATE (ESC P)");
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
        LVITEMA state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
        SendMessageA(list, LVM_SETICONSPACING, 0, MAKELPARAM(350, 0));

        SetDlgItemTextA(hwnd, IDC_VERSION_LABEL, "Version 2.01 (9W)");
        SetFocus(list);
        return FALSE;  // the focus is set
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    BOOL admin = IsUserAnAdmin();

    InitCommonControls();
    HWND wait = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_FILE_COPY), nullptr, WaitProcedure, 0);
    ShowWindow(wait, SW_SHOW);
    UpdateWindow(wait);
    Sleep(1000);
    ShowWindow(wait, SW_HIDE);

    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETUP_DIALOG), nullptr, ModelProcedure, 0);
    DestroyWindow(wait);
    CloseHandle(mutex);
    // The checks' answers are used, so that no compiler leaves them out.
    return static_cast<int>(result) + (version.dwMajorVersion == 6 && admin ? 0 : 100);
}

// The framework's window operations over user32 and comctl32.
//
// Modal dialogs run in the system's own dialog loop (DialogBoxParam). The
// thread's message-filter hook (WH_MSGFILTER) is how the framework sees their
// messages before the dialog manager does; the framework installs it and
// removes it again, and the hook procedure here only hands each message on.
#include <map>
#include <new>

#include "platform/win32/SystemLibraries.h"
#include "platform/win32/Win32Platform.h"

namespace {

std::map<HWND, IMessageTarget*> dialogs;  // our dialog windows, by handle
// The one filter of the thread's hook. The hook is thread-local and the
// program has one thread with windows.
IMessageFilterCallback* installedFilter = nullptr;

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

LRESULT CALLBACK FilterProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0 && installedFilter != nullptr && installedFilter->OnMessageFilter(code, reinterpret_cast<MSG*>(lParam)))
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    IMessageTarget* target;
    if (message == WM_INITDIALOG) {
        target = reinterpret_cast<IMessageTarget*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(target));
        // No exception may leave a callback of the system's. Without its entry
        // the dialog only misses its message filter.
        try {
            dialogs[hwnd] = target;
        } catch (const std::bad_alloc&) {
        }
    } else {
        // Messages before WM_INITDIALOG (WM_SETFONT) find no target yet.
        target = reinterpret_cast<IMessageTarget*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (target == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
        dialogs.erase(hwnd);
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
    }

    LRESULT result = 0;
    if (!target->OnWindowMessage(hwnd, message, wParam, lParam, result)) return FALSE;
    switch (message) {
    // These answer through the dialog procedure's own result.
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return static_cast<INT_PTR>(result);
    default:
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

class Win32Windows : public IWindowSystem {
public:
    INT_PTR DialogBoxParam(UINT templateId, HWND parent, IMessageTarget* target) override
    {
        return ::DialogBoxParamA(Instance(), MAKEINTRESOURCEA(templateId), parent, DialogProc,
                               reinterpret_cast<LPARAM>(target));
    }

    HWND CreateDialogParam(UINT templateId, HWND parent, IMessageTarget* target) override
    {
        return ::CreateDialogParamA(Instance(), MAKEINTRESOURCEA(templateId), parent, DialogProc,
                                  reinterpret_cast<LPARAM>(target));
    }

    BOOL EndDialog(HWND hwnd, INT_PTR result) override { return ::EndDialog(hwnd, result); }
    BOOL DestroyWindow(HWND hwnd) override { return ::DestroyWindow(hwnd); }

    IMessageTarget* DialogTarget(HWND dialog) override
    {
        auto found = dialogs.find(dialog);
        return found != dialogs.end() ? found->second : nullptr;
    }

    HHOOK SetMessageFilterHook(IMessageFilterCallback* filter) override
    {
        HHOOK hook = SetWindowsHookExA(WH_MSGFILTER, FilterProc, nullptr, GetCurrentThreadId());
        if (hook != nullptr) installedFilter = filter;
        return hook;
    }

    BOOL UnhookMessageFilter(HHOOK hook) override
    {
        BOOL removed = UnhookWindowsHookEx(hook);
        if (removed) installedFilter = nullptr;
        return removed;
    }

    BOOL IsDialogMessageA(HWND dialog, MSG* msg) override { return ::IsDialogMessageA(dialog, msg); }
    BOOL ShowWindow(HWND hwnd, int cmdShow) override { return ::ShowWindow(hwnd, cmdShow); }
    BOOL RedrawWindow(HWND hwnd, UINT flags) override { return ::RedrawWindow(hwnd, nullptr, nullptr, flags); }
    BOOL IsWindowVisible(HWND hwnd) override { return ::IsWindowVisible(hwnd); }
    BOOL IsIconic(HWND hwnd) override { return ::IsIconic(hwnd); }
    BOOL EnableWindow(HWND hwnd, BOOL enable) override { return ::EnableWindow(hwnd, enable); }
    BOOL IsWindowEnabled(HWND hwnd) override { return ::IsWindowEnabled(hwnd); }
    LONG GetWindowStyle(HWND hwnd) override { return static_cast<LONG>(::GetWindowLongPtrA(hwnd, GWL_STYLE)); }
    HWND GetDlgItem(HWND dialog, int id) override { return ::GetDlgItem(dialog, id); }
    HWND GetAncestor(HWND hwnd, UINT flags) override { return ::GetAncestor(hwnd, flags); }
    HWND SetFocus(HWND hwnd) override { return ::SetFocus(hwnd); }

    LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        return ::SendMessageA(hwnd, message, wParam, lParam);
    }

    BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        return ::PostMessageA(hwnd, message, wParam, lParam);
    }

    BOOL SetWindowTextA(HWND hwnd, LPCSTR text) override { return ::SetWindowTextA(hwnd, text); }
    int GetWindowTextA(HWND hwnd, LPSTR buffer, int size) override { return ::GetWindowTextA(hwnd, buffer, size); }
    int GetWindowTextLengthA(HWND hwnd) override { return ::GetWindowTextLengthA(hwnd); }

    HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) override { return ::BeginPaint(hwnd, paint); }
    BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) override { return ::EndPaint(hwnd, paint); }
    BOOL GetClientRect(HWND hwnd, RECT* rect) override { return ::GetClientRect(hwnd, rect); }
    int GetSystemMetrics(int index) override { return ::GetSystemMetrics(index); }
    BOOL DrawIcon(HDC dc, int x, int y, HICON icon) override { return ::DrawIcon(dc, x, y, icon); }

    int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) override
    {
        return ::MessageBoxA(owner, text, caption, type);
    }

    HICON LoadIconA(UINT resourceId) override { return ::LoadIconA(Instance(), MAKEINTRESOURCEA(resourceId)); }

    HIMAGELIST ImageList_LoadImageA(UINT resourceId, int cx, int grow, COLORREF mask, UINT type,
                                    UINT flags) override
    {
        auto fn = SystemLibraries::Function<HIMAGELIST(WINAPI*)(HINSTANCE, LPCSTR, int, int, COLORREF, UINT, UINT)>(
            SystemFunction::ImageList_LoadImageA);
        return fn ? fn(Instance(), MAKEINTRESOURCEA(resourceId), cx, grow, mask, type, flags) : nullptr;
    }

    BOOL ImageList_Destroy(HIMAGELIST list) override
    {
        auto fn = SystemLibraries::Function<BOOL(WINAPI*)(HIMAGELIST)>(SystemFunction::ImageList_Destroy);
        return fn ? fn(list) : FALSE;
    }

    void SetWaitCursor(bool wait) override { SetCursor(LoadCursorA(nullptr, wait ? IDC_WAIT : IDC_ARROW)); }

    DWORD GetModuleFileNameA(LPSTR buffer, DWORD size) override
    {
        return ::GetModuleFileNameA(nullptr, buffer, size);
    }

    BOOL GetMessageA(MSG* msg) override { return ::GetMessageA(msg, nullptr, 0, 0); }
    BOOL TranslateMessage(const MSG* msg) override { return ::TranslateMessage(msg); }
    LRESULT DispatchMessageA(const MSG* msg) override { return ::DispatchMessageA(msg); }
};

}  // namespace

IWindowSystem& Win32Windows()
{
    static class Win32Windows windows;
    return windows;
}

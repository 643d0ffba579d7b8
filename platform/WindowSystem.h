// The window operations that the framework is written over. Setup.exe uses
// the real user32/comctl32 calls (platform/win32); the native tests use the
// simulated machine's windows, whose dialogs keep their controls' state and
// are driven by a scripted user (tests/sim).
#pragma once
#include "platform/Records.h"

// What a dialog window hands its messages to: the framework's CWnd.
class IMessageTarget {
public:
    // Answers whether the message was handled, and its result if so. An
    // unhandled message gets the dialog manager's default processing.
    virtual bool OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                 LRESULT& result) = 0;
    // Sees keyboard and mouse messages of the dialog and its controls before
    // the dialog manager does; true drops the message.
    virtual bool OnPreTranslateMessage(MSG* msg) = 0;

protected:
    ~IMessageTarget() = default;
};

// What the thread's message-filter hook (WH_MSGFILTER) hands its messages to.
// The system calls the hook from its own modal loops (a dialog's, a box's, a
// menu's) and from IsDialogMessage, with MSGF_DIALOGBOX from the latter two.
class IMessageFilterCallback {
public:
    // True: the message is processed, and the loop (or IsDialogMessage, which
    // then answers TRUE) passes it on no further.
    virtual bool OnMessageFilter(int code, MSG* msg) = 0;

protected:
    ~IMessageFilterCallback() = default;
};

class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;

    // Dialogs from the program's templates.
    virtual INT_PTR DialogBoxParam(UINT templateId, HWND parent, IMessageTarget* target) = 0;
    virtual HWND CreateDialogParam(UINT templateId, HWND parent, IMessageTarget* target) = 0;
    virtual BOOL EndDialog(HWND hwnd, INT_PTR result) = 0;
    virtual BOOL DestroyWindow(HWND hwnd) = 0;
    // The target that a dialog made by one of the two calls above was given;
    // none for every other window.
    virtual IMessageTarget* DialogTarget(HWND dialog) = 0;

    // The thread's message-filter hook (null when it cannot be installed), and its removal.
    virtual HHOOK SetMessageFilterHook(IMessageFilterCallback* filter) = 0;
    virtual BOOL UnhookMessageFilter(HHOOK hook) = 0;
    // The dialog manager's keyboard handling for `dialog`; it hands the
    // message to the message-filter hook first.
    virtual BOOL IsDialogMessageA(HWND dialog, MSG* msg) = 0;

    // Windows and controls.
    virtual BOOL ShowWindow(HWND hwnd, int cmdShow) = 0;
    virtual BOOL RedrawWindow(HWND hwnd, UINT flags) = 0;
    virtual BOOL IsWindowVisible(HWND hwnd) = 0;
    virtual BOOL IsIconic(HWND hwnd) = 0;
    virtual BOOL EnableWindow(HWND hwnd, BOOL enable) = 0;
    virtual BOOL IsWindowEnabled(HWND hwnd) = 0;
    // The window's style bits (GWL_STYLE).
    virtual LONG GetWindowStyle(HWND hwnd) = 0;
    virtual HWND GetDlgItem(HWND dialog, int id) = 0;
    virtual HWND GetAncestor(HWND hwnd, UINT flags) = 0;
    virtual HWND SetFocus(HWND hwnd) = 0;
    virtual LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual BOOL SetWindowTextA(HWND hwnd, LPCSTR text) = 0;
    virtual int GetWindowTextA(HWND hwnd, LPSTR buffer, int size) = 0;
    virtual int GetWindowTextLengthA(HWND hwnd) = 0;

    // Painting.
    virtual HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) = 0;
    virtual BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) = 0;
    virtual BOOL GetClientRect(HWND hwnd, RECT* rect) = 0;
    virtual int GetSystemMetrics(int index) = 0;
    virtual BOOL DrawIcon(HDC dc, int x, int y, HICON icon) = 0;

    // Resources, boxes, the cursor, the module.
    virtual int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) = 0;
    virtual HICON LoadIconA(UINT resourceId) = 0;
    virtual HIMAGELIST ImageList_LoadImageA(UINT resourceId, int cx, int grow, COLORREF mask,
                                            UINT type, UINT flags) = 0;
    virtual BOOL ImageList_Destroy(HIMAGELIST list) = 0;
    // Shows the wait cursor or the normal arrow now.
    virtual void SetWaitCursor(bool wait) = 0;
    virtual DWORD GetModuleFileNameA(LPSTR buffer, DWORD size) = 0;
    // The thread's own message loop: GetMessage answers 0 for WM_QUIT, -1 on failure.
    virtual BOOL GetMessageA(MSG* msg) = 0;
    virtual BOOL TranslateMessage(const MSG* msg) = 0;
    virtual LRESULT DispatchMessageA(const MSG* msg) = 0;
};

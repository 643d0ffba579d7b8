// The simulated machine's windows: dialogs built from the program's own
// resource script, so they have the controls, texts and styles of the real
// templates, and keep their controls' state (text, enabled, visible, items,
// selection, focus); message boxes; painting; the cursor.
//
// Modal loops and message boxes wait for the user: they ask the SimInput for
// the next action (the scripted user, SimUser), as the real message loops
// would deliver it.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"
#include "tests/sim/SimCallRecord.h"
#include "tests/sim/SimProcess.h"

class ResourceScript;

struct SimScriptExhausted : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct SimItem {
    std::string text;
    int image = -1;
    UINT state = 0;
    LPARAM data = 0;
};

struct SimWindow {
    HWND hwnd = nullptr;
    HWND parent = nullptr;  // the dialog of a control; the owner of a dialog
    int id = 0;
    int templateId = 0;  // dialogs only
    std::string className;
    std::string text;
    std::set<std::string> styles;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    bool visible = false;
    bool enabled = true;
    bool iconic = false;
    bool painted = false;
    bool destroyed = false;
    // Dialogs
    IMessageTarget* target = nullptr;
    bool ended = false;
    INT_PTR result = 0;
    HWND focus = nullptr;
    HICON bigIcon = nullptr, smallIcon = nullptr;
    // List views, list boxes, tab controls
    std::vector<SimItem> items;
    int currentSelection = -1;  // list boxes
    DWORD extendedStyle = 0;
    LPARAM iconSpacing = 0;
    HIMAGELIST imageList = nullptr;

    bool Has(const std::string& style) const { return styles.count(style) != 0; }
};

struct SimMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
    int answer;
    uint64_t time;
};

struct SimDrawnIcon {
    HWND window;
    int x, y;
    HICON icon;
};

// What a waiting loop asks for: the user's next action.
class SimInput {
public:
    // Performs the user's next action while `box` is open (null: while a
    // dialog's modal loop waits). Answers the button that answers the box, or 0.
    virtual int Next(const SimMessageBox* box) = 0;
    // Whether the user has anything more to do.
    virtual bool HasMore() const = 0;
    // The user's next action while the program's own loop waits in
    // GetMessage: a key comes as the message that the thread's queue gives;
    // any other action is performed on the way. False once the user has
    // nothing more to do.
    virtual bool NextMessage(MSG* msg) = 0;

protected:
    ~SimInput() = default;
};

class SimWindows : public IWindowSystem {
public:
    SimWindows(SimCallRecord& record, SimProcess& process);

    // The scripted user, who answers the waiting loops.
    SimInput* input = nullptr;
    // Where the dialog templates come from: the program's own resource
    // script unless a test gives another.
    const ResourceScript* resources = nullptr;

    std::vector<SimMessageBox> boxes;
    std::vector<SimDrawnIcon> drawnIcons;
    std::vector<std::string> unhandledMessages;
    bool waitCursor = false;
    // Image lists destroyed twice, or never created.
    std::vector<std::string> imageListErrors;
    // Windows that their WM_PAINT left invalid, so that the system would
    // send it again and again.
    std::vector<std::string> paintErrors;

    // The dialog made from `templateId` most recently, if any.
    SimWindow* Dialog(int templateId);
    SimWindow* Control(int templateId, int controlId);
    SimWindow* Window(HWND hwnd);
    SimWindow& Checked(HWND hwnd);
    // The window, when it is one that has not been destroyed; otherwise none,
    // with ERROR_INVALID_WINDOW_HANDLE for the caller, as Windows answers.
    SimWindow* Live(HWND hwnd);
    // The controls of a dialog that are there, in the template's order.
    std::vector<HWND> ChildrenOf(HWND dialog) const;
    // The window that has the keyboard focus (the thread's), if any.
    HWND Focus() const { return m_focus; }
    // The dialog that has the user's attention: the topmost visible, enabled one.
    SimWindow* ActiveDialog();
    // The push button that Enter presses in `dialog`: the focused one, or the default one.
    int EnterCommand(SimWindow& dialog);
    // The calls into the program: a message for a dialog's procedure, and a
    // look at a message before the dialog manager sees it.
    bool ToProgram(SimWindow& dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The thread's message-filter hooks, the last installed first, as the
    // system calls them from its loops and from IsDialogMessage.
    bool CallMessageFilter(int code, MSG* msg);
    // Message-filter hooks installed and not removed.
    int LiveHooks() const { return static_cast<int>(m_hooks.size()); }
    // A control's notification to its dialog (WM_NOTIFY).
    void Notify(SimWindow& dialog, SimWindow& control, UINT code, int item);
    // A pumping message loop paints every window that waits for it.
    void PaintPending();
    // Image lists alive now.
    int LiveImageLists() const { return static_cast<int>(m_imageLists.size()); }
    const std::set<HIMAGELIST>& ImageLists() const { return m_imageLists; }
    // Dialogs created and not destroyed yet.
    int LiveWindows() const;
    // The machine restarts: every window and image list is gone.
    void Restart();

    // ---- IWindowSystem
    INT_PTR DialogBoxParam(UINT templateId, HWND parent, IMessageTarget* target) override;
    HWND CreateDialogParam(UINT templateId, HWND parent, IMessageTarget* target) override;
    BOOL EndDialog(HWND hwnd, INT_PTR result) override;
    BOOL DestroyWindow(HWND hwnd) override;
    IMessageTarget* DialogTarget(HWND dialog) override;
    HHOOK SetMessageFilterHook(IMessageFilterCallback* filter) override;
    BOOL UnhookMessageFilter(HHOOK hook) override;
    // The dialog manager's keys: Enter, Escape, the space bar, the list
    // view's arrows, and Alt+F4 (DefWindowProc's close).
    BOOL IsDialogMessageA(HWND dialog, MSG* msg) override;
    BOOL ShowWindow(HWND hwnd, int cmdShow) override;
    BOOL RedrawWindow(HWND hwnd, UINT flags) override;
    BOOL IsWindowVisible(HWND hwnd) override;
    BOOL IsIconic(HWND hwnd) override;
    BOOL EnableWindow(HWND hwnd, BOOL enable) override;
    BOOL IsWindowEnabled(HWND hwnd) override;
    LONG GetWindowStyle(HWND hwnd) override;
    HWND GetDlgItem(HWND dialog, int id) override;
    HWND GetAncestor(HWND hwnd, UINT flags) override;
    HWND SetFocus(HWND hwnd) override;
    LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    // Posted messages are only logged ("post 108 0x0"): nothing the program
    // posts needs delivering in the simulation.
    BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL SetWindowTextA(HWND hwnd, LPCSTR text) override;
    int GetWindowTextA(HWND hwnd, LPSTR buffer, int size) override;
    int GetWindowTextLengthA(HWND hwnd) override;
    HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) override;
    BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) override;
    BOOL GetClientRect(HWND hwnd, RECT* rect) override;
    int GetSystemMetrics(int index) override;
    BOOL DrawIcon(HDC dc, int x, int y, HICON icon) override;
    int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) override;
    HICON LoadIconA(UINT resourceId) override;
    HIMAGELIST ImageList_LoadImageA(UINT resourceId, int cx, int grow, COLORREF mask, UINT type,
                                    UINT flags) override;
    BOOL ImageList_Destroy(HIMAGELIST list) override;
    void SetWaitCursor(bool wait) override;
    DWORD GetModuleFileNameA(LPSTR buffer, DWORD size) override;
    // The program's own loop waits for the user; with nothing more to do it
    // would wait for ever for a WM_QUIT, which nothing of the program posts.
    BOOL GetMessageA(MSG* msg) override;
    BOOL TranslateMessage(const MSG* msg) override;
    LRESULT DispatchMessageA(const MSG* msg) override;

private:
    // A call that the program made (`program`) is recorded, and answered
    // with an injected fault's error (Entered) or never fails (Noted).
    DWORD Entered(bool program, const char* operation, const std::string& arguments);
    void Noted(bool program, const char* operation, const std::string& arguments);
    HWND CreateFromTemplate(UINT templateId, HWND parent, IMessageTarget* target);
    void Initialise(SimWindow& dialog);
    void DialogManagerKey(SimWindow& dialog, const MSG& msg);
    void Destroy(SimWindow& dialog);
    // What the dialog manager and DefWindowProc do with a message that the
    // dialog's own procedure left unhandled.
    LRESULT DefaultDialogMessage(SimWindow& dialog, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT ControlMessage(SimWindow& control, UINT message, WPARAM wParam, LPARAM lParam);
    SimInput& Input();
    const ResourceScript& Resources() const;

    SimCallRecord& m_record;
    SimProcess& m_process;
    std::map<uintptr_t, SimWindow> m_windows;
    std::vector<HWND> m_zOrder;  // dialogs, bottom to top
    std::set<HIMAGELIST> m_imageLists;
    // The device contexts that BeginPaint gave and EndPaint has not taken back.
    std::map<HDC, HWND> m_paintContexts;
    HWND m_focus = nullptr;
    std::vector<std::pair<HHOOK, IMessageFilterCallback*>> m_hooks;  // first installed first
    uintptr_t m_nextHook = 0x90000;
    uintptr_t m_nextHandle = 0x10000;
    uintptr_t m_nextImageList = 0x80000;
};

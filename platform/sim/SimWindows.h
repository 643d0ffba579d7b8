// The simulated machine's windows, and the scripted user who works them.
//
// Dialogs are built from the program's own resource script, so they have the
// controls, texts and styles of the real templates, and they keep their
// controls' state: text, enabled, visible, items, selection, focus. The user's
// script is a queue of actions (click, key, close box, answer the next message
// box, plug in a device) that the modal loops and message boxes consume in
// order, as the real message loops would deliver them. A loop that finds the
// script empty while it still waits throws SimScriptExhausted.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/WindowSystem.h"

class SimMachine;

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

// One step of the scripted user.
struct SimAction {
    enum Kind { Click, ClickItem, Key, AltF4, CloseBox, Minimize, Answer, Arrival, Removal, Check } kind;
    int id = 0;     // control id, key code or answer
    int index = 0;  // list item
    std::string path;  // device path
    std::function<void()> check;
};

class SimWindows : public IWindowSystem {
public:
    explicit SimWindows(SimMachine& machine);

    // ---- the scripted user
    SimWindows& Click(int controlId);
    // A click on item `index` of a list view, or on its empty area with -1.
    SimWindows& ClickItem(int listId, int index);
    SimWindows& Press(int virtualKey);
    SimWindows& AltF4();
    SimWindows& CloseBox();
    SimWindows& Minimize();
    // Answers the next message box by pressing its button with this id.
    SimWindows& Answer(int buttonId);
    // The system announces a USB device interface with this device path.
    SimWindows& PlugIn(const std::string& devicePath);
    SimWindows& Unplug(const std::string& devicePath);
    // Runs a test's own look at the screen at this point of the script.
    SimWindows& Then(std::function<void()> check);
    std::deque<SimAction> script;

    // ---- what a test looks at
    std::vector<SimMessageBox> boxes;
    std::vector<SimDrawnIcon> drawnIcons;
    // A time line of what happened on screen: "show 130", "hide 130",
    // "paint 130", "open 102", "end 102 1", "cursor wait", "cursor normal",
    // each with the clock at that moment, and the platform calls too.
    struct Event {
        uint64_t time;
        std::string what;
    };
    std::vector<Event> events;
    std::vector<std::string> unhandledMessages;
    bool waitCursor = false;

    // The dialog made from `templateId` most recently, if any.
    SimWindow* Dialog(int templateId);
    SimWindow* Control(int templateId, int controlId);
    SimWindow* Window(HWND hwnd);
    // Whether `what` happened, and when (the first time).
    bool Happened(const std::string& what) const;
    uint64_t TimeOf(const std::string& what) const;
    size_t IndexOf(const std::string& what) const;  // npos when it did not happen

    // Device registrations, kept for the spooler's device operations.
    struct Registration {
        HDEVNOTIFY handle;
        HWND window;
        GUID classGuid;
        bool active;
    };
    std::vector<Registration> registrations;

    // ---- IWindowSystem
    INT_PTR DialogBoxParam(UINT templateId, HWND parent, IMessageTarget* target) override;
    HWND CreateDialogParam(UINT templateId, HWND parent, IMessageTarget* target) override;
    BOOL EndDialog(HWND hwnd, INT_PTR result) override;
    BOOL DestroyWindow(HWND hwnd) override;
    BOOL ShowWindow(HWND hwnd, int cmdShow) override;
    BOOL RedrawWindow(HWND hwnd, UINT flags) override;
    BOOL IsWindowVisible(HWND hwnd) override;
    BOOL IsIconic(HWND hwnd) override;
    BOOL EnableWindow(HWND hwnd, BOOL enable) override;
    BOOL IsWindowEnabled(HWND hwnd) override;
    HWND GetDlgItem(HWND dialog, int id) override;
    HWND SetFocus(HWND hwnd) override;
    LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
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
    int RunMessageLoop() override;

    void Log(const std::string& what);

private:
    HWND CreateFromTemplate(UINT templateId, HWND parent, IMessageTarget* target);
    void Initialise(SimWindow& dialog);
    void Destroy(SimWindow& dialog);
    // What the dialog manager and DefWindowProc do with a message that the
    // dialog's own procedure left unhandled.
    LRESULT DefaultDialogMessage(SimWindow& dialog, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT ControlMessage(SimWindow& control, UINT message, WPARAM wParam, LPARAM lParam);
    void Perform(const SimAction& action);
    void PerformKey(SimWindow& dialog, int key);
    void Notify(SimWindow& dialog, SimWindow& control, UINT code, int item);
    void DeliverDevice(const SimAction& action);
    // The dialog that has the user's attention: the topmost visible, enabled one.
    SimWindow* ActiveDialog();
    // A pumping message loop paints every window that waits for it.
    void PaintPending();
    SimWindow& Checked(HWND hwnd);

    SimMachine& m_machine;
    std::map<uintptr_t, SimWindow> m_windows;
    std::vector<HWND> m_zOrder;  // dialogs, bottom to top
    uintptr_t m_nextHandle = 0x10000;
};

#include "tests/sim/SimWindows.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "tests/sim/ResourceScript.h"
#include "tests/sim/SimCode.h"

namespace {

// What Windows answers for a handle that is no window.
constexpr DWORD kInvalidWindowHandle = 1400;  // ERROR_INVALID_WINDOW_HANDLE

// Dialog base units of "MS Shell Dlg" at 8 points on a 96 DPI screen.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

std::string Hex(UINT value)
{
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

std::string Label(const SimWindow& window)
{
    return window.target != nullptr ? std::to_string(window.templateId) : "control " + std::to_string(window.id);
}

void CopyText(const std::string& text, LPSTR buffer, size_t size)
{
    if (buffer == nullptr || size == 0) return;
    size_t length = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.c_str(), length);
    buffer[length] = '\0';
}

// The style bits of the styles that the program asks windows about.
LONG StyleBits(const std::set<std::string>& styles)
{
    static const std::map<std::string, LONG> bits = {
        {"WS_VISIBLE", 0x10000000}, {"WS_DISABLED", 0x08000000}, {"WS_CAPTION", 0x00C00000},
        {"WS_SYSMENU", 0x00080000}, {"WS_MINIMIZEBOX", 0x00020000}, {"WS_TABSTOP", 0x00010000},
        {"LVS_SHAREIMAGELISTS", 0x0040}, {"LVS_SINGLESEL", 0x0004}, {"LBS_NOTIFY", 0x0001}, {"LBS_SORT", 0x0002},
    };
    LONG value = 0;
    for (const std::string& style : styles) {
        auto found = bits.find(style);
        if (found != bits.end()) value |= found->second;
    }
    return value;
}

}  // namespace

SimWindows::SimWindows(SimCallRecord& record, SimProcess& process) : m_record(record), m_process(process) {}

// Only the program's own calls are its operations: what the machine does
// with its windows meanwhile (a dialog's loop showing it, the user's clicks)
// is neither recorded nor failed.
DWORD SimWindows::Entered(bool program, const char* operation, const std::string& arguments)
{
    return program ? m_record.Enter(operation, arguments) : 0;
}

void SimWindows::Noted(bool program, const char* operation, const std::string& arguments)
{
    if (program) m_record.Note(operation, arguments);
}

const ResourceScript& SimWindows::Resources() const
{
    return resources != nullptr ? *resources : ResourceScript::Program();
}

SimInput& SimWindows::Input()
{
    if (input == nullptr) throw std::logic_error("the simulated windows have no user");
    return *input;
}

SimWindow* SimWindows::ActiveDialog()
{
    for (auto it = m_zOrder.rbegin(); it != m_zOrder.rend(); ++it) {
        SimWindow& window = Checked(*it);
        if (window.visible && window.enabled && !window.destroyed && !window.ended) return &window;
    }
    return nullptr;
}

int SimWindows::EnterCommand(SimWindow& dialog)
{
    SimWindow* focused = dialog.focus != nullptr ? Window(dialog.focus) : nullptr;
    if (focused != nullptr && focused->className == "Button" && focused->hwnd != dialog.hwnd) return focused->id;
    for (auto& [handle, window] : m_windows)
        if (window.parent == dialog.hwnd && !window.target && !window.destroyed && window.Has("BS_DEFPUSHBUTTON"))
            return window.id;
    return IDOK;
}

void SimWindows::PaintPending()
{
    // A copy: painting may open and close windows.
    const std::vector<HWND> order = m_zOrder;
    for (HWND hwnd : order) {
        SimWindow* window = Window(hwnd);
        if (window == nullptr || window->destroyed || !window->visible || window->painted) continue;
        LRESULT result = 0;
        if (!ToProgram(*window, WM_PAINT, 0, 0, result)) DefaultDialogMessage(*window, WM_PAINT, 0, 0);
        if (!window->painted) {
            // The system sends WM_PAINT again for as long as the window stays
            // invalid: the program would spin instead of waiting.
            paintErrors.push_back("dialog " + std::to_string(window->templateId) +
                                  " handled WM_PAINT without validating itself (no BeginPaint)");
            window->painted = true;
        }
    }
}

bool SimWindows::ToProgram(SimWindow& dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    sim::ProgramCode inProgram;
    return dialog.target->OnWindowMessage(dialog.hwnd, message, wParam, lParam, result);
}

bool SimWindows::CallMessageFilter(int code, MSG* msg)
{
    // A copy: a filter may install or remove hooks. Each hook passes the
    // message on (CallNextHookEx) unless it answers that it processed it.
    const auto hooks = m_hooks;
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
        sim::ProgramCode inProgram;
        if (it->second->OnMessageFilter(code, msg)) return true;
    }
    return false;
}

void SimWindows::Notify(SimWindow& dialog, SimWindow& control, UINT code, int item)
{
    NMITEMACTIVATE notification{};
    notification.hdr.hwndFrom = control.hwnd;
    notification.hdr.idFrom = static_cast<UINT_PTR>(control.id);
    notification.hdr.code = code;
    notification.iItem = item;
    SendMessageA(dialog.hwnd, WM_NOTIFY, static_cast<WPARAM>(control.id), reinterpret_cast<LPARAM>(&notification));
}

IMessageTarget* SimWindows::DialogTarget(HWND dialog)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "DialogTarget", "");
    SimWindow* window = Window(dialog);
    return window != nullptr && !window->destroyed ? window->target : nullptr;
}

HHOOK SimWindows::SetMessageFilterHook(IMessageFilterCallback* filter)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    if (DWORD error = Entered(program, "SetMessageFilterHook", "")) return m_process.SetLastError(error), nullptr;
    HHOOK hook = reinterpret_cast<HHOOK>(m_nextHook);
    m_nextHook += 4;
    m_hooks.emplace_back(hook, filter);
    m_record.Log("hook message filter");
    return hook;
}

BOOL SimWindows::UnhookMessageFilter(HHOOK hook)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "UnhookMessageFilter", "");
    auto found = std::find_if(m_hooks.begin(), m_hooks.end(), [hook](const auto& entry) { return entry.first == hook; });
    if (found == m_hooks.end()) return m_process.SetLastError(1404 /* ERROR_INVALID_HOOK_HANDLE */), FALSE;
    m_hooks.erase(found);
    m_record.Log("unhook message filter");
    return TRUE;
}

BOOL SimWindows::IsDialogMessageA(HWND hwnd, MSG* msg)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "IsDialogMessageA", Hex(msg->message));
    // No dialog: no hook is called, and the message is not the dialog's.
    SimWindow* dialog = Live(hwnd);
    if (dialog == nullptr) return FALSE;
    // The thread's message filter sees the message first; one that
    // processed it ends it here.
    if (CallMessageFilter(MSGF_DIALOGBOX, msg)) {
        if (msg->message == WM_KEYDOWN) m_record.Log("key dropped " + Hex(static_cast<UINT>(msg->wParam)));
        return TRUE;
    }
    // A message for a window that is neither the dialog nor one of its
    // controls is not the dialog's.
    SimWindow* window = Live(msg->hwnd);
    if (window == nullptr || (window->hwnd != dialog->hwnd && window->parent != dialog->hwnd)) return FALSE;
    DialogManagerKey(*dialog, *msg);
    return TRUE;
}

void SimWindows::DialogManagerKey(SimWindow& dialog, const MSG& msg)
{
    if (msg.message == WM_SYSKEYDOWN) {
        // Alt+F4: DefWindowProc closes the window.
        if (msg.wParam == VK_F4) SendMessageA(dialog.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    if (msg.message != WM_KEYDOWN) return;
    const int key = static_cast<int>(msg.wParam);

    // Keys that the focused control handles itself.
    SimWindow& focused = Checked(msg.hwnd);
    if (focused.className == "SysListView32" && (key == VK_HOME || key == VK_UP || key == VK_DOWN)) {
        if (focused.items.empty()) return;
        int current = -1;
        for (size_t i = 0; i < focused.items.size(); ++i)
            if (focused.items[i].state & LVIS_FOCUSED) current = static_cast<int>(i);
        int last = static_cast<int>(focused.items.size()) - 1;
        int next = key == VK_HOME ? 0 : key == VK_UP ? std::max(0, current - 1) : std::min(last, current + 1);
        for (SimItem& item : focused.items) item.state &= ~(LVIS_SELECTED | LVIS_FOCUSED);
        focused.items[static_cast<size_t>(next)].state |= LVIS_SELECTED | LVIS_FOCUSED;
        Notify(dialog, focused, LVN_ITEMCHANGED, next);
        return;
    }

    // The space bar presses the push button that has the focus, and nothing else.
    if (key == VK_SPACE) {
        if (focused.className != "Button" || focused.hwnd == dialog.hwnd || !focused.enabled) return;
        SendMessageA(dialog.hwnd, WM_COMMAND, MAKEWPARAM(focused.id, BN_CLICKED), reinterpret_cast<LPARAM>(focused.hwnd));
        return;
    }

    // Enter presses the focused push button or else the default button;
    // Escape is the Cancel command.
    int command = 0;
    if (key == VK_RETURN)
        command = EnterCommand(dialog);
    else if (key == VK_ESCAPE)
        command = IDCANCEL;
    else
        return;
    SimWindow* button = Control(dialog.templateId, command);
    if (button != nullptr && !button->enabled) return;
    SendMessageA(dialog.hwnd, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button ? button->hwnd : nullptr));
}

SimWindow* SimWindows::Window(HWND hwnd)
{
    auto found = m_windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return found != m_windows.end() ? &found->second : nullptr;
}

SimWindow* SimWindows::Live(HWND hwnd)
{
    SimWindow* window = Window(hwnd);
    if (window == nullptr || window->destroyed) {
        m_process.SetLastError(kInvalidWindowHandle);
        return nullptr;
    }
    return window;
}

SimWindow& SimWindows::Checked(HWND hwnd)
{
    SimWindow* window = Window(hwnd);
    if (window == nullptr) throw std::logic_error("not a window handle");
    return *window;
}

std::vector<HWND> SimWindows::ChildrenOf(HWND dialog) const
{
    std::vector<HWND> children;
    for (const auto& [handle, window] : m_windows)
        if (window.parent == dialog && window.target == nullptr && !window.destroyed) children.push_back(window.hwnd);
    return children;
}

SimWindow* SimWindows::Dialog(int templateId)
{
    SimWindow* newest = nullptr;
    for (auto& [handle, window] : m_windows)
        if (window.target != nullptr && window.templateId == templateId) newest = &window;
    return newest;
}

SimWindow* SimWindows::Control(int templateId, int controlId)
{
    SimWindow* dialog = Dialog(templateId);
    if (dialog == nullptr) return nullptr;
    for (auto& [handle, window] : m_windows)
        if (window.parent == dialog->hwnd && window.target == nullptr && window.id == controlId) return &window;
    return nullptr;
}

// ---------------------------------------------------------------- dialogs

HWND SimWindows::CreateFromTemplate(UINT templateId, HWND parent, IMessageTarget* target)
{
    const RcDialog* dialogTemplate = Resources().Dialog(static_cast<int>(templateId));
    if (dialogTemplate == nullptr) {
        m_process.SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
        return nullptr;
    }
    auto newHandle = [this]() {
        uintptr_t value = m_nextHandle;
        m_nextHandle += 2;
        return value;
    };

    uintptr_t handle = newHandle();
    SimWindow& dialog = m_windows[handle];
    dialog.hwnd = reinterpret_cast<HWND>(handle);
    dialog.parent = parent;
    dialog.templateId = static_cast<int>(templateId);
    dialog.className = "#32770";
    dialog.text = dialogTemplate->caption;
    dialog.styles = dialogTemplate->styles;
    dialog.width = dialogTemplate->width;
    dialog.height = dialogTemplate->height;
    dialog.target = target;
    for (const RcControl& source : dialogTemplate->controls) {
        uintptr_t controlHandle = newHandle();
        SimWindow& control = m_windows[controlHandle];
        control.hwnd = reinterpret_cast<HWND>(controlHandle);
        control.parent = dialog.hwnd;
        control.id = source.id;
        control.className = source.className;
        control.text = source.text;
        control.styles = source.styles;
        control.x = source.x;
        control.y = source.y;
        control.width = source.width;
        control.height = source.height;
        // A control of a template is visible unless its style says NOT WS_VISIBLE.
        control.visible = !source.styles.count("NOT WS_VISIBLE");
        control.enabled = !source.styles.count("WS_DISABLED");
    }
    m_zOrder.push_back(dialog.hwnd);
    m_record.Log("create " + std::to_string(templateId));
    return dialog.hwnd;
}

void SimWindows::Initialise(SimWindow& dialog)
{
    // The control that the dialog manager offers: the first one, in the
    // template's order, that is visible, enabled and a tab stop.
    HWND firstTabStop = nullptr;
    for (auto& [handle, window] : m_windows)
        if (!firstTabStop && window.parent == dialog.hwnd && !window.target && window.Has("WS_TABSTOP") &&
            window.enabled && window.visible)
            firstTabStop = window.hwnd;
    LRESULT result = 0;
    bool handled = ToProgram(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), 0, result);
    // TRUE from WM_INITDIALOG: the dialog manager gives that control the
    // focus. FALSE, also from a procedure that leaves the message unhandled:
    // the procedure has set the focus itself, or wants none.
    if (handled && result != 0 && firstTabStop != nullptr && !dialog.destroyed) {
        dialog.focus = firstTabStop;
        m_focus = firstTabStop;
    }
}

INT_PTR SimWindows::DialogBoxParam(UINT templateId, HWND parent, IMessageTarget* target)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    if (DWORD error = Entered(program, "DialogBoxParam", std::to_string(templateId))) {
        m_process.SetLastError(error);
        return -1;  // no dialog
    }
    HWND hwnd = CreateFromTemplate(templateId, parent, target);
    if (hwnd == nullptr) return -1;
    SimWindow& dialog = Checked(hwnd);
    if (parent != nullptr) EnableWindow(parent, FALSE);
    m_record.Log("open " + std::to_string(templateId));
    Initialise(dialog);
    if (!dialog.ended) ShowWindow(hwnd, SW_SHOW);
    while (!dialog.ended) {
        PaintPending();
        Input().Next(nullptr);
    }
    INT_PTR result = dialog.result;
    if (parent != nullptr) EnableWindow(parent, TRUE);
    Destroy(dialog);
    return result;
}

HWND SimWindows::CreateDialogParam(UINT templateId, HWND parent, IMessageTarget* target)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    if (DWORD error = Entered(program, "CreateDialogParam", std::to_string(templateId))) {
        m_process.SetLastError(error);
        return nullptr;
    }
    HWND hwnd = CreateFromTemplate(templateId, parent, target);
    if (hwnd == nullptr) return nullptr;
    SimWindow& dialog = Checked(hwnd);
    Initialise(dialog);
    if (dialog.Has("WS_VISIBLE") && !dialog.destroyed) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL SimWindows::EndDialog(HWND hwnd, INT_PTR result)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "EndDialog", std::to_string(result));
    SimWindow* dialog = Live(hwnd);
    if (dialog == nullptr) return FALSE;
    if (dialog->target == nullptr) return m_process.SetLastError(kInvalidWindowHandle), FALSE;
    dialog->ended = true;
    dialog->result = result;
    // The owner is enabled first, modal dialog or modeless, whether or not
    // the dialog disabled it; then the dialog disappears at once, and its
    // loop returns when the handler does. Not logged as a hide: that is the
    // program's own ShowWindow.
    if (SimWindow* owner = Live(dialog->parent); owner != nullptr && !owner->enabled) {
        owner->enabled = true;
        m_record.Log("enable " + Label(*owner));
    }
    dialog->visible = false;
    m_record.Log("end " + std::to_string(dialog->templateId) + " " + std::to_string(result));
    return TRUE;
}

void SimWindows::Destroy(SimWindow& dialog)
{
    if (dialog.destroyed) return;
    LRESULT ignored = 0;
    ToProgram(dialog, WM_DESTROY, 0, 0, ignored);
    dialog.destroyed = true;
    dialog.visible = false;
    if (m_focus == dialog.hwnd) m_focus = nullptr;
    for (auto& [handle, window] : m_windows) {
        if (window.parent != dialog.hwnd || window.target != nullptr || window.destroyed) continue;
        window.destroyed = true;
        window.visible = false;
        if (m_focus == window.hwnd) m_focus = nullptr;
        // A list view destroys the image lists it was given, unless they are shared.
        if (window.className == "SysListView32" && window.imageList != nullptr && !window.Has("LVS_SHAREIMAGELISTS"))
            ImageList_Destroy(window.imageList);
    }
    m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), dialog.hwnd), m_zOrder.end());
    m_record.Log("destroy " + std::to_string(dialog.templateId));
}

void SimWindows::Restart()
{
    for (auto& [handle, window] : m_windows) {
        window.destroyed = true;
        window.visible = false;
    }
    m_zOrder.clear();
    m_imageLists.clear();
    m_paintContexts.clear();
    m_hooks.clear();
    m_focus = nullptr;
    waitCursor = false;
}

int SimWindows::LiveWindows() const
{
    return static_cast<int>(std::count_if(m_windows.begin(), m_windows.end(), [](const auto& entry) {
        return entry.second.target != nullptr && !entry.second.destroyed;
    }));
}

BOOL SimWindows::DestroyWindow(HWND hwnd)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "DestroyWindow", "");
    SimWindow* window = Live(hwnd);
    if (window == nullptr) return FALSE;
    if (window->target != nullptr) Destroy(*window);
    window->destroyed = true;
    window->visible = false;
    if (m_focus == hwnd) m_focus = nullptr;
    return TRUE;
}

// ---------------------------------------------------------------- windows and controls

BOOL SimWindows::ShowWindow(HWND hwnd, int cmdShow)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "ShowWindow", std::to_string(cmdShow));
    // A handle that is no window, such as that of a dialog that could not be
    // made or one that is gone.
    SimWindow* live = Live(hwnd);
    if (live == nullptr) return FALSE;
    SimWindow& window = *live;
    bool wasVisible = window.visible;
    if (cmdShow == SW_HIDE) {
        window.visible = false;
        if (wasVisible) m_record.Log("hide " + Label(window));
    } else if (cmdShow == SW_MINIMIZE) {
        window.visible = true;
        window.iconic = true;
        // Drawn anew as an icon.
        window.painted = false;
        m_record.Log("minimize " + Label(window));
    } else {
        window.visible = true;
        window.iconic = false;
        if (!wasVisible) {
            window.painted = false;
            m_record.Log("show " + Label(window));
        }
        if (window.target != nullptr) {
            m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), hwnd), m_zOrder.end());
            m_zOrder.push_back(hwnd);
        }
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL SimWindows::RedrawWindow(HWND hwnd, UINT flags)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    if (DWORD error = Entered(program, "RedrawWindow", Hex(flags))) return m_process.SetLastError(error), FALSE;
    SimWindow* window = Live(hwnd);
    if (window == nullptr) return FALSE;
    if ((flags & RDW_UPDATENOW) && window->visible) {
        window->painted = true;
        m_record.Log("paint " + Label(*window));
    }
    return TRUE;
}

BOOL SimWindows::IsWindowVisible(HWND hwnd)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "IsWindowVisible", "");
    SimWindow* window = Live(hwnd);
    if (window == nullptr || !window->visible) return FALSE;
    return window->target != nullptr || window->parent == nullptr ? TRUE : IsWindowVisible(window->parent);
}

BOOL SimWindows::IsIconic(HWND hwnd)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "IsIconic", "");
    SimWindow* window = Live(hwnd);
    return window != nullptr && window->iconic ? TRUE : FALSE;
}

BOOL SimWindows::EnableWindow(HWND hwnd, BOOL enable)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "EnableWindow", std::to_string(enable));
    SimWindow* live = Live(hwnd);
    if (live == nullptr) return FALSE;
    SimWindow& window = *live;
    bool wasDisabled = !window.enabled;
    window.enabled = enable != FALSE;
    if (wasDisabled == window.enabled) m_record.Log(std::string(enable ? "enable " : "disable ") + Label(window));
    return wasDisabled ? TRUE : FALSE;
}

BOOL SimWindows::IsWindowEnabled(HWND hwnd)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "IsWindowEnabled", "");
    SimWindow* window = Live(hwnd);
    return window != nullptr && window->enabled ? TRUE : FALSE;
}

LONG SimWindows::GetWindowStyle(HWND hwnd)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "GetWindowStyle", "");
    SimWindow* live = Live(hwnd);
    if (live == nullptr) return 0;
    SimWindow& window = *live;
    LONG style = StyleBits(window.styles);
    if (window.visible) style |= 0x10000000;
    if (!window.enabled) style |= 0x08000000;
    return style;
}

HWND SimWindows::GetDlgItem(HWND dialog, int id)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "GetDlgItem", std::to_string(id));
    if (Live(dialog) == nullptr) return nullptr;
    for (auto& [handle, window] : m_windows)
        if (window.parent == dialog && window.target == nullptr && window.id == id && !window.destroyed) return window.hwnd;
    return nullptr;
}

HWND SimWindows::GetAncestor(HWND hwnd, UINT flags)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "GetAncestor", std::to_string(flags));
    SimWindow* window = Live(hwnd);
    if (window == nullptr) return nullptr;
    // A dialog is a top-level window (its parent is its owner); a control's
    // parent is its dialog.
    const bool control = window->target == nullptr && window->parent != nullptr;
    if (flags == GA_PARENT) return control ? window->parent : nullptr;
    return control ? window->parent : window->hwnd;
}

HWND SimWindows::SetFocus(HWND hwnd)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "SetFocus", "");
    SimWindow* window = Live(hwnd);
    if (window == nullptr) return nullptr;
    SimWindow& dialog = window->target != nullptr ? *window : Checked(window->parent);
    // A disabled or minimised window, or one in a disabled or minimised
    // dialog, takes no focus.
    if (!window->enabled || window->iconic || !dialog.enabled || dialog.iconic) return nullptr;
    HWND previous = m_focus;
    dialog.focus = hwnd;
    m_focus = hwnd;
    return previous;
}

LRESULT SimWindows::SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    SimWindow* live = Live(hwnd);
    if (live == nullptr) {
        Noted(program, "SendMessageA", "gone " + Hex(message));
        return 0;
    }
    SimWindow& window = *live;
    // Only what a control must find memory for can fail: the control then
    // answers its own failure value, and nothing changes.
    LRESULT failure = 0;
    bool canFail = window.target == nullptr;
    switch (message) {
    case WM_SETTEXT: failure = FALSE; break;
    case LB_INSERTSTRING: failure = -2; break;  // LB_ERRSPACE
    case LVM_INSERTITEMA:
    case TCM_INSERTITEMA: failure = -1; break;
    default: canFail = false; break;
    }
    if (!canFail) {
        Noted(program, "SendMessageA", Label(window) + " " + Hex(message));
    } else if (DWORD error = Entered(program, "SendMessageA", Label(window) + " " + Hex(message))) {
        m_process.SetLastError(error);
        return failure;
    }
    if (window.target == nullptr) return ControlMessage(window, message, wParam, lParam);
    LRESULT result = 0;
    if (ToProgram(window, message, wParam, lParam, result)) return result;
    return DefaultDialogMessage(window, message, wParam, lParam);
}

LRESULT SimWindows::DefaultDialogMessage(SimWindow& dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETICON: {
        HICON& slot = wParam == ICON_BIG ? dialog.bigIcon : dialog.smallIcon;
        HICON previous = slot;
        slot = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(previous);
    }
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        return ControlMessage(dialog, message, wParam, lParam);
    case WM_SETCURSOR:
        // DefWindowProc puts the class's cursor, the arrow, back.
        if (waitCursor) SetWaitCursor(false);
        return FALSE;
    case WM_ICONERASEBKGND:
        m_record.Log("erase icon background " + Label(dialog));
        return 1;
    case WM_PAINT:
        dialog.painted = true;
        m_record.Log("paint " + Label(dialog));
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) return SendMessageA(dialog.hwnd, WM_CLOSE, 0, 0);
        // Minimised, the window waits to be painted as an icon: the next
        // pumping loop sends it WM_PAINT.
        if ((wParam & 0xFFF0) == SC_MINIMIZE) ShowWindow(dialog.hwnd, SW_MINIMIZE);
        return 0;
    case WM_CLOSE: {
        // The dialog manager turns the close command into Cancel, unless the
        // Cancel button is there and disabled.
        HWND cancel = GetDlgItem(dialog.hwnd, IDCANCEL);
        if (cancel != nullptr && !Checked(cancel).enabled) return 0;
        return SendMessageA(dialog.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
    }
    case WM_INITDIALOG:
    case WM_DESTROY:
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DEVICECHANGE:
    case WM_QUERYDRAGICON:
        return 0;
    default:
        unhandledMessages.push_back("dialog " + std::to_string(dialog.templateId) + " " + Hex(message));
        return 0;
    }
}

LRESULT SimWindows::ControlMessage(SimWindow& control, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::vector<SimItem>& items = control.items;
    int count = static_cast<int>(items.size());
    int index = static_cast<int>(static_cast<INT_PTR>(wParam));
    bool valid = index >= 0 && index < count;
    switch (message) {
    case WM_SETTEXT:
        control.text = lParam != 0 ? reinterpret_cast<LPCSTR>(lParam) : "";
        return TRUE;
    case WM_GETTEXT:
        CopyText(control.text, reinterpret_cast<LPSTR>(lParam), wParam);
        return static_cast<LRESULT>(std::min(control.text.size(), wParam > 0 ? wParam - 1 : 0));
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(control.text.size());
    default:
        break;
    }

    if (control.className == "SysListView32") {
        switch (message) {
        case LVM_SETIMAGELIST: {
            if (wParam != static_cast<WPARAM>(LVSIL_NORMAL)) return 0;
            HIMAGELIST previous = control.imageList;
            control.imageList = reinterpret_cast<HIMAGELIST>(lParam);
            return reinterpret_cast<LRESULT>(previous);
        }
        case LVM_INSERTITEMA: {
            const LVITEMA* source = reinterpret_cast<const LVITEMA*>(lParam);
            SimItem item;
            if ((source->mask & LVIF_TEXT) && source->pszText != nullptr) item.text = source->pszText;
            if (source->mask & LVIF_IMAGE) item.image = source->iImage;
            if (source->mask & LVIF_STATE) item.state = source->state & source->stateMask;
            int at = std::clamp(source->iItem, 0, count);
            items.insert(items.begin() + at, item);
            return at;
        }
        case LVM_GETITEMCOUNT:
        case LVM_GETCOUNTPERPAGE:  // in icon view, every item is on the page
            return count;
        case LVM_SETITEMSTATE: {
            const LVITEMA* change = reinterpret_cast<const LVITEMA*>(lParam);
            if (index != -1 && !valid) return FALSE;
            for (int i = 0; i < count; ++i) {
                if (index != -1 && i != index) continue;
                SimItem& item = items[static_cast<size_t>(i)];
                item.state = (item.state & ~change->stateMask) | (change->state & change->stateMask);
            }
            if (index != -1 && control.Has("LVS_SINGLESEL") && (change->state & change->stateMask & LVIS_SELECTED))
                for (int i = 0; i < count; ++i)
                    if (i != index) items[static_cast<size_t>(i)].state &= ~LVIS_SELECTED;
            return TRUE;
        }
        case LVM_GETITEMSTATE:
            return valid ? static_cast<LRESULT>(items[static_cast<size_t>(index)].state & static_cast<UINT>(lParam)) : 0;
        case LVM_GETNEXTITEM:
            for (int i = index + 1; i < count; ++i)
                if (!(lParam & LVNI_SELECTED) || (items[static_cast<size_t>(i)].state & LVIS_SELECTED)) return i;
            return -1;
        case LVM_GETITEMTEXTA: {
            LVITEMA* item = reinterpret_cast<LVITEMA*>(lParam);
            if (!valid) return 0;
            CopyText(items[static_cast<size_t>(index)].text, item->pszText, static_cast<size_t>(item->cchTextMax));
            return static_cast<LRESULT>(std::strlen(item->pszText));
        }
        case LVM_SETEXTENDEDLISTVIEWSTYLE: {
            DWORD mask = wParam != 0 ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
            DWORD previous = control.extendedStyle;
            control.extendedStyle = (previous & ~mask) | (static_cast<DWORD>(lParam) & mask);
            return previous;
        }
        case LVM_GETEXTENDEDLISTVIEWSTYLE:
            return control.extendedStyle;
        case LVM_SETICONSPACING: {
            LPARAM previous = control.iconSpacing;
            control.iconSpacing = lParam;
            return previous;
        }
        default:
            break;
        }
    } else if (control.className == "SysTabControl32") {
        if (message == TCM_INSERTITEMA) {
            const TCITEMA* tab = reinterpret_cast<const TCITEMA*>(lParam);
            SimItem item;
            if ((tab->mask & TCIF_TEXT) && tab->pszText != nullptr) item.text = tab->pszText;
            int at = std::clamp(index, 0, count);
            items.insert(items.begin() + at, item);
            return at;
        }
        if (message == TCM_GETITEMCOUNT) return count;
    } else if (control.className == "ListBox") {
        switch (message) {
        case LB_INSERTSTRING: {
            // Inserting at a position does not sort, whatever the list's style.
            int at = index == -1 ? count : index;
            if (at < 0 || at > count) return LB_ERR;
            SimItem item;
            item.text = reinterpret_cast<LPCSTR>(lParam);
            items.insert(items.begin() + at, item);
            if (control.currentSelection >= at) ++control.currentSelection;
            return at;
        }
        case LB_SETITEMDATA:
            if (!valid) return LB_ERR;
            items[static_cast<size_t>(index)].data = lParam;
            return TRUE;
        case LB_GETITEMDATA:
            return valid ? items[static_cast<size_t>(index)].data : LRESULT(LB_ERR);
        case LB_SETCURSEL:
            control.currentSelection = valid ? index : -1;
            return valid || index == -1 ? control.currentSelection : LRESULT(LB_ERR);
        case LB_GETCURSEL:
            return control.currentSelection;
        case LB_GETCOUNT:
            return count;
        case LB_GETTEXTLEN:
            return valid ? static_cast<LRESULT>(items[static_cast<size_t>(index)].text.size()) : LRESULT(LB_ERR);
        case LB_GETTEXT:
            if (!valid) return LB_ERR;
            std::strcpy(reinterpret_cast<LPSTR>(lParam), items[static_cast<size_t>(index)].text.c_str());
            return static_cast<LRESULT>(items[static_cast<size_t>(index)].text.size());
        default:
            break;
        }
    }
    unhandledMessages.push_back(control.className + " " + Hex(message));
    return 0;
}

BOOL SimWindows::PostMessageA(HWND hwnd, UINT message, WPARAM, LPARAM)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    // The thread's message queue is full.
    if (DWORD error = Entered(program, "PostMessageA", Hex(message))) return m_process.SetLastError(error), FALSE;
    SimWindow* window = Live(hwnd);
    if (window == nullptr) return FALSE;
    m_record.Log("post " + Label(*window) + " " + Hex(message));
    return TRUE;
}

BOOL SimWindows::SetWindowTextA(HWND hwnd, LPCSTR text)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    if (DWORD error = Entered(program, "SetWindowTextA", text != nullptr ? text : ""))
        return m_process.SetLastError(error), FALSE;
    if (Live(hwnd) == nullptr) return FALSE;
    return static_cast<BOOL>(SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

int SimWindows::GetWindowTextA(HWND hwnd, LPSTR buffer, int size)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    if (DWORD error = Entered(program, "GetWindowTextA", std::to_string(size))) {
        if (buffer != nullptr && size > 0) buffer[0] = '\0';
        return m_process.SetLastError(error), 0;
    }
    if (Live(hwnd) == nullptr) {
        if (buffer != nullptr && size > 0) buffer[0] = '\0';
        return 0;
    }
    return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int SimWindows::GetWindowTextLengthA(HWND hwnd)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    if (DWORD error = Entered(program, "GetWindowTextLengthA", "")) return m_process.SetLastError(error), 0;
    if (Live(hwnd) == nullptr) return 0;
    return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

// ---------------------------------------------------------------- painting

HDC SimWindows::BeginPaint(HWND hwnd, PAINTSTRUCT* paint)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    *paint = PAINTSTRUCT{};
    // No display device context is to be had.
    if (Entered(program, "BeginPaint", "")) return nullptr;
    SimWindow* window = Live(hwnd);
    if (window == nullptr) return nullptr;
    // BeginPaint validates the window: the system stops sending WM_PAINT.
    window->painted = true;
    m_record.Log("begin paint " + Label(*window));
    paint->hdc = reinterpret_cast<HDC>(m_nextHandle);
    m_nextHandle += 2;
    m_paintContexts[paint->hdc] = hwnd;
    return paint->hdc;
}

BOOL SimWindows::EndPaint(HWND hwnd, const PAINTSTRUCT* paint)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "EndPaint", "");
    // It only releases the device context that BeginPaint gave; the window
    // is as valid as BeginPaint left it.
    if (paint != nullptr && m_paintContexts.erase(paint->hdc) != 0 && Window(hwnd) != nullptr)
        m_record.Log("end paint " + Label(*Window(hwnd)));
    return TRUE;
}

BOOL SimWindows::GetClientRect(HWND hwnd, RECT* rect)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "GetClientRect", "");
    SimWindow* window = Live(hwnd);
    if (window == nullptr) return FALSE;
    // A minimised window has no client area.
    if (window->iconic) return *rect = RECT{0, 0, 0, 0}, TRUE;
    *rect = RECT{0, 0, window->width * kBaseUnitX / 4, window->height * kBaseUnitY / 8};
    return TRUE;
}

int SimWindows::GetSystemMetrics(int index)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    // A failure answers 0, with no last error.
    if (Entered(program, "GetSystemMetrics", std::to_string(index))) return 0;
    return index == SM_CXICON || index == SM_CYICON ? 32 : 0;
}

BOOL SimWindows::DrawIcon(HDC dc, int x, int y, HICON icon)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    if (DWORD error = Entered(program, "DrawIcon", "")) return m_process.SetLastError(error), FALSE;
    // Only a device context that is there takes a drawing.
    if (!m_paintContexts.count(dc)) return m_process.SetLastError(ERROR_INVALID_HANDLE), FALSE;
    drawnIcons.push_back({m_paintContexts[dc], x, y, icon});
    return TRUE;
}

// ---------------------------------------------------------------- boxes, resources, cursor

int SimWindows::MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    // Without memory for the box nothing is shown, and the answer is 0.
    if (DWORD error = Entered(program, "MessageBoxA", text ? text : "")) return m_process.SetLastError(error), 0;
    // An owner that is gone: no box, as Windows answers.
    if (owner != nullptr && Live(owner) == nullptr) return 0;
    size_t index = boxes.size();
    boxes.push_back({owner, text ? text : "", caption ? caption : "", type, 0, m_record.clock});
    m_record.Log(std::string("box ") + (text ? text : ""));
    bool ownerWasEnabled = owner != nullptr && Checked(owner).enabled;
    if (ownerWasEnabled) Checked(owner).enabled = false;

    // The box runs a message loop of its own until the user answers; device
    // broadcasts still reach their windows meanwhile.
    // A copy: what the user does meanwhile may open more boxes.
    const SimMessageBox open = boxes[index];
    int answer = 0;
    while (answer == 0) {
        PaintPending();
        answer = Input().Next(&open);
    }
    if (ownerWasEnabled) Checked(owner).enabled = true;
    boxes[index].answer = answer;
    m_record.Log("answer " + std::to_string(answer));
    return answer;
}

HICON SimWindows::LoadIconA(UINT resourceId)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    if (DWORD error = Entered(program, "LoadIconA", std::to_string(resourceId)))
        return m_process.SetLastError(error), nullptr;
    if (!Resources().icons.count(static_cast<int>(resourceId)))
        return m_process.SetLastError(1814 /* ERROR_RESOURCE_NAME_NOT_FOUND */), nullptr;
    return reinterpret_cast<HICON>(static_cast<uintptr_t>(0x70000 + resourceId));
}

HIMAGELIST SimWindows::ImageList_LoadImageA(UINT resourceId, int cx, int grow, COLORREF mask, UINT type, UINT flags)
{
    sim::SimCode inSimulator;
    std::ostringstream arguments;
    arguments << resourceId << ", " << cx << ", " << grow << ", " << Hex(mask) << ", " << type << ", " << flags;
    if (DWORD error = m_record.Enter("ImageList_LoadImageA", arguments.str()))
        return m_process.SetLastError(error), nullptr;
    if (!Resources().bitmaps.count(static_cast<int>(resourceId))) return nullptr;
    HIMAGELIST list = reinterpret_cast<HIMAGELIST>(m_nextImageList);
    m_nextImageList += 4;
    m_imageLists.insert(list);
    return list;
}

BOOL SimWindows::ImageList_Destroy(HIMAGELIST list)
{
    sim::SimCode inSimulator;
    std::ostringstream handle;
    handle << list;
    if (m_record.EnterRelease("ImageList_Destroy", handle.str(), list)) return FALSE;
    if (m_imageLists.erase(list) == 0) {
        imageListErrors.push_back("destroyed an image list that is not alive: " + handle.str());
        return FALSE;
    }
    return TRUE;
}

void SimWindows::SetWaitCursor(bool wait)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "SetWaitCursor", wait ? "wait" : "normal");
    waitCursor = wait;
    m_record.Log(wait ? "cursor wait" : "cursor normal");
}

DWORD SimWindows::GetModuleFileNameA(LPSTR buffer, DWORD size)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    const std::string& name = m_process.modulePath;
    DWORD error = Entered(program, "GetModuleFileNameA", std::to_string(size));
    // A name that does not fit, NUL included (or a fault that says so): cut
    // to the buffer with its NUL, the buffer's size answered, and
    // ERROR_INSUFFICIENT_BUFFER, as from Vista on.
    if (error == ERROR_INSUFFICIENT_BUFFER || (error == 0 && name.size() >= size)) {
        CopyText(name, buffer, size);
        return m_process.SetLastError(ERROR_INSUFFICIENT_BUFFER), size;
    }
    if (error != 0) return m_process.SetLastError(error), 0;
    CopyText(name, buffer, size);
    return static_cast<DWORD>(name.size());
}

BOOL SimWindows::GetMessageA(MSG* msg)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "GetMessageA", "");
    PaintPending();
    if (Input().NextMessage(msg)) return TRUE;
    throw SimScriptExhausted("the application's message loop waits for a WM_QUIT that nothing posts");
}

BOOL SimWindows::TranslateMessage(const MSG*)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "TranslateMessage", "");
    return FALSE;
}

LRESULT SimWindows::DispatchMessageA(const MSG* msg)
{
    const bool program = sim::machineDepth == 0;
    sim::SimCode inSimulator;
    Noted(program, "DispatchMessageA", Hex(msg->message));
    // To the window's procedure; a key that no dialog manager took does
    // nothing to the controls here.
    SimWindow* window = Live(msg->hwnd);
    if (window == nullptr || window->target == nullptr) return 0;
    LRESULT result = 0;
    ToProgram(*window, msg->message, msg->wParam, msg->lParam, result);
    return result;
}

#include "platform/sim/SimWindows.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "platform/sim/ResourceScript.h"
#include "platform/sim/SimMachine.h"

namespace {

constexpr GUID kUsbDeviceInterfaces = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

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

}  // namespace

SimWindows::SimWindows(SimMachine& machine) : m_machine(machine) {}

// ---------------------------------------------------------------- the scripted user

SimWindows& SimWindows::Click(int controlId)
{
    script.push_back({SimAction::Click, controlId, 0, {}, {}});
    return *this;
}

SimWindows& SimWindows::ClickItem(int listId, int index)
{
    script.push_back({SimAction::ClickItem, listId, index, {}, {}});
    return *this;
}

SimWindows& SimWindows::Press(int virtualKey)
{
    script.push_back({SimAction::Key, virtualKey, 0, {}, {}});
    return *this;
}

SimWindows& SimWindows::AltF4()
{
    script.push_back({SimAction::AltF4, 0, 0, {}, {}});
    return *this;
}

SimWindows& SimWindows::CloseBox()
{
    script.push_back({SimAction::CloseBox, 0, 0, {}, {}});
    return *this;
}

SimWindows& SimWindows::Minimize()
{
    script.push_back({SimAction::Minimize, 0, 0, {}, {}});
    return *this;
}

SimWindows& SimWindows::Answer(int buttonId)
{
    script.push_back({SimAction::Answer, buttonId, 0, {}, {}});
    return *this;
}

SimWindows& SimWindows::PlugIn(const std::string& devicePath)
{
    script.push_back({SimAction::Arrival, 0, 0, devicePath, {}});
    return *this;
}

SimWindows& SimWindows::Unplug(const std::string& devicePath)
{
    script.push_back({SimAction::Removal, 0, 0, devicePath, {}});
    return *this;
}

SimWindows& SimWindows::Then(std::function<void()> check)
{
    script.push_back({SimAction::Check, 0, 0, {}, std::move(check)});
    return *this;
}

void SimWindows::Perform(const SimAction& action)
{
    if (action.kind == SimAction::Check) {
        action.check();
        return;
    }
    if (action.kind == SimAction::Arrival || action.kind == SimAction::Removal) {
        DeliverDevice(action);
        return;
    }
    if (action.kind == SimAction::Answer) throw std::logic_error("an answer in the script, but no message box is open");

    SimWindow* dialog = ActiveDialog();
    if (dialog == nullptr) throw std::logic_error("the script acts, but no window is active");
    switch (action.kind) {
    case SimAction::Click: {
        SimWindow* control = Control(dialog->templateId, action.id);
        if (control == nullptr) throw std::logic_error("no control " + std::to_string(action.id) + " to click");
        if (!control->enabled || !control->visible) {
            Log("ignored click " + std::to_string(action.id));
            return;
        }
        dialog->focus = control->hwnd;
        SendMessageA(dialog->hwnd, WM_COMMAND, MAKEWPARAM(action.id, BN_CLICKED), reinterpret_cast<LPARAM>(control->hwnd));
        return;
    }
    case SimAction::ClickItem: {
        SimWindow* control = Control(dialog->templateId, action.id);
        if (control == nullptr) throw std::logic_error("no list " + std::to_string(action.id) + " to click");
        if (!control->enabled || !control->visible) return;
        dialog->focus = control->hwnd;
        if (control->className == "ListBox") {
            control->currentSelection = action.index;
            SendMessageA(dialog->hwnd, WM_COMMAND, MAKEWPARAM(action.id, LBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(control->hwnd));
            return;
        }
        // A click on the empty area of a list view clears the selection.
        for (SimItem& item : control->items) item.state &= ~LVIS_SELECTED;
        if (action.index >= 0 && action.index < static_cast<int>(control->items.size()))
            control->items[static_cast<size_t>(action.index)].state |= LVIS_SELECTED | LVIS_FOCUSED;
        Notify(*dialog, *control, LVN_ITEMCHANGED, action.index);
        Notify(*dialog, *control, NM_CLICK, action.index);
        return;
    }
    case SimAction::Key:
        PerformKey(*dialog, action.id);
        return;
    case SimAction::AltF4: {
        MSG msg{dialog->focus ? dialog->focus : dialog->hwnd, WM_SYSKEYDOWN, VK_F4, 0x20000000, 0, {0, 0}};
        if (dialog->target->OnPreTranslateMessage(&msg)) return;
        SendMessageA(dialog->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    }
    case SimAction::CloseBox:
        if (!dialog->Has("WS_SYSMENU")) throw std::logic_error("the window has no close box");
        SendMessageA(dialog->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    case SimAction::Minimize:
        if (!dialog->Has("WS_MINIMIZEBOX")) throw std::logic_error("the window has no minimize box");
        SendMessageA(dialog->hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return;
    default:
        return;
    }
}

void SimWindows::PerformKey(SimWindow& dialog, int key)
{
    HWND focus = dialog.focus != nullptr ? dialog.focus : dialog.hwnd;
    MSG msg{focus, WM_KEYDOWN, static_cast<WPARAM>(key), 0, 0, {0, 0}};
    if (dialog.target->OnPreTranslateMessage(&msg)) {
        Log("key dropped " + Hex(static_cast<UINT>(key)));
        return;
    }

    // Keys that the focused control handles itself.
    SimWindow& focused = Checked(focus);
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

    // The dialog manager: Enter presses the focused push button or else the
    // default button; Escape is the Cancel command.
    int command = 0;
    if (key == VK_RETURN) {
        command = IDOK;
        if (focused.className == "Button" && focused.hwnd != dialog.hwnd) {
            command = focused.id;
        } else {
            for (auto& [handle, window] : m_windows)
                if (window.parent == dialog.hwnd && !window.target && window.Has("BS_DEFPUSHBUTTON")) command = window.id;
        }
    } else if (key == VK_ESCAPE) {
        command = IDCANCEL;
    } else {
        return;
    }
    SimWindow* button = Control(dialog.templateId, command);
    if (button != nullptr && !button->enabled) return;
    SendMessageA(dialog.hwnd, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button ? button->hwnd : nullptr));
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

void SimWindows::DeliverDevice(const SimAction& action)
{
    std::vector<char> buffer(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) + action.path.size(), 0);
    auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(buffer.data());
    broadcast->dbcc_size = static_cast<DWORD>(buffer.size());
    broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    broadcast->dbcc_classguid = kUsbDeviceInterfaces;
    std::memcpy(broadcast->dbcc_name, action.path.c_str(), action.path.size() + 1);
    UINT event = action.kind == SimAction::Arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;

    Log(std::string(action.kind == SimAction::Arrival ? "arrival " : "removal ") + action.path);
    std::vector<Registration> current = registrations;  // a handler may release its registration
    for (const Registration& registration : current) {
        bool stillActive = false;
        for (const Registration& now : registrations) stillActive |= now.handle == registration.handle && now.active;
        if (!stillActive || !(registration.classGuid == kUsbDeviceInterfaces)) continue;
        SimWindow* window = Window(registration.window);
        if (window == nullptr || window->destroyed) continue;
        SendMessageA(window->hwnd, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(broadcast));
    }
}

SimWindow* SimWindows::ActiveDialog()
{
    for (auto it = m_zOrder.rbegin(); it != m_zOrder.rend(); ++it) {
        SimWindow& window = Checked(*it);
        if (window.visible && window.enabled && !window.destroyed && !window.ended) return &window;
    }
    return nullptr;
}

void SimWindows::PaintPending()
{
    for (HWND hwnd : m_zOrder) {
        SimWindow& window = Checked(hwnd);
        if (window.visible && !window.painted) {
            window.painted = true;
            Log("paint " + Label(window));
        }
    }
}

// ---------------------------------------------------------------- what a test looks at

void SimWindows::Log(const std::string& what) { events.push_back({m_machine.clock, what}); }

SimWindow* SimWindows::Window(HWND hwnd)
{
    auto found = m_windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return found != m_windows.end() ? &found->second : nullptr;
}

SimWindow& SimWindows::Checked(HWND hwnd)
{
    SimWindow* window = Window(hwnd);
    if (window == nullptr) throw std::logic_error("not a window handle");
    return *window;
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

size_t SimWindows::IndexOf(const std::string& what) const
{
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i].what == what) return i;
    return std::string::npos;
}

bool SimWindows::Happened(const std::string& what) const { return IndexOf(what) != std::string::npos; }

uint64_t SimWindows::TimeOf(const std::string& what) const
{
    size_t index = IndexOf(what);
    if (index == std::string::npos) throw std::logic_error("never happened: " + what);
    return events[index].time;
}

// ---------------------------------------------------------------- dialogs

HWND SimWindows::CreateFromTemplate(UINT templateId, HWND parent, IMessageTarget* target)
{
    const RcDialog* dialogTemplate = ResourceScript::Program().Dialog(static_cast<int>(templateId));
    if (dialogTemplate == nullptr) {
        m_machine.SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
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
        control.visible = true;
        control.enabled = !source.styles.count("WS_DISABLED");
    }
    m_zOrder.push_back(dialog.hwnd);
    Log("create " + std::to_string(templateId));
    return dialog.hwnd;
}

void SimWindows::Initialise(SimWindow& dialog)
{
    HWND firstTabStop = nullptr;
    for (auto& [handle, window] : m_windows)
        if (!firstTabStop && window.parent == dialog.hwnd && !window.target && window.Has("WS_TABSTOP") && window.enabled)
            firstTabStop = window.hwnd;
    LRESULT result = 0;
    bool handled = dialog.target->OnWindowMessage(dialog.hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), 0,
                                                  result);
    // True from WM_INITDIALOG: the dialog manager gives the first control the focus.
    if (!handled || result != 0) dialog.focus = firstTabStop;
}

INT_PTR SimWindows::DialogBoxParam(UINT templateId, HWND parent, IMessageTarget* target)
{
    HWND hwnd = CreateFromTemplate(templateId, parent, target);
    if (hwnd == nullptr) return -1;
    SimWindow& dialog = Checked(hwnd);
    if (parent != nullptr) EnableWindow(parent, FALSE);
    Log("open " + std::to_string(templateId));
    Initialise(dialog);
    if (!dialog.ended) ShowWindow(hwnd, SW_SHOW);
    while (!dialog.ended) {
        PaintPending();
        if (script.empty())
            throw SimScriptExhausted("dialog " + std::to_string(templateId) + " waits for the user, and the script is empty");
        SimAction action = script.front();
        script.pop_front();
        Perform(action);
    }
    INT_PTR result = dialog.result;
    if (parent != nullptr) EnableWindow(parent, TRUE);
    Destroy(dialog);
    return result;
}

HWND SimWindows::CreateDialogParam(UINT templateId, HWND parent, IMessageTarget* target)
{
    HWND hwnd = CreateFromTemplate(templateId, parent, target);
    if (hwnd == nullptr) return nullptr;
    SimWindow& dialog = Checked(hwnd);
    Initialise(dialog);
    if (dialog.Has("WS_VISIBLE") && !dialog.destroyed) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL SimWindows::EndDialog(HWND hwnd, INT_PTR result)
{
    SimWindow* dialog = Window(hwnd);
    if (dialog == nullptr || dialog->target == nullptr) return FALSE;
    dialog->ended = true;
    dialog->result = result;
    // The dialog disappears at once; its loop returns when the handler does.
    ShowWindow(hwnd, SW_HIDE);
    Log("end " + std::to_string(dialog->templateId) + " " + std::to_string(result));
    return TRUE;
}

void SimWindows::Destroy(SimWindow& dialog)
{
    if (dialog.destroyed) return;
    LRESULT ignored = 0;
    dialog.target->OnWindowMessage(dialog.hwnd, WM_DESTROY, 0, 0, ignored);
    dialog.destroyed = true;
    dialog.visible = false;
    for (auto& [handle, window] : m_windows)
        if (window.parent == dialog.hwnd && !window.target) window.destroyed = true;
    m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), dialog.hwnd), m_zOrder.end());
    Log("destroy " + std::to_string(dialog.templateId));
}

BOOL SimWindows::DestroyWindow(HWND hwnd)
{
    SimWindow* window = Window(hwnd);
    if (window == nullptr || window->destroyed) return FALSE;
    if (window->target != nullptr) Destroy(*window);
    window->destroyed = true;
    return TRUE;
}

// ---------------------------------------------------------------- windows and controls

BOOL SimWindows::ShowWindow(HWND hwnd, int cmdShow)
{
    SimWindow& window = Checked(hwnd);
    bool wasVisible = window.visible;
    if (cmdShow == SW_HIDE) {
        window.visible = false;
        if (wasVisible) Log("hide " + Label(window));
    } else if (cmdShow == SW_MINIMIZE) {
        window.visible = true;
        window.iconic = true;
        Log("minimize " + Label(window));
    } else {
        window.visible = true;
        window.iconic = false;
        if (!wasVisible) {
            window.painted = false;
            Log("show " + Label(window));
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
    SimWindow& window = Checked(hwnd);
    if ((flags & RDW_UPDATENOW) && window.visible) {
        window.painted = true;
        Log("paint " + Label(window));
    }
    return TRUE;
}

BOOL SimWindows::IsWindowVisible(HWND hwnd)
{
    SimWindow& window = Checked(hwnd);
    if (!window.visible || window.destroyed) return FALSE;
    return window.target != nullptr || window.parent == nullptr ? TRUE : IsWindowVisible(window.parent);
}

BOOL SimWindows::IsIconic(HWND hwnd) { return Checked(hwnd).iconic ? TRUE : FALSE; }

BOOL SimWindows::EnableWindow(HWND hwnd, BOOL enable)
{
    SimWindow& window = Checked(hwnd);
    bool wasDisabled = !window.enabled;
    window.enabled = enable != FALSE;
    if (wasDisabled == window.enabled) Log(std::string(enable ? "enable " : "disable ") + Label(window));
    return wasDisabled ? TRUE : FALSE;
}

BOOL SimWindows::IsWindowEnabled(HWND hwnd) { return Checked(hwnd).enabled ? TRUE : FALSE; }

HWND SimWindows::GetDlgItem(HWND dialog, int id)
{
    for (auto& [handle, window] : m_windows)
        if (window.parent == dialog && window.target == nullptr && window.id == id && !window.destroyed) return window.hwnd;
    return nullptr;
}

HWND SimWindows::SetFocus(HWND hwnd)
{
    SimWindow& window = Checked(hwnd);
    SimWindow& dialog = window.target != nullptr ? window : Checked(window.parent);
    HWND previous = dialog.focus;
    dialog.focus = hwnd;
    return previous;
}

LRESULT SimWindows::SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    SimWindow& window = Checked(hwnd);
    if (window.destroyed) return 0;
    if (window.target == nullptr) return ControlMessage(window, message, wParam, lParam);
    LRESULT result = 0;
    if (window.target->OnWindowMessage(hwnd, message, wParam, lParam, result)) return result;
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
    case WM_ICONERASEBKGND:
        Log("erase icon background " + Label(dialog));
        return 1;
    case WM_PAINT:
        dialog.painted = true;
        Log("paint " + Label(dialog));
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) return SendMessageA(dialog.hwnd, WM_CLOSE, 0, 0);
        if ((wParam & 0xFFF0) == SC_MINIMIZE) {
            ShowWindow(dialog.hwnd, SW_MINIMIZE);
            SendMessageA(dialog.hwnd, WM_PAINT, 0, 0);
        }
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

BOOL SimWindows::SetWindowTextA(HWND hwnd, LPCSTR text)
{
    return static_cast<BOOL>(SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

int SimWindows::GetWindowTextA(HWND hwnd, LPSTR buffer, int size)
{
    return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int SimWindows::GetWindowTextLengthA(HWND hwnd) { return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0)); }

// ---------------------------------------------------------------- painting

HDC SimWindows::BeginPaint(HWND hwnd, PAINTSTRUCT* paint)
{
    *paint = PAINTSTRUCT{};
    paint->hdc = reinterpret_cast<HDC>(hwnd);  // one device context per window will do
    return paint->hdc;
}

BOOL SimWindows::EndPaint(HWND hwnd, const PAINTSTRUCT*)
{
    SimWindow& window = Checked(hwnd);
    window.painted = true;
    Log("paint " + Label(window));
    return TRUE;
}

BOOL SimWindows::GetClientRect(HWND hwnd, RECT* rect)
{
    SimWindow& window = Checked(hwnd);
    *rect = RECT{0, 0, window.width * kBaseUnitX / 4, window.height * kBaseUnitY / 8};
    return TRUE;
}

int SimWindows::GetSystemMetrics(int index) { return index == SM_CXICON || index == SM_CYICON ? 32 : 0; }

BOOL SimWindows::DrawIcon(HDC dc, int x, int y, HICON icon)
{
    drawnIcons.push_back({reinterpret_cast<HWND>(dc), x, y, icon});
    return TRUE;
}

// ---------------------------------------------------------------- boxes, resources, cursor

int SimWindows::MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    size_t index = boxes.size();
    boxes.push_back({owner, text ? text : "", caption ? caption : "", type, 0, m_machine.clock});
    Log(std::string("box ") + (text ? text : ""));
    bool ownerWasEnabled = owner != nullptr && Checked(owner).enabled;
    if (ownerWasEnabled) Checked(owner).enabled = false;

    // The box runs a message loop of its own until the user answers; device
    // broadcasts still reach their windows meanwhile.
    UINT buttons = type & 0x0F;
    int answer = 0;
    while (answer == 0) {
        PaintPending();
        if (script.empty()) {
            if (buttons != MB_OK)
                throw SimScriptExhausted(std::string("message box \"") + (text ? text : "") + "\" waits for an answer");
            answer = IDOK;
            break;
        }
        SimAction action = script.front();
        script.pop_front();
        if (action.kind == SimAction::Arrival || action.kind == SimAction::Removal || action.kind == SimAction::Check) {
            Perform(action);
            continue;
        }
        if (action.kind != SimAction::Answer)
            throw std::logic_error(std::string("the script acts on a window while \"") + (text ? text : "") +
                                   "\" is open");
        bool offered = (buttons == MB_OK && action.id == IDOK) ||
                       (buttons == MB_OKCANCEL && (action.id == IDOK || action.id == IDCANCEL)) ||
                       (buttons == MB_YESNO && (action.id == IDYES || action.id == IDNO));
        if (!offered) throw std::logic_error("the box has no button " + std::to_string(action.id));
        answer = action.id;
    }
    if (ownerWasEnabled) Checked(owner).enabled = true;
    boxes[index].answer = answer;
    Log("answer " + std::to_string(answer));
    return answer;
}

HICON SimWindows::LoadIconA(UINT resourceId)
{
    if (!ResourceScript::Program().icons.count(static_cast<int>(resourceId))) return nullptr;
    return reinterpret_cast<HICON>(static_cast<uintptr_t>(0x70000 + resourceId));
}

HIMAGELIST SimWindows::ImageList_LoadImageA(UINT resourceId, int cx, int grow, COLORREF mask, UINT type, UINT flags)
{
    std::ostringstream arguments;
    arguments << resourceId << ", " << cx << ", " << grow << ", " << Hex(mask) << ", " << type << ", " << flags;
    m_machine.Record("ImageList_LoadImageA", arguments.str());
    if (!ResourceScript::Program().bitmaps.count(static_cast<int>(resourceId))) return nullptr;
    return reinterpret_cast<HIMAGELIST>(static_cast<uintptr_t>(0x80000 + resourceId));
}

BOOL SimWindows::ImageList_Destroy(HIMAGELIST list) { return list != nullptr ? TRUE : FALSE; }

void SimWindows::SetWaitCursor(bool wait)
{
    waitCursor = wait;
    Log(wait ? "cursor wait" : "cursor normal");
}

DWORD SimWindows::GetModuleFileNameA(LPSTR buffer, DWORD size)
{
    CopyText(m_machine.modulePath, buffer, size);
    return static_cast<DWORD>(std::min<size_t>(m_machine.modulePath.size(), size));
}

int SimWindows::RunMessageLoop()
{
    while (!script.empty()) {
        SimAction action = script.front();
        script.pop_front();
        Perform(action);
    }
    return 0;
}

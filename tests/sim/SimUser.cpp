#include "tests/sim/SimUser.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

namespace {

constexpr GUID kUsbDeviceInterfaces = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

}  // namespace

SimUser::SimUser(SimWindows& windows, SimSpooler& devices, SimCallRecord& record)
    : m_windows(windows), m_devices(devices), m_record(record)
{
    m_windows.input = this;
}

SimUser& SimUser::Add(SimAction action)
{
    script.push_back(std::move(action));
    return *this;
}

SimUser& SimUser::Click(int controlId) { return Add({SimAction::Click, controlId, 0, 0, {}, {}}); }
SimUser& SimUser::ClickItem(int listId, int index) { return Add({SimAction::ClickItem, listId, index, 0, {}, {}}); }
SimUser& SimUser::Press(int virtualKey) { return Add({SimAction::Key, virtualKey, 0, 0, {}, {}}); }
SimUser& SimUser::AltF4() { return Add({SimAction::AltF4, 0, 0, 0, {}, {}}); }
SimUser& SimUser::CloseBox() { return Add({SimAction::CloseBox, 0, 0, 0, {}, {}}); }
SimUser& SimUser::Minimize() { return Add({SimAction::Minimize, 0, 0, 0, {}, {}}); }
SimUser& SimUser::Answer(int buttonId) { return Add({SimAction::Answer, buttonId, 0, 0, {}, {}}); }
SimUser& SimUser::MoveMouseOver(int templateId) { return Add({SimAction::Mouse, templateId, 0, 0, {}, {}}); }
SimUser& SimUser::Then(std::function<void()> check) { return Add({SimAction::Check, 0, 0, 0, {}, std::move(check)}); }

SimUser& SimUser::Broadcast(UINT event, std::vector<char> bytes)
{
    return Add({SimAction::Broadcast, 0, 0, event, std::move(bytes), {}});
}

SimUser& SimUser::PlugIn(const std::string& devicePath)
{
    return Broadcast(DBT_DEVICEARRIVAL, DeviceInterfaceRecord(devicePath));
}

SimUser& SimUser::Unplug(const std::string& devicePath)
{
    return Broadcast(DBT_DEVICEREMOVECOMPLETE, DeviceInterfaceRecord(devicePath));
}

std::vector<char> SimUser::DeviceInterfaceRecord(const std::string& devicePath)
{
    // The system's own spelling of the name: upper case up to the '#' that
    // ends the device's id (the second after the "\\?\" prefix), lower case
    // from there on, whatever case the device itself reports.
    std::string name = devicePath;
    size_t firstHash = name.find('#');
    size_t upperEnd = firstHash == std::string::npos ? std::string::npos : name.find('#', firstHash + 1);
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        name[i] = static_cast<char>(i < upperEnd ? std::toupper(c) : std::tolower(c));
    }

    // The header, then the name with its NUL in place of the one-character array.
    std::vector<char> bytes(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + name.size() + 1, 0);
    DEV_BROADCAST_DEVICEINTERFACE_A header{};
    header.dbcc_size = static_cast<DWORD>(bytes.size());
    header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    header.dbcc_classguid = kUsbDeviceInterfaces;
    std::memcpy(bytes.data(), &header, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name));
    std::memcpy(bytes.data() + offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name), name.c_str(),
                name.size() + 1);
    return bytes;
}

int SimUser::Next(const SimMessageBox* box)
{
    if (script.empty()) {
        // A box the script did not answer is closed, so that the program can
        // go on, and noted: the test that did not expect it fails.
        if (box != nullptr && (box->style & 0x0F) == MB_OK) {
            unexpectedBoxes.push_back(box->text);
            return IDOK;
        }
        if (box != nullptr) throw SimScriptExhausted("message box \"" + box->text + "\" waits for an answer");
        SimWindow* waiting = m_windows.ActiveDialog();
        throw SimScriptExhausted("dialog " + std::to_string(waiting ? waiting->templateId : 0) +
                                 " waits for the user, and the script is empty");
    }
    SimAction action = script.front();
    script.pop_front();
    if (box == nullptr) {
        if (action.kind == SimAction::Answer)
            throw std::logic_error("an answer in the script, but no message box is open");
        Perform(action);
        return 0;
    }
    // While a box is open only broadcasts and the test's own looks get through.
    if (action.kind == SimAction::Broadcast || action.kind == SimAction::Check) {
        Perform(action);
        return 0;
    }
    if (action.kind != SimAction::Answer)
        throw std::logic_error("the script acts on a window while \"" + box->text + "\" is open");
    UINT buttons = box->style & 0x0F;
    bool offered = (buttons == MB_OK && action.id == IDOK) ||
                   (buttons == MB_OKCANCEL && (action.id == IDOK || action.id == IDCANCEL)) ||
                   (buttons == MB_YESNO && (action.id == IDYES || action.id == IDNO));
    if (!offered) throw std::logic_error("the box \"" + box->text + "\" has no button " + std::to_string(action.id));
    return action.id;
}

void SimUser::Perform(const SimAction& action)
{
    if (action.kind == SimAction::Check) {
        action.check();
        return;
    }
    if (action.kind == SimAction::Broadcast) {
        Deliver(action);
        return;
    }
    if (action.kind == SimAction::Mouse) {
        SimWindow* dialog = m_windows.Dialog(action.id);
        if (dialog == nullptr || dialog->destroyed) throw std::logic_error("no dialog to move the mouse over");
        // Over one of its controls: the control's default processing asks the
        // dialog first, and sets its own class's cursor (not the wait
        // cursor) unless the dialog answers TRUE.
        HWND control = nullptr;
        for (HWND child : m_windows.ChildrenOf(dialog->hwnd))
            if (control == nullptr && m_windows.Checked(child).visible) control = child;
        if (control == nullptr) control = dialog->hwnd;
        LRESULT halted = m_windows.SendMessageA(dialog->hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), 1);
        if (halted == FALSE && control != dialog->hwnd) m_windows.SetWaitCursor(false);
        return;
    }

    SimWindow* dialog = m_windows.ActiveDialog();
    if (dialog == nullptr) throw std::logic_error("the script acts, but no window is active");
    switch (action.kind) {
    case SimAction::Click: {
        SimWindow* control = m_windows.Control(dialog->templateId, action.id);
        if (control == nullptr) throw std::logic_error("no control " + std::to_string(action.id) + " to click");
        if (!control->enabled || !control->visible) {
            m_record.Log("ignored click " + std::to_string(action.id));
            return;
        }
        dialog->focus = control->hwnd;
        m_windows.SendMessageA(dialog->hwnd, WM_COMMAND, MAKEWPARAM(action.id, BN_CLICKED),
                               reinterpret_cast<LPARAM>(control->hwnd));
        return;
    }
    case SimAction::ClickItem: {
        SimWindow* control = m_windows.Control(dialog->templateId, action.id);
        if (control == nullptr) throw std::logic_error("no list " + std::to_string(action.id) + " to click");
        if (!control->enabled || !control->visible) return;
        dialog->focus = control->hwnd;
        if (control->className == "ListBox") {
            if (action.index < 0 || action.index >= static_cast<int>(control->items.size())) return;
            control->currentSelection = action.index;
            m_windows.SendMessageA(dialog->hwnd, WM_COMMAND, MAKEWPARAM(action.id, LBN_SELCHANGE),
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
    case SimAction::AltF4: {
        // The dialog's own loop hands the key to the dialog manager.
        MSG msg = KeyMessage(*dialog, action);
        m_windows.IsDialogMessageA(dialog->hwnd, &msg);
        return;
    }
    case SimAction::CloseBox:
        if (!dialog->Has("WS_SYSMENU")) throw std::logic_error("the window has no close box");
        m_windows.SendMessageA(dialog->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    case SimAction::Minimize:
        if (!dialog->Has("WS_MINIMIZEBOX")) throw std::logic_error("the window has no minimize box");
        m_windows.SendMessageA(dialog->hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return;
    default:
        return;
    }
}

MSG SimUser::KeyMessage(SimWindow& dialog, const SimAction& action) const
{
    HWND focus = dialog.focus != nullptr ? dialog.focus : dialog.hwnd;
    if (action.kind == SimAction::AltF4) return MSG{focus, WM_SYSKEYDOWN, VK_F4, 0x20000000, 0, {0, 0}};
    return MSG{focus, WM_KEYDOWN, static_cast<WPARAM>(action.id), 0, 0, {0, 0}};
}

bool SimUser::NextMessage(MSG* msg)
{
    while (!script.empty()) {
        SimAction action = script.front();
        script.pop_front();
        if (action.kind == SimAction::Answer)
            throw std::logic_error("an answer in the script, but no message box is open");
        SimWindow* dialog = m_windows.ActiveDialog();
        if ((action.kind == SimAction::Key || action.kind == SimAction::AltF4) && dialog != nullptr) {
            *msg = KeyMessage(*dialog, action);
            return true;
        }
        Perform(action);
    }
    return false;
}

void SimUser::Notify(SimWindow& dialog, SimWindow& control, UINT code, int item)
{
    m_windows.Notify(dialog, control, code, item);
}

void SimUser::Deliver(const SimAction& action)
{
    // The record travels in a heap block of exactly its size, so that a
    // reader that runs past it is caught by the sanitizer build.
    std::vector<char> record(action.bytes);
    std::string name;
    if (record.size() > offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name))
        name.assign(record.data() + offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name),
                    strnlen(record.data() + offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name),
                            record.size() - offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name)));
    m_record.Log(std::string(action.event == DBT_DEVICEARRIVAL ? "arrival " : "device event ") + name);

    // Sent, not posted: the window's procedure has it before the broadcast
    // returns, past the program's message loop. Our windows are all ANSI
    // ones (CreateDialogParamA), so the record is the _A form.
    // A handler may release its registration; later ones then get nothing.
    std::vector<SimRegistration> current = m_devices.registrations;
    for (const SimRegistration& registration : current) {
        bool stillActive = false;
        for (const SimRegistration& now : m_devices.registrations)
            stillActive |= now.handle == registration.handle && now.active;
        if (!stillActive || !(registration.classGuid == kUsbDeviceInterfaces)) continue;
        SimWindow* window = m_windows.Window(registration.window);
        if (window == nullptr || window->destroyed) continue;
        m_windows.SendMessageA(window->hwnd, WM_DEVICECHANGE, action.event,
                               record.empty() ? 0 : reinterpret_cast<LPARAM>(record.data()));
    }
}

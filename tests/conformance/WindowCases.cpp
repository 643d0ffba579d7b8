// Windows and dialogs: the dialog manager's first focus, painting, what a
// destroyed window answers, modal and modeless dialogs, the controls that
// Setup.exe's dialogs use, and the module's resources.
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "tests/conformance/Cases.h"

namespace {

constexpr DWORD kInvalidWindow = 1400;  // ERROR_INVALID_WINDOW_HANDLE

LRESULT Send(Bench& b, HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return b.windows().SendMessageA(hwnd, message, wParam, lParam);
}

LRESULT Insert(Bench& b, HWND list, WPARAM at, const char* text)
{
    return Send(b, list, LB_INSERTSTRING, at, reinterpret_cast<LPARAM>(text));
}

std::string ItemText(Bench& b, HWND list, int index)
{
    char text[64] = {};
    Send(b, list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

// A message-filter hook's filter that counts what it is given, and answers
// as told.
struct CountingFilter : IMessageFilterCallback {
    bool OnMessageFilter(int code, MSG*) override
    {
        ++calls;
        lastCode = code;
        return processes;
    }
    int calls = 0;
    int lastCode = -1;
    bool processes = false;
};

// A dialog procedure that keeps the device broadcasts it is given.
class DeviceListener : public Procedure {
public:
    bool OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message != WM_DEVICECHANGE) return Procedure::OnWindowMessage(hwnd, message, wParam, lParam, result);
        const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
        const size_t nameAt = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
        if (wParam == DBT_DEVICEARRIVAL && header != nullptr && header->dbch_size > nameAt) {
            // The _A form holds the name in single bytes; the _W form would
            // show a NUL right after its first character.
            const char* name = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(header)->dbcc_name;
            arrivals.push_back(std::string(name, strnlen(name, header->dbch_size - nameAt)));
        }
        return false;
    }
    std::vector<std::string> arrivals;
};

// A call on a window that is gone, and what it answers then.
struct OnDestroyed {
    const char* what;
    long long (*call)(Bench& b, HWND hwnd);
    long long refused;
    // Where Wine answers otherwise: its answer and last error, and why.
    const char* why = nullptr;
    long long wineAnswer = 0;
    DWORD wineError = kInvalidWindow;
};

const OnDestroyed kOnDestroyed[] = {
    {"DestroyWindow", [](Bench& b, HWND w) -> long long { return b.windows().DestroyWindow(w); }, FALSE,
     "Wine answers as for another thread's window", FALSE, ERROR_ACCESS_DENIED},
    {"ShowWindow", [](Bench& b, HWND w) -> long long { return b.windows().ShowWindow(w, SW_SHOW); }, FALSE},
    {"EnableWindow", [](Bench& b, HWND w) -> long long { return b.windows().EnableWindow(w, TRUE); }, FALSE},
    {"IsWindowEnabled", [](Bench& b, HWND w) -> long long { return b.windows().IsWindowEnabled(w); }, FALSE},
    {"IsWindowVisible", [](Bench& b, HWND w) -> long long { return b.windows().IsWindowVisible(w); }, FALSE},
    {"IsIconic", [](Bench& b, HWND w) -> long long { return b.windows().IsIconic(w); }, FALSE},
    {"SetFocus", [](Bench& b, HWND w) -> long long { return b.windows().SetFocus(w) != nullptr; }, 0},
    {"EndDialog", [](Bench& b, HWND w) -> long long { return b.windows().EndDialog(w, IDOK); }, FALSE},
    {"GetClientRect",
     [](Bench& b, HWND w) -> long long {
         RECT rect{};
         return b.windows().GetClientRect(w, &rect);
     },
     FALSE},
    {"GetDlgItem", [](Bench& b, HWND w) -> long long { return b.windows().GetDlgItem(w, IDOK) != nullptr; }, 0,
     "Wine's GetDlgItem answers no item for a window that is gone, and leaves the last error", 0, Bench::kNoError},
    {"GetWindowStyle", [](Bench& b, HWND w) -> long long { return b.windows().GetWindowStyle(w); }, 0},
    {"SetWindowTextA", [](Bench& b, HWND w) -> long long { return b.windows().SetWindowTextA(w, "gone"); }, FALSE},
    {"GetWindowTextLengthA", [](Bench& b, HWND w) -> long long { return b.windows().GetWindowTextLengthA(w); }, 0},
    {"PostMessageA", [](Bench& b, HWND w) -> long long { return b.windows().PostMessageA(w, WM_NULL, 0, 0); }, FALSE},
    {"SendMessageA", [](Bench& b, HWND w) -> long long { return Send(b, w, WM_GETTEXTLENGTH); }, 0},
    {"RedrawWindow", [](Bench& b, HWND w) -> long long { return b.windows().RedrawWindow(w, RDW_UPDATENOW); }, FALSE,
     "Wine's RedrawWindow answers TRUE for a window that is gone, though it sets the last error", TRUE},
};

}  // namespace

std::vector<Case> WindowCases()
{
    return {
        {"WM_INITDIALOG is given the first visible, enabled tab-stop control, and TRUE gives it the focus",
         "documentation: WM_INITDIALOG",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_FOCUS, TRUE);
             HWND first = dialog.Item(IDC_CONF_FIRST);
             b.Expect("the control given", dialog.procedure.initialFocus == first && first != nullptr, true);
             b.Expect("the focus", b.Focus() == first, true);
         }},
        {"FALSE from WM_INITDIALOG leaves the focus where it was",
         "documentation: WM_INITDIALOG",
         [](Bench& b) {
             HWND before = b.Focus();
             CaseDialog dialog(b, IDD_CONF_FOCUS, FALSE);
             b.Expect("the control given", dialog.procedure.initialFocus == dialog.Item(IDC_CONF_FIRST), true);
             b.Expect("the focus unchanged", b.Focus() == before, true);
         }},
        {"A dialog procedure that leaves WM_INITDIALOG unhandled answers FALSE: no default focus",
         "documentation: DialogProc",
         [](Bench& b) {
             HWND before = b.Focus();
             Procedure procedure(TRUE);
             procedure.handlesInit = false;
             HWND dialog = b.windows().CreateDialogParam(IDD_CONF_FOCUS, nullptr, &procedure);
             b.Expect("the focus unchanged", b.Focus() == before, true);
             b.windows().DestroyWindow(dialog);
         }},
        {"A window shown waits to be painted: BeginPaint validates it, EndPaint alone does not",
         "documentation: BeginPaint",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_CONTROLS);
             b.Expect("shown", b.windows().IsWindowVisible(dialog) != 0, true);
             b.Expect("waits to be painted", b.NeedsPaint(dialog), true);
             PAINTSTRUCT paint{};
             b.Expect("EndPaint alone", b.windows().EndPaint(dialog, &paint), TRUE);
             b.Expect("still waits", b.NeedsPaint(dialog), true);
             HDC dc = b.windows().BeginPaint(dialog, &paint);
             b.Expect("a device context", dc != nullptr && dc == paint.hdc, true);
             b.Expect("validated", b.NeedsPaint(dialog), false);
             HICON icon = b.windows().LoadIconA(IDI_CONF_ICON);
             b.Expect("an icon drawn on it", b.windows().DrawIcon(dc, 0, 0, icon), TRUE);
             b.Expect("EndPaint", b.windows().EndPaint(dialog, &paint), TRUE);
             b.Expect("an icon drawn without a device context", b.windows().DrawIcon(nullptr, 0, 0, icon), FALSE, TRUE,
                      "Wine's DrawIconEx draws into no device context and answers TRUE");
         }},
        {"RedrawWindow with RDW_UPDATENOW paints the window at once",
         "documentation: RedrawWindow",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_CONTROLS);
             b.Expect("waits to be painted", b.NeedsPaint(dialog), true);
             b.Expect("redrawn",
                      b.windows().RedrawWindow(dialog, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW), TRUE);
             b.Expect("painted", b.NeedsPaint(dialog), false);
         }},
        {"A destroyed window, and its controls with it, answer no with ERROR_INVALID_WINDOW_HANDLE",
         "Wine test: dlls/user32/tests/win.c test_thread_exit_destroy",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_CONTROLS);
             HWND edit = dialog.Item(IDC_CONF_EDIT);
             b.Expect("destroyed", b.windows().DestroyWindow(dialog), TRUE);
             b.Expect("the dialog", b.IsWindow(dialog), false);
             b.Expect("its control", b.IsWindow(edit), false);
             for (const OnDestroyed& call : kOnDestroyed) {
                 b.PresetLastError();
                 long long answer = call.call(b, dialog);
                 DWORD error = b.process().GetLastError();
                 std::string what = std::string(call.what) + ": last error";
                 if (call.why != nullptr) {
                     b.Expect(call.what, answer, call.refused, call.wineAnswer, call.why);
                     b.Expect(what.c_str(), error, kInvalidWindow, call.wineError, call.why);
                 } else {
                     b.Expect(call.what, answer, call.refused);
                     b.Expect(what.c_str(), error, kInvalidWindow);
                 }
             }
             b.PresetLastError();
             b.Expect("ShowWindow of its control", b.windows().ShowWindow(edit, SW_SHOW), FALSE);
             b.LastError(kInvalidWindow);
         }},
        {"ShowWindow answers whether the window was visible, EnableWindow whether it was disabled",
         "documentation: ShowWindow",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_FOCUS);
             b.Expect("shown", b.windows().ShowWindow(dialog, SW_SHOW) != 0, false);
             b.Expect("shown again", b.windows().ShowWindow(dialog, SW_SHOW) != 0, true);
             b.Expect("hidden", b.windows().ShowWindow(dialog, SW_HIDE) != 0, true);
             b.Expect("visible", b.windows().IsWindowVisible(dialog), FALSE);
             b.windows().ShowWindow(dialog, SW_MINIMIZE);
             b.Expect("minimised", b.windows().IsIconic(dialog) != 0, true);
             b.Expect("its style", (b.windows().GetWindowStyle(dialog) & WS_VISIBLE) != 0, true);
             HWND first = dialog.Item(IDC_CONF_FIRST);
             b.Expect("disabled", b.windows().EnableWindow(first, FALSE) != 0, false);
             b.Expect("disabled again", b.windows().EnableWindow(first, FALSE) != 0, true);
             b.Expect("enabled", b.windows().IsWindowEnabled(first), FALSE);
             b.Expect("enabled again", b.windows().EnableWindow(first, TRUE) != 0, true);
         }},
        {"EndDialog hides a modeless dialog at once, which stays until it is destroyed",
         "none",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_CONTROLS);
             b.Expect("ended", b.windows().EndDialog(dialog, IDOK), TRUE);
             b.Expect("visible", b.windows().IsWindowVisible(dialog), FALSE);
             b.Expect("still there", b.IsWindow(dialog), true);
         }},
        {"DialogBoxParam disables the owner while it runs, and answers what EndDialog was given in WM_INITDIALOG",
         "documentation: DialogBoxParamA",
         [](Bench& b) {
             CaseDialog ownerWindow(b, IDD_CONF_CONTROLS);
             Procedure modal;
             modal.bench = &b;
             modal.related = ownerWindow;
             modal.onInit = [](Procedure& self, HWND dialog) {
                 self.observed = self.bench->windows().IsWindowEnabled(self.related);
                 self.bench->windows().EndDialog(dialog, 42);
             };
             b.Expect("the result", b.windows().DialogBoxParam(IDD_CONF_FOCUS, ownerWindow, &modal), 42);
             b.Expect("the owner while it ran", modal.observed, FALSE);
             b.Expect("the owner after", b.windows().IsWindowEnabled(ownerWindow), TRUE);
             b.Expect("the dialog after", b.IsWindow(modal.initialised), false);
         }},
        {"DialogBoxParam and CreateDialogParam of a template the module does not have",
         "Wine test: dlls/user32/tests/dialog.c test_DialogBoxParam",
         [](Bench& b) {
             Procedure procedure;
             b.Expect("modal", b.windows().DialogBoxParam(IDD_CONF_MISSING, nullptr, &procedure), -1);
             b.PresetLastError();
             b.Expect("modeless", b.windows().CreateDialogParam(IDD_CONF_MISSING, nullptr, &procedure) != nullptr, false);
             b.LastError(ERROR_RESOURCE_NAME_NOT_FOUND);
         }},
        {"A list box inserts at a position without sorting, and its selection stays on its item",
         "documentation: LB_INSERTSTRING",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_CONTROLS);
             HWND list = dialog.Item(IDC_CONF_LIST);
             b.Expect("b at 0", Insert(b, list, 0, "b"), 0);
             b.Expect("a at 1", Insert(b, list, 1, "a"), 1);
             b.Expect("c at the end", Insert(b, list, static_cast<WPARAM>(-1), "c"), 2);
             b.Expect("past the end", Insert(b, list, 5, "x"), LB_ERR);
             b.Expect("the order", ItemText(b, list, 0) + ItemText(b, list, 1) + ItemText(b, list, 2), "bac");
             b.Expect("selected", Send(b, list, LB_SETCURSEL, 1), 1);
             Insert(b, list, 0, "z");
             b.Expect("the selection after an insert before it", Send(b, list, LB_GETCURSEL), 2);
             b.Expect("no selection", Send(b, list, LB_SETCURSEL, static_cast<WPARAM>(-1)), LB_ERR);
             b.Expect("the selection then", Send(b, list, LB_GETCURSEL), LB_ERR);
             b.Expect("no such item", Send(b, list, LB_SETCURSEL, 9), LB_ERR);
         }},
        {"A list box item's data is 0 until it is set; an item that is not there answers LB_ERR",
         "Wine test: dlls/user32/tests/listbox.c test_listbox_item_data",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_CONTROLS);
             HWND list = dialog.Item(IDC_CONF_LIST);
             Insert(b, list, 0, "LPT1: (Local Port)");
             b.Expect("data before", Send(b, list, LB_GETITEMDATA, 0), 0);
             b.Expect("set", Send(b, list, LB_SETITEMDATA, 0, 0x1234) != LB_ERR, true);
             b.Expect("data after", Send(b, list, LB_GETITEMDATA, 0), 0x1234);
             b.Expect("set on no item", Send(b, list, LB_SETITEMDATA, 5, 1), LB_ERR);
             b.Expect("data of no item", Send(b, list, LB_GETITEMDATA, 5), LB_ERR);
             b.Expect("the text's length", Send(b, list, LB_GETTEXTLEN, 0), 18);
             b.Expect("the length of no item", Send(b, list, LB_GETTEXTLEN, 5), LB_ERR);
         }},
        {"An edit control's text: its length, and what a small buffer gets, NUL included",
         "documentation: GetWindowTextA",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_CONTROLS);
             HWND edit = dialog.Item(IDC_CONF_EDIT);
             b.Expect("set", b.windows().SetWindowTextA(edit, "LPT1: (Local Port)"), TRUE);
             b.Expect("the length", b.windows().GetWindowTextLengthA(edit), 18);
             char text[6] = "ZZZZZ";
             b.Expect("copied", b.windows().GetWindowTextA(edit, text, sizeof text), 5);
             b.Expect("the text", std::string(text, sizeof text), std::string("LPT1:") + '\0');
         }},
        {"A list view inserts past its end at the end, and selects an item by its state",
         "Wine test: dlls/comctl32/tests/listview.c test_LVM_INSERTITEM",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_CONTROLS);
             HWND view = dialog.Item(IDC_CONF_VIEW);
             b.Expect("its style", (b.windows().GetWindowStyle(view) & (LVS_SHAREIMAGELISTS | LVS_SINGLESEL)),
                      LVS_SINGLESEL);
             LVITEMA item{};
             item.mask = LVIF_TEXT;
             item.iItem = 5;
             item.pszText = const_cast<LPSTR>("KVX QL70 TILLMATE (ESC P)");
             b.Expect("past the end", Send(b, view, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), 0);
             item.iItem = 0;
             b.Expect("at the start", Send(b, view, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), 0);
             b.Expect("count", Send(b, view, LVM_GETITEMCOUNT), 2);
             LVITEMA state{};
             state.state = state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
             b.Expect("selected", Send(b, view, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state)), TRUE);
             b.Expect("its state", Send(b, view, LVM_GETITEMSTATE, 1, LVIS_SELECTED), LVIS_SELECTED);
             b.Expect("the first selected", Send(b, view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
             TCITEMA tab{};
             tab.mask = TCIF_TEXT;
             tab.pszText = const_cast<LPSTR>("Model");
             HWND tabs = dialog.Item(IDC_CONF_TABS);
             b.Expect("a tab", Send(b, tabs, TCM_INSERTITEMA, 3, reinterpret_cast<LPARAM>(&tab)), 0);
             b.Expect("tabs", Send(b, tabs, TCM_GETITEMCOUNT), 1);
         }},
        {"The module's icon and bitmap load by their ids, and ids it does not have load nothing",
         "documentation: LoadIconA",
         [](Bench& b) {
             b.Expect("the icon", b.windows().LoadIconA(IDI_CONF_ICON) != nullptr, true);
             b.Expect("no such icon", b.windows().LoadIconA(IDI_CONF_MISSING) != nullptr, false);
             b.Expect("an icon's width", b.windows().GetSystemMetrics(SM_CXICON), 32);
             HIMAGELIST list = b.windows().ImageList_LoadImageA(IDB_CONF_PICTURE, 96, 1, CLR_NONE, IMAGE_BITMAP, 0);
             b.Expect("the image list", list != nullptr, true);
             b.Expect("destroyed", b.windows().ImageList_Destroy(list), TRUE);
             b.Expect("destroyed again", b.windows().ImageList_Destroy(list), FALSE);
             b.Expect("no such bitmap",
                      b.windows().ImageList_LoadImageA(IDB_CONF_MISSING, 96, 1, CLR_NONE, IMAGE_BITMAP, 0) != nullptr,
                      false);
         }},
        {"A dialog's client area is its template's size in the dialog units of MS Shell Dlg at 8 points",
         "none",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_CONTROLS);
             RECT rect{};
             b.Expect("measured", b.windows().GetClientRect(dialog, &rect), TRUE);
             b.Expect("the size", std::to_string(rect.right - rect.left) + " x " + std::to_string(rect.bottom - rect.top),
                      "450 x 260");
         }},
        {"IsDialogMessage hands the message to the thread's message-filter hook once, with MSGF_DIALOGBOX",
         "Wine test: dlls/user32/tests/dialog.c test_IsDialogMessage",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_FOCUS);
             CountingFilter filter;
             HHOOK hook = b.windows().SetMessageFilterHook(&filter);
             b.Expect("hooked", hook != nullptr, true);
             MSG key{dialog.Item(IDC_CONF_FIRST), WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
             b.Expect("the dialog's", b.windows().IsDialogMessageA(dialog, &key), TRUE);
             b.Expect("filtered", filter.calls, 1);
             b.Expect("the code", filter.lastCode, MSGF_DIALOGBOX);
             // A filter that processed the message ends it: the dialog's.
             filter.processes = true;
             b.Expect("processed by the filter", b.windows().IsDialogMessageA(dialog, &key), TRUE);
             b.Expect("filtered again", filter.calls, 2);
             // No dialog: no filter.
             b.Expect("no dialog", b.windows().IsDialogMessageA(nullptr, &key), FALSE);
             b.Expect("not filtered", filter.calls, 2);
             b.Expect("unhooked", b.windows().UnhookMessageFilter(hook), TRUE);
             filter.processes = false;
             b.windows().IsDialogMessageA(dialog, &key);
             b.Expect("not filtered once unhooked", filter.calls, 2);
         }},
        {"EndDialog enables a modeless dialog's owner, also one that was disabled before the dialog was made",
         "Wine test: dlls/user32/tests/msg.c test_EndDialog",
         [](Bench& b) {
             CaseDialog ownerWindow(b, IDD_CONF_CONTROLS);
             b.windows().EnableWindow(ownerWindow, FALSE);
             Procedure procedure;
             HWND dialog = b.windows().CreateDialogParam(IDD_CONF_FOCUS, ownerWindow, &procedure);
             b.Expect("made", dialog != nullptr, true);
             b.Expect("the owner before", b.windows().IsWindowEnabled(ownerWindow), FALSE);
             b.Expect("ended", b.windows().EndDialog(dialog, IDOK), TRUE);
             b.Expect("the owner after", b.windows().IsWindowEnabled(ownerWindow), TRUE);
             b.windows().DestroyWindow(dialog);
         }},
        {"A minimised window has no client area",
         "Wine test: dlls/user32/tests/win.c test_ShowWindow",
         [](Bench& b) {
             CaseDialog dialog(b, IDD_CONF_CONTROLS);
             b.windows().ShowWindow(dialog, SW_MINIMIZE);
             b.Expect("iconic", b.windows().IsIconic(dialog), TRUE);
             RECT rect{1, 1, 1, 1};
             b.Expect("measured", b.windows().GetClientRect(dialog, &rect), TRUE);
             b.Expect("the area", std::to_string(rect.left) + ", " + std::to_string(rect.top) + ", " +
                                      std::to_string(rect.right) + ", " + std::to_string(rect.bottom),
                      "0, 0, 0, 0");
         }},
        {"WM_DEVICECHANGE is sent in the window's own form, its name upper case up to the device id's end",
         "Wine test: dlls/dinput/tests/hotplug.c test_RegisterDeviceNotification",
         [](Bench& b) {
             DeviceListener listener;
             HWND dialog = b.windows().CreateDialogParam(IDD_CONF_CONTROLS, nullptr, &listener);
             DEV_BROADCAST_DEVICEINTERFACE_A filter{};
             filter.dbcc_size = sizeof filter;
             filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
             filter.dbcc_classguid = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
             HDEVNOTIFY registration = b.spooler().RegisterDeviceNotificationA(dialog, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
             // No message is pumped here: only a sent broadcast reaches the window.
             b.ArriveDevice("\\\\?\\usb#Vid_F1C4&Pid_1101#Serial_1#{A5DCBF10-6530-11D2-901F-00C04FB951ED}");
             b.Expect("arrivals", listener.arrivals.size(), 1);
             b.Expect("the name", listener.arrivals.empty() ? std::string() : listener.arrivals[0],
                      "\\\\?\\USB#VID_F1C4&PID_1101#serial_1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
             b.spooler().UnregisterDeviceNotification(registration);
             b.windows().DestroyWindow(dialog);
         },
         nullptr, "no USB device can be made to arrive in Wine here"},
    };
}

#include "framework/Afx.h"

#include <new>
#include <vector>

// ---------------------------------------------------------------- messages

const MessageMap* CCmdTarget::GetMessageMap() const
{
    static const MessageMap map(nullptr);
    return &map;
}

namespace {

bool Matches(const MessageEntry& entry, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (entry.message != message) return false;
    if (message == WM_COMMAND) return entry.code == HIWORD(wParam) && entry.id == LOWORD(wParam);
    if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        return header != nullptr && entry.code == header->code && entry.id == header->idFrom;
    }
    return true;
}

}  // namespace

bool CCmdTarget::DispatchMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
        for (size_t i = 0; i < map->count; ++i) {
            const MessageEntry& entry = map->entries[i];
            if (!Matches(entry, message, wParam, lParam)) continue;

            // `result` stays as the caller set it (0) unless the handler answers.
            m_defaultRequested = false;
            if (entry.onVoid != nullptr)
                (this->*entry.onVoid)();
            else if (entry.onResult != nullptr)
                result = (this->*entry.onResult)();
            else if (entry.onParams != nullptr)
                result = (this->*entry.onParams)(wParam, lParam);
            else if (entry.onNotify != nullptr)
                (this->*entry.onNotify)(reinterpret_cast<NMHDR*>(lParam), &result);
            return !m_defaultRequested;
        }
    }
    return false;
}

// ---------------------------------------------------------------- windows

CWnd::~CWnd() = default;

HWND CWnd::Detach()
{
    HWND hwnd = m_hWnd;
    m_hWnd = nullptr;
    return hwnd;
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }
void CWnd::DoDataExchange(CDataExchange*) {}

void CWnd::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const std::bad_alloc&) {
    }
}

void CWnd::ShowWindow(int cmdShow) { Windows().ShowWindow(m_hWnd, cmdShow); }

// Paints the window and its controls now, for callers that block the thread
// right after showing a window and so pump no WM_PAINT for a while.
void CWnd::UpdateWindow()
{
    Windows().RedrawWindow(m_hWnd, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

BOOL CWnd::IsIconic() const { return Windows().IsIconic(m_hWnd); }
void CWnd::EnableWindow(BOOL enable) { Windows().EnableWindow(m_hWnd, enable); }
void CWnd::SetWindowText(const std::string& text) { Windows().SetWindowTextA(m_hWnd, text.c_str()); }

std::string CWnd::GetWindowText() const
{
    // The length, or 0 when it cannot be had: then the text reads as empty.
    int length = Windows().GetWindowTextLengthA(m_hWnd);
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    Windows().GetWindowTextA(m_hWnd, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data());
}

void CWnd::SetFocus() { Windows().SetFocus(m_hWnd); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return Windows().SendMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    Windows().PostMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::GetClientRect(RECT* rect) const { Windows().GetClientRect(m_hWnd, rect); }

CWnd* CWnd::GetDlgItem(int id)
{
    HWND child = Windows().GetDlgItem(m_hWnd, id);
    if (child == nullptr) return nullptr;
    std::unique_ptr<CWnd>& wrapper = m_children[id];
    if (!wrapper) wrapper = std::make_unique<CWnd>();
    wrapper->m_hWnd = child;
    return wrapper.get();
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type)
{
    return Windows().MessageBoxA(m_hWnd, text, caption, type);
}

void CWnd::BeginWaitCursor() { AfxGetApp()->BeginWaitCursor(); }
void CWnd::EndWaitCursor() { AfxGetApp()->EndWaitCursor(); }

bool CWnd::OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (m_hWnd == nullptr) m_hWnd = hwnd;
    // While the application waits, its windows keep the wait cursor wherever
    // the mouse goes, also while a box or the shell's progress window pumps
    // messages. DefWindowProc would put the class's arrow back.
    if (message == WM_SETCURSOR && AfxGetApp() != nullptr && AfxGetApp()->IsWaitCursorShown()) {
        Windows().SetWaitCursor(true);
        result = TRUE;
        return true;
    }
    try {
        if (DispatchMessage(message, wParam, lParam, result)) return true;
        return OnDefaultMessage(message, wParam, lParam, result);
    } catch (const std::bad_alloc&) {
        // Unhandled: the system's default processing, which ignores `result`.
        return false;
    }
}

bool CWnd::OnPreTranslateMessage(MSG* msg)
{
    try {
        return PreTranslateMessage(msg) != FALSE;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CWnd::OnDefaultMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // Commands that no window handles go on to the application's table.
    // Windows get messages only while the application runs them.
    if (message != WM_COMMAND) return false;
    return AfxGetApp()->DispatchMessage(message, wParam, lParam, result);
}

// ---------------------------------------------------------------- data exchange

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (control.m_hWnd == nullptr) control.Attach(Windows().GetDlgItem(dx->m_pDlgWnd->m_hWnd, id));
}

void DDX_Text(CDataExchange* dx, int id, std::string& value)
{
    CWnd* control = dx->m_pDlgWnd->GetDlgItem(id);
    if (control == nullptr) return;
    if (dx->m_bSaveAndValidate)
        value = control->GetWindowText();
    else
        control->SetWindowText(value);
}

// ---------------------------------------------------------------- dialogs

namespace {

// The thread's message-filter hook gives a dialog's PreTranslateMessage its
// look at the dialog's messages: the system calls it from a modal dialog's
// own loop, and IsDialogMessage calls it for the modeless dialogs of our
// loop. It is there from the first dialog that needs it to the last one.
class DialogFilter : public IMessageFilterCallback {
public:
    bool OnMessageFilter(int, MSG* msg) override
    {
        // Any loop's code: a box or a menu that one of our dialogs opened
        // pumps the dialog's messages too. Each belongs to the dialog that
        // is its window or holds it.
        IMessageTarget* target = Windows().DialogTarget(Windows().GetAncestor(msg->hwnd, GA_ROOT));
        return target != nullptr && target->OnPreTranslateMessage(msg);
    }

    void Acquire()
    {
        // Without a hook the dialogs only miss their filter.
        if (m_users++ == 0) m_hook = Windows().SetMessageFilterHook(this);
    }

    void Release()
    {
        if (m_users == 0 || --m_users != 0 || m_hook == nullptr) return;
        Windows().UnhookMessageFilter(m_hook);
        m_hook = nullptr;
    }

private:
    int m_users = 0;
    HHOOK m_hook = nullptr;
};

DialogFilter dialogFilter;

}  // namespace

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog()
{
    // A modeless dialog's window goes with its object; a modal one has gone
    // when DoModal returned, which cleared the handle.
    if (m_hWnd != nullptr) Windows().DestroyWindow(m_hWnd);
    if (m_holdsFilter) dialogFilter.Release();
}

const MessageMap* CDialog::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnCommand(BN_CLICKED, IDOK, &CDialog::OnOkCommand),
        OnCommand(BN_CLICKED, IDCANCEL, &CDialog::OnCancelCommand),
    };
    static const MessageMap map(CWnd::GetMessageMap(), entries);
    return &map;
}

INT_PTR CDialog::DoModal()
{
    // The hook goes with the dialog also when an exception ends its loop.
    struct FilterShare {
        FilterShare() { dialogFilter.Acquire(); }
        ~FilterShare() { dialogFilter.Release(); }
        FilterShare(const FilterShare&) = delete;
        FilterShare& operator=(const FilterShare&) = delete;
    } share;
    INT_PTR result = Windows().DialogBoxParam(m_templateId, m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, this);
    m_hWnd = nullptr;
    return result;
}

void CDialog::Create(UINT templateId, CWnd* parent)
{
    m_templateId = templateId;
    m_pParentWnd = parent;
    // The hook is there before the window, which gets messages at once.
    if (!m_holdsFilter) dialogFilter.Acquire();
    m_holdsFilter = true;
    // No window, when it could not be made (also when it was destroyed
    // while it was being made).
    m_hWnd = Windows().CreateDialogParam(templateId, parent ? parent->m_hWnd : nullptr, this);
    if (m_hWnd == nullptr) {
        dialogFilter.Release();
        m_holdsFilter = false;
    }
}

void CDialog::EndDialog(int result) { Windows().EndDialog(m_hWnd, result); }

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    // Our exchanges validate nothing, so a failed one only means no memory
    // for a text: the dialog ends all the same. Its owners often hide it
    // before they end it, and a hidden dialog left running waits for ever.
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnDefaultMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_INITDIALOG) {
        result = OnInitDialog();
        return true;
    }
    return CWnd::OnDefaultMessage(message, wParam, lParam, result);
}

// ---------------------------------------------------------------- controls

CImageList::~CImageList()
{
    if (m_hImageList != nullptr && !m_ownedByControl) Windows().ImageList_Destroy(m_hImageList);
}

void CImageList::Create(UINT bitmapId, int cx, int grow, COLORREF mask)
{
    m_hImageList = Windows().ImageList_LoadImageA(bitmapId, cx, grow, mask, IMAGE_BITMAP, 0);
}

void CTabCtrl::InsertItem(int item, const char* text)
{
    TCITEMA tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = const_cast<LPSTR>(text);
    SendMessage(TCM_INSERTITEMA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&tab));
}

void CListCtrl::InsertItem(const LVITEMA* item) { SendMessage(LVM_INSERTITEMA, {}, reinterpret_cast<LPARAM>(item)); }

void CListCtrl::SetImageList(CImageList* list, int kind)
{
    SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(kind), reinterpret_cast<LPARAM>(list->m_hImageList));
    if (list->m_hImageList != nullptr && !(Windows().GetWindowStyle(m_hWnd) & LVS_SHAREIMAGELISTS)) list->HandOver();
}

void CListCtrl::SetExtendedStyle(DWORD exStyle)
{
    // A change mask of 0 sets every extended-style bit from exStyle.
    SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(exStyle));
}

int CListCtrl::GetCountPerPage() const { return static_cast<int>(SendMessage(LVM_GETCOUNTPERPAGE)); }

void CListCtrl::SetItemState(int item, UINT state, UINT mask)
{
    LVITEMA change{};
    change.state = state;
    change.stateMask = mask;
    SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&change));
}

// wParam: none.
void CListCtrl::SetIconSpacing(int cx, int cy) { SendMessage(LVM_SETICONSPACING, {}, MAKELPARAM(cx, cy)); }

int CListBox::InsertString(int index, const char* text)
{
    return static_cast<int>(SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
}

void CListBox::SetItemData(int index, DWORD_PTR data)
{
    SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
}

DWORD_PTR CListBox::GetItemData(int index) const
{
    return static_cast<DWORD_PTR>(SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index)));
}

void CListBox::SetCurSel(int index) { SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index)); }
int CListBox::GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
int CListBox::GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }

std::string CListBox::GetText(int index) const
{
    LRESULT length = SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length == LB_ERR) return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data());
}

// ---------------------------------------------------------------- painting

CPaintDC::CPaintDC(CWnd* window) : m_window(window), m_paint{}
{
    m_hDC = Windows().BeginPaint(window->m_hWnd, &m_paint);
}

CPaintDC::~CPaintDC() { Windows().EndPaint(m_window->m_hWnd, &m_paint); }

void CPaintDC::DrawIcon(int x, int y, HICON icon) { Windows().DrawIcon(m_hDC, x, y, icon); }

int AfxGetSystemMetrics(int index) { return Windows().GetSystemMetrics(index); }

// ---------------------------------------------------------------- the application

namespace {
CWinApp* currentApp = nullptr;
}  // namespace

CWinApp::CWinApp(const char* appName)
{
    if (appName != nullptr) m_appName = appName;
    currentApp = this;
}

CWinApp::~CWinApp()
{
    if (currentApp == this) currentApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

void CWinApp::SetRegistryKey(const char* key)
{
    try {
        m_registryKey = key;
    } catch (const std::bad_alloc&) {
    }
}
HICON CWinApp::LoadIcon(UINT resourceId) const { return Windows().LoadIconA(resourceId); }
int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run()
{
    MSG msg{};
    while (Windows().GetMessageA(&msg) > 0) {
        // A message of one of our dialogs goes to IsDialogMessage alone: it
        // hands the message to the message-filter hook, which is the
        // dialog's PreTranslateMessage, as a modal dialog's loop does. A look
        // of our own first would filter every message twice.
        HWND root = Windows().GetAncestor(msg.hwnd, GA_ROOT);
        if (Windows().DialogTarget(root) != nullptr && Windows().IsDialogMessageA(root, &msg)) continue;
        Windows().TranslateMessage(&msg);
        Windows().DispatchMessageA(&msg);
    }
    return ExitInstance();
}

void CWinApp::BeginWaitCursor()
{
    if (m_waitCursorCount++ == 0) Windows().SetWaitCursor(true);
}

void CWinApp::EndWaitCursor()
{
    if (m_waitCursorCount > 0 && --m_waitCursorCount == 0) Windows().SetWaitCursor(false);
}

CWinApp* AfxGetApp() { return currentApp; }

int AfxMessageBox(const char* text, UINT type)
{
    const UINT iconMask = 0xF0;
    const UINT buttonMask = 0x0F;
    if ((type & iconMask) == 0) {
        UINT buttons = type & buttonMask;
        type |= (buttons == MB_YESNO) ? MB_ICONQUESTION : MB_ICONEXCLAMATION;
    }
    const char* caption = AfxGetApp() != nullptr ? AfxGetApp()->m_appName.c_str() : "";
    return Windows().MessageBoxA(nullptr, text, caption, type);
}

int AfxWinMain()
{
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return -1;
    if (app->m_appName.empty()) {
        // The executable's file name without its folder and extension. Without
        // memory for it the application stays unnamed: only a caption lacks it.
        char path[MAX_PATH] = {};
        DWORD length = Windows().GetModuleFileNameA(path, MAX_PATH);
        try {
            std::string name(path, length < MAX_PATH ? length : 0);
            size_t slash = name.find_last_of("\\/");
            if (slash != std::string::npos) name.erase(0, slash + 1);
            size_t dot = name.rfind('.');
            if (dot != std::string::npos) name.erase(dot);
            app->m_appName = name;
        } catch (const std::bad_alloc&) {
        }
    }
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}

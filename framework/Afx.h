// Our small application framework, in place of the platform's MFC.
//
// CWinApp is the program: the framework's entry point calls its InitInstance
// once and runs the message loop only if that answers true. CWnd wraps a
// window handle; CDialog runs a dialog template modally (DoModal) or modelessly
// (Create); the control classes wrap the few common controls the dialogs use.
//
// Messages reach a class through its message table: a static array of entries
// (message, notification code, control id, handler) returned by its virtual
// GetMessageMap, chained to the base class's table:
//
//     const MessageMap* CMyDlg::GetMessageMap() const
//     {
//         static const MessageEntry entries[] = {
//             OnCommand(BN_CLICKED, IDC_GO, &CMyDlg::OnGo),
//         };
//         static const MessageMap map(CDialog::GetMessageMap(), entries);
//         return &map;
//     }
//
// Every window operation goes through IWindowSystem (Windows()), so the same
// classes run over Win32 in Setup.exe and over the simulated machine in tests.
#pragma once
#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "platform/Platform.h"

class CWnd;
class CCmdTarget;

// ---------------------------------------------------------------- messages

// One row of a message table. Exactly one of the handlers is set; its
// signature says how the message's parameters and result pass.
struct MessageEntry {
    UINT message;
    UINT code;  // notification code, for WM_COMMAND and WM_NOTIFY
    UINT id;    // control or command id, for WM_COMMAND and WM_NOTIFY
    void (CCmdTarget::*onVoid)();
    LRESULT (CCmdTarget::*onResult)();
    LRESULT (CCmdTarget::*onParams)(WPARAM, LPARAM);
    void (CCmdTarget::*onNotify)(NMHDR*, LRESULT*);
};

struct MessageMap {
    template <size_t N>
    MessageMap(const MessageMap* baseMap, const MessageEntry (&table)[N])
        : base(baseMap), entries(table), count(N)
    {
    }
    explicit MessageMap(const MessageMap* baseMap) : base(baseMap), entries(nullptr), count(0) {}
    const MessageMap* base;
    const MessageEntry* entries;
    size_t count;
};

// Table entries. The handler's class must derive from CCmdTarget.
template <class T>
MessageEntry OnMessage(UINT message, void (T::*fn)())
{
    return {message, 0, 0, static_cast<void (CCmdTarget::*)()>(fn), nullptr, nullptr, nullptr};
}
template <class T>
MessageEntry OnMessage(UINT message, LRESULT (T::*fn)())
{
    return {message, 0, 0, nullptr, static_cast<LRESULT (CCmdTarget::*)()>(fn), nullptr, nullptr};
}
template <class T>
MessageEntry OnMessage(UINT message, LRESULT (T::*fn)(WPARAM, LPARAM))
{
    return {message, 0, 0, nullptr, nullptr, static_cast<LRESULT (CCmdTarget::*)(WPARAM, LPARAM)>(fn), nullptr};
}
template <class T>
MessageEntry OnCommand(UINT code, UINT id, void (T::*fn)())
{
    return {WM_COMMAND, code, id, static_cast<void (CCmdTarget::*)()>(fn), nullptr, nullptr, nullptr};
}
template <class T>
MessageEntry OnNotify(UINT code, UINT id, void (T::*fn)(NMHDR*, LRESULT*))
{
    return {WM_NOTIFY, code, id, nullptr, nullptr, nullptr, static_cast<void (CCmdTarget::*)(NMHDR*, LRESULT*)>(fn)};
}

// The root of everything that has a message table.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    virtual const MessageMap* GetMessageMap() const;

    // Finds the table entry for a message and runs its handler. Answers false
    // when no entry matched or the handler asked for default processing.
    bool DispatchMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Called from a handler: let the message have its default processing too.
    void Default() { m_defaultRequested = true; }

private:
    bool m_defaultRequested = false;
};

// ---------------------------------------------------------------- windows

class CDataExchange;

class CWnd : public CCmdTarget, public IMessageTarget {
public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    void Attach(HWND hwnd) { m_hWnd = hwnd; }
    HWND Detach();

    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual void DoDataExchange(CDataExchange* dx);
    // Our exchanges validate nothing: one that runs out of memory only
    // leaves a text unexchanged.
    void UpdateData(BOOL saveAndValidate = TRUE);

    void ShowWindow(int cmdShow);
    void UpdateWindow();
    BOOL IsIconic() const;
    void EnableWindow(BOOL enable = TRUE);
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    void SetFocus();
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void GetClientRect(RECT* rect) const;
    // A wrapper of the child control with that id, owned by this window.
    CWnd* GetDlgItem(int id);

    // A message box owned by this window (no owner when it has no window).
    int MessageBox(const char* text, const char* caption, UINT type = MB_OK);

    // The application-wide wait cursor.
    void BeginWaitCursor();
    void EndWaitCursor();

    // IMessageTarget. These are the system's callbacks into the program: an
    // allocation that fails in a handler ends that message as unhandled, and
    // no exception of ours leaves them.
    bool OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                         LRESULT& result) override;
    bool OnPreTranslateMessage(MSG* msg) override;

protected:
    // What a class does with a message that its table does not handle.
    virtual bool OnDefaultMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    std::map<int, std::unique_ptr<CWnd>> m_children;
};

// Whether a message is the Escape key going down, which every dialog of ours
// drops in its PreTranslateMessage.
inline bool IsEscapeKeyDown(const MSG* msg) { return msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE; }

// ---------------------------------------------------------------- data exchange

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate)
    {
    }
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds a control wrapper to the dialog's control (loading direction).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// Moves text between the control and a string, in the exchange's direction.
void DDX_Text(CDataExchange* dx, int id, std::string& value);

// ---------------------------------------------------------------- dialogs

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally; answers what EndDialog was given.
    virtual INT_PTR DoModal();
    // Creates the dialog as a modeless window; m_hWnd stays null when it cannot be made.
    void Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    const MessageMap* GetMessageMap() const override;

protected:
    bool OnDefaultMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    UINT m_templateId;
    CWnd* m_pParentWnd;

private:
    void OnOkCommand() { OnOK(); }
    // Create has a share of the thread's message-filter hook, until the object goes.
    bool m_holdsFilter = false;
    void OnCancelCommand() { OnCancel(); }
};

// ---------------------------------------------------------------- controls

class CStatic : public CWnd {};
class CButton : public CWnd {};
class CEdit : public CWnd {};

// An image list. It destroys its list when it goes, unless a control took the
// list over: a list view without LVS_SHAREIMAGELISTS destroys the image lists
// it was given when it is destroyed itself.
class CImageList {
public:
    CImageList() = default;
    ~CImageList();
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;
    // Loads a bitmap resource as the list's images. Without them the list
    // stays empty (m_hImageList null): a control given none shows no pictures.
    void Create(UINT bitmapId, int cx, int grow, COLORREF mask);
    // The list now belongs to a control, which destroys it.
    void HandOver() { m_ownedByControl = true; }
    HIMAGELIST m_hImageList = nullptr;

private:
    bool m_ownedByControl = false;
};

class CTabCtrl : public CWnd {
public:
    void InsertItem(int item, const char* text);
};

class CListCtrl : public CWnd {
public:
    void InsertItem(const LVITEMA* item);
    void SetImageList(CImageList* list, int kind);
    void SetExtendedStyle(DWORD exStyle);
    int GetCountPerPage() const;
    void SetItemState(int item, UINT state, UINT mask);
    void SetIconSpacing(int cx, int cy);
};

class CListBox : public CWnd {
public:
    int InsertString(int index, const char* text);
    void SetItemData(int index, DWORD_PTR data);
    DWORD_PTR GetItemData(int index) const;
    void SetCurSel(int index);
    int GetCurSel() const;
    int GetCount() const;
    std::string GetText(int index) const;
};

// ---------------------------------------------------------------- painting

// Painting of one WM_PAINT, from BeginPaint to EndPaint.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    void DrawIcon(int x, int y, HICON icon);
    HDC m_hDC;

private:
    CWnd* m_window;
    PAINTSTRUCT m_paint;
};

int AfxGetSystemMetrics(int index);

// ---------------------------------------------------------------- the application

class CWinApp : public CCmdTarget {
public:
    // With no name, the application is named after its executable.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    virtual int Run();

    // The settings key; nothing is kept there, so a key that cannot be stored is no loss.
    void SetRegistryKey(const char* key);
    HICON LoadIcon(UINT resourceId) const;
    void BeginWaitCursor();
    void EndWaitCursor();
    bool IsWaitCursorShown() const { return m_waitCursorCount > 0; }
    // The standard Help command's handler; the program has no help of its own.
    void OnHelp() {}

    std::string m_appName;
    std::string m_registryKey;
    CWnd* m_pMainWnd = nullptr;

private:
    friend int AfxWinMain();
    int m_waitCursorCount = 0;
};

CWinApp* AfxGetApp();
// A box captioned with the application's name; errors get the exclamation icon.
int AfxMessageBox(const char* text, UINT type = MB_OK);
// The framework's entry: names the application, runs InitInstance, and the
// message loop only if InitInstance answered true. Answers the exit code.
int AfxWinMain();

// The standard Help command.
constexpr UINT ID_HELP = 0xE146;

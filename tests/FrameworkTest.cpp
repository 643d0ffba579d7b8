// Our application framework over the simulated windows, on its own: message
// tables, data exchange, the wait cursor, image lists, the application-level
// message box, and what a handler's failed allocation does.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "framework/Afx.h"
#include "tests/framework/Dialogs.h"
#include "tests/sim/ResourceScript.h"
#include "tests/Checks.h"
#include "tests/sim/SimMachine.h"

namespace {

const ResourceScript& FrameworkTemplates()
{
    static const ResourceScript script(SETUP_SOURCE_DIR "/tests/framework/Dialogs.rc",
                                       SETUP_SOURCE_DIR "/tests/framework/Dialogs.h");
    return script;
}

class Framework : public ::testing::Test {
protected:
    void SetUp() override
    {
        machine.windows.resources = &FrameworkTemplates();
        InstallPlatform(machine.Services());
    }

    SimMachine machine;
    SimUser& user = machine.user;
    SimWindows& screen = machine.windows;
    CWinApp app{"Framework"};
};

// A text bound to an edit control, a list box, and a save button.
class CTextDialog : public CDialog {
public:
    CTextDialog() : CDialog(IDD_TEXT) {}

    const MessageMap* GetMessageMap() const override
    {
        static const MessageEntry entries[] = {
            OnCommand(BN_CLICKED, IDC_SAVE, &CTextDialog::OnSave),
            OnCommand(LBN_SELCHANGE, IDC_LIST, &CTextDialog::OnSelect),
        };
        static const MessageMap map(CDialog::GetMessageMap(), entries);
        return &map;
    }

    void DoDataExchange(CDataExchange* dx) override
    {
        CDialog::DoDataExchange(dx);
        if (failExchange && dx->m_bSaveAndValidate) throw std::bad_alloc();
        DDX_Control(dx, IDC_LIST, m_list);
        DDX_Text(dx, IDC_TEXT, m_text);
    }

    BOOL OnInitDialog() override
    {
        m_text = "loaded";
        CDialog::OnInitDialog();
        m_list.InsertString(0, "second");
        m_list.InsertString(0, "first");
        m_list.SetItemData(1, 42);
        return TRUE;
    }

    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (failPreTranslate) throw std::bad_alloc();
        if (msg->message == WM_KEYDOWN) ++filteredKeys;
        return CDialog::PreTranslateMessage(msg);
    }

    void OnSave()
    {
        if (failSave) throw std::bad_alloc();
        UpdateData(TRUE);
        saved = m_text;
        EndDialog(IDOK);
    }

    void OnSelect()
    {
        selections.push_back(m_list.GetText(m_list.GetCurSel()) + "=" +
                             std::to_string(m_list.GetItemData(m_list.GetCurSel())));
    }

    CListBox m_list;
    std::string m_text;
    std::string saved;
    std::vector<std::string> selections;
    bool failSave = false;
    bool failExchange = false;
    bool failPreTranslate = false;
    int filteredKeys = 0;
};

// An application whose own table takes a command that no window handles.
class CCommandApp : public CWinApp {
public:
    CCommandApp() : CWinApp("Commands") {}

    const MessageMap* GetMessageMap() const override
    {
        static const MessageEntry entries[] = {
            OnCommand(BN_CLICKED, IDC_APP_COMMAND, &CCommandApp::OnAppCommand),
        };
        static const MessageMap map(CWinApp::GetMessageMap(), entries);
        return &map;
    }

    void OnAppCommand() { ++commands; }

    int commands = 0;
};

// A list view given an image list, on either template.
class CPictureDialog : public CDialog {
public:
    explicit CPictureDialog(UINT templateId) : CDialog(templateId) {}

    void DoDataExchange(CDataExchange* dx) override
    {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, IDC_PICTURES, m_list);
    }

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_images.Create(IDB_PICTURE, 0, 32, RGB(255, 255, 255));
        m_list.SetImageList(&m_images, LVSIL_NORMAL);
        return TRUE;
    }

    CListCtrl m_list;
    CImageList m_images;
};

}  // namespace

TEST_F(Framework, DataExchangeLoadsAndSavesAndTablesRouteByCodeAndId)
{
    CCommandApp commandApp;
    CTextDialog dialog;
    user.Then([&] { EXPECT_EQ(screen.Control(IDD_TEXT, IDC_TEXT)->text, "loaded"); });
    user.ClickItem(IDC_LIST, 1);
    user.Then([&] { screen.SetWindowTextA(screen.Control(IDD_TEXT, IDC_TEXT)->hwnd, "typed"); });
    // A command that the dialog's table lacks goes on to the application's.
    user.Click(IDC_APP_COMMAND).Then([&] { EXPECT_EQ(commandApp.commands, 1); });
    user.Click(IDC_SAVE);

    EXPECT_EQ(dialog.DoModal(), IDOK);

    EXPECT_EQ(dialog.saved, "typed");
    EXPECT_EQ(dialog.selections, std::vector<std::string>{"second=42"});
    EXPECT_EQ(commandApp.commands, 1);
}

TEST_F(Framework, AHandlerWhoseAllocationFailsLeavesTheMessageUnhandled)
{
    CTextDialog dialog;
    dialog.failSave = true;
    user.Click(IDC_SAVE);
    // A pre-filter that runs out of memory lets the key go on: Enter presses Save.
    user.Then([&] {
        dialog.failSave = false;
        dialog.failPreTranslate = true;
    });
    user.Press(VK_RETURN);

    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.saved, "loaded");
}

// A key reaches the dialog's PreTranslateMessage once, in the system's modal
// loop and in the application's own; the message-filter hook stays while a
// dialog needs it and goes with the last one.
TEST_F(Framework, EachKeyIsFilteredOnceAndTheHookGoesWithTheLastDialog)
{
    // Modal: the dialog's own loop hands the key to IsDialogMessage.
    {
        CTextDialog modal;
        user.Press(VK_SPACE).Then([&] { EXPECT_EQ(screen.LiveHooks(), 1); }).Click(IDC_SAVE);
        EXPECT_EQ(modal.DoModal(), IDOK);
        EXPECT_EQ(modal.filteredKeys, 1);
        EXPECT_EQ(screen.LiveHooks(), 0);
    }
    // Modeless, in the application's loop, with a modal dialog run and ended meanwhile.
    {
        CTextDialog modeless;
        modeless.Create(IDD_TEXT);
        modeless.ShowWindow(SW_SHOW);
        CTextDialog modal;
        user.Then([&] { EXPECT_EQ(modal.DoModal(), IDOK); }).Click(IDC_SAVE);
        user.Press(VK_SPACE);
        EXPECT_THROW(app.Run(), SimScriptExhausted);
        EXPECT_EQ(modeless.filteredKeys, 1);
        EXPECT_EQ(screen.LiveHooks(), 1);
    }
    EXPECT_EQ(machine.Held(), "");
}

TEST_F(Framework, OkEndsTheDialogEvenWhenItsDataExchangeRunsOutOfMemory)
{
    // Its owner may have hidden it already: a dialog left running would wait unseen.
    CTextDialog dialog;
    dialog.failExchange = true;
    user.Then([&] { dialog.OnOK(); });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_text, "loaded");

    // With the memory it needs, OK saves the controls into the members
    // first, a text of one character too.
    CTextDialog saving;
    user.Then([&] {
        screen.SetWindowTextA(screen.Control(IDD_TEXT, IDC_TEXT)->hwnd, "x");
        saving.OnOK();
    });
    EXPECT_EQ(saving.DoModal(), IDOK);
    EXPECT_EQ(saving.m_text, "x");
}

TEST_F(Framework, TheWaitCursorNestsAndEndsWithTheLastEnd)
{
    app.BeginWaitCursor();
    app.BeginWaitCursor();
    app.EndWaitCursor();
    EXPECT_TRUE(screen.waitCursor);
    app.EndWaitCursor();
    EXPECT_FALSE(screen.waitCursor);
}

TEST_F(Framework, AnEndTooManyDoesNotCancelTheNextBegin)
{
    app.BeginWaitCursor();
    app.EndWaitCursor();
    app.EndWaitCursor();
    EXPECT_FALSE(screen.waitCursor);
    app.BeginWaitCursor();
    EXPECT_TRUE(screen.waitCursor);
    EXPECT_TRUE(app.IsWaitCursorShown());
}

TEST_F(Framework, OurWindowsKeepTheWaitCursorWhileTheApplicationWaits)
{
    CTextDialog dialog;
    user.Then([&] { app.BeginWaitCursor(); });
    user.Then([&] {
        // A box of the system's own (the shell's progress, a message box) put the arrow back.
        screen.SetWaitCursor(false);
    });
    user.MoveMouseOver(IDD_TEXT);
    user.Then([&] { EXPECT_TRUE(screen.waitCursor); });
    user.Then([&] { app.EndWaitCursor(); });
    user.MoveMouseOver(IDD_TEXT);
    user.Then([&] { EXPECT_FALSE(screen.waitCursor); });
    user.Click(IDC_SAVE);
    dialog.DoModal();
}

TEST_F(Framework, AListViewThatOwnsItsImageListDestroysItOnce)
{
    {
        CPictureDialog dialog(IDD_PICTURES);
        user.Click(IDCANCEL);
        dialog.DoModal();
    }
    EXPECT_EQ(screen.LiveImageLists(), 0);
    EXPECT_TRUE(screen.imageListErrors.empty()) << screen.imageListErrors.front();
    EXPECT_EQ(machine.record.CountOf("ImageList_Destroy"), 1);
}

TEST_F(Framework, ASharedImageListIsDestroyedByItsObject)
{
    {
        CPictureDialog dialog(IDD_SHARED_PICTURES);
        user.Click(IDCANCEL);
        dialog.DoModal();
        EXPECT_EQ(screen.LiveImageLists(), 1);
    }
    EXPECT_EQ(screen.LiveImageLists(), 0);
    EXPECT_TRUE(screen.imageListErrors.empty());
}

TEST_F(Framework, TheApplicationBoxIsCaptionedWithTheProgramsNameAndWarns)
{
    machine.process.modulePath = "C:\\Downloads\\Corvex\\Setup.exe";
    // A plain application goes on to its message loop, which waits for a
    // WM_QUIT that nothing posts. One named when it was made keeps its name.
    EXPECT_THROW(AfxWinMain(), SimScriptExhausted);
    user.Answer(IDOK);
    AfxMessageBox("Named", MB_OK);

    CWinApp named;
    EXPECT_THROW(AfxWinMain(), SimScriptExhausted);
    ASSERT_EQ(named.m_appName, "Setup");

    user.Answer(IDOK).Answer(IDYES).Answer(IDCANCEL).Answer(IDOK);
    AfxMessageBox("Please connect printer properly", MB_OK);
    AfxMessageBox("Go on?", MB_YESNO);
    AfxMessageBox("Try again?", MB_OKCANCEL);
    AfxMessageBox("Stop.", MB_OK | MB_ICONERROR);

    ASSERT_EQ(screen.boxes.size(), 5u);
    EXPECT_EQ(screen.boxes[0].caption, "Framework");
    EXPECT_EQ(screen.boxes[1].owner, nullptr);
    EXPECT_EQ(screen.boxes[1].caption, "Setup");
    EXPECT_EQ(screen.boxes[1].style, UINT(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(screen.boxes[2].style, UINT(MB_YESNO | MB_ICONQUESTION));
    // Every other box without an icon of its own gets the exclamation mark.
    EXPECT_EQ(screen.boxes[3].style, UINT(MB_OKCANCEL | MB_ICONEXCLAMATION));
    EXPECT_EQ(screen.boxes[4].style, UINT(MB_OK | MB_ICONERROR));
}

TEST_F(Framework, ADialogThatKeepsTheDefaultInitialisationGetsTheDefaultFocus)
{
    CDialog plain(IDD_TEXT);
    user.Then([&] { EXPECT_EQ(screen.Focus(), screen.Control(IDD_TEXT, IDC_TEXT)->hwnd); });
    user.Click(IDCANCEL);
    EXPECT_EQ(plain.DoModal(), IDCANCEL);
}

TEST(FrameworkEntry, WithoutAnApplicationObjectThereIsNothingToRun)
{
    SimMachine machine;
    InstallPlatform(machine.Services());
    ASSERT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(AfxWinMain(), -1);
    EXPECT_TRUE(machine.record.calls.empty());
}

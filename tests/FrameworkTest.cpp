// Our application framework over the simulated windows: message tables, data
// exchange, the wait cursor and the application-level message box.
#include "tests/Harness.h"

namespace {

// A dialog on the port template, with a text bound to its edit control.
class CTextDialog : public CDialog {
public:
    CTextDialog() : CDialog(IDD_PORT_SELECTION) {}

    const MessageMap* GetMessageMap() const override
    {
        static const MessageEntry entries[] = {
            OnCommand(BN_CLICKED, IDC_PORT_OK, &CTextDialog::OnSave),
            OnCommand(LBN_SELCHANGE, IDC_PORT_LIST, &CTextDialog::OnSelect),
        };
        static const MessageMap map(CDialog::GetMessageMap(), entries);
        return &map;
    }

    void DoDataExchange(CDataExchange* dx) override
    {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, IDC_PORT_LIST, m_list);
        DDX_Text(dx, IDC_CURRENT_PORT, m_text);
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

    void OnSave()
    {
        UpdateData(TRUE);
        saved = m_text;
        EndDialog(IDOK);
    }

    void OnSelect() { selections.push_back(m_list.GetText(m_list.GetCurSel()) + "=" + std::to_string(m_list.GetItemData(m_list.GetCurSel()))); }

    CListBox m_list;
    std::string m_text;
    std::string saved;
    std::vector<std::string> selections;
};

}  // namespace

TEST_F(SetupTest, DataExchangeLoadsAndSavesAndTablesRouteByCodeAndId)
{
    app = std::make_unique<CSetupApp>();
    CTextDialog dialog;
    user.Then([&] { EXPECT_EQ(user.Control(IDD_PORT_SELECTION, IDC_CURRENT_PORT)->text, "loaded"); });
    user.ClickItem(IDC_PORT_LIST, 1);
    user.Then([&] { machine.windows.SetWindowTextA(user.Control(IDD_PORT_SELECTION, IDC_CURRENT_PORT)->hwnd, "typed"); });
    user.Click(IDC_PORT_OK);

    EXPECT_EQ(dialog.DoModal(), IDOK);

    EXPECT_EQ(dialog.saved, "typed");
    EXPECT_EQ(dialog.selections, std::vector<std::string>{"second=42"});
}

TEST_F(SetupTest, TheWaitCursorNestsAndEndsWithTheLastEnd)
{
    app = std::make_unique<CSetupApp>();
    app->BeginWaitCursor();
    app->BeginWaitCursor();
    app->EndWaitCursor();
    EXPECT_TRUE(user.waitCursor);
    app->EndWaitCursor();
    EXPECT_FALSE(user.waitCursor);
    app->EndWaitCursor();
    EXPECT_FALSE(user.waitCursor);
}

TEST_F(SetupTest, TheApplicationBoxIsCaptionedWithTheProgramsName)
{
    machine.modulePath = "C:\\Downloads\\Corvex\\Setup.exe";
    user.Answer(IDOK);
    app = std::make_unique<CSetupApp>();
    // Named on entry, as the framework's start does it.
    app->m_appName.clear();
    machine.HoldMutexElsewhere(SetupMutexName);
    AfxWinMain();
    ASSERT_EQ(app->m_appName, "Setup");

    AfxMessageBox("Please connect printer properly", MB_OK);

    ASSERT_EQ(user.boxes.size(), 2u);
    EXPECT_EQ(Describe(user.boxes[1]),
              Describe({nullptr, "Please connect printer properly", "Setup", MB_OK | MB_ICONEXCLAMATION, 0, 0}));
}

TEST_F(SetupTest, ScriptsThatOutrunTheProgramAreCaught)
{
    // The dialog waits for a user who has nothing more to do. The exception
    // unwinds start-up as the normal path would: the wait window, the model
    // dialog, then the single-instance mutex.
    EXPECT_THROW(RunSetup(), SimScriptExhausted);
    EXPECT_TRUE(user.Dialog(IDD_FILE_COPY)->destroyed);
    EXPECT_FALSE(machine.MutexOpen(SetupMutexName));
    EXPECT_LT(user.IndexOf("destroy 130"), user.IndexOf("CloseHandle"));
    // A question nobody answers.
    SimMachine second;
    InstallPlatform(second.Services());
    second.windows.Click(IDCANCEL);
    CSetupApp secondApp;
    EXPECT_THROW(AfxWinMain(), SimScriptExhausted);
}

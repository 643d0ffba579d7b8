#include "app/SetupDlg.h"

#include "profile/ModelProfile.h"
#include "profile/SetupTexts.h"
#include "install/FileCopy.h"
#include "ports/PrinterConnection.h"
#include "resources/resource.h"

CSetupDlg::CSetupDlg(CWnd* parent) : CDialog(IDD_SETUP_DIALOG, parent), m_hIcon(AfxGetApp()->LoadIcon(IDI_SETUP)) {}

const MessageMap* CSetupDlg::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnMessage(WM_PAINT, &CSetupDlg::OnPaint),
        OnMessage(WM_QUERYDRAGICON, &CSetupDlg::OnQueryDragIcon),
        OnNotify(TCN_SELCHANGE, IDC_MODEL_TAB, &CSetupDlg::OnTabSelChange),
        OnCommand(BN_CLICKED, IDOK, &CSetupDlg::OnOkClicked),
        OnCommand(BN_CLICKED, IDCANCEL, &CSetupDlg::OnCancelClicked),
        OnNotify(NM_CLICK, IDC_MODEL_LIST, &CSetupDlg::OnModelListClick),
    };
    static const MessageMap map(CDialog::GetMessageMap(), entries);
    return &map;
}

void CSetupDlg::DoDataExchange(CDataExchange* dx)
{
    // The base exchange has nothing to exchange.
    DDX_Control(dx, IDC_MODEL_TAB, m_tab);
    DDX_Control(dx, IDC_MODEL_LIST, m_modelList);
    DDX_Control(dx, IDC_VERSION_LABEL, m_versionLabel);
}

BOOL CSetupDlg::PreTranslateMessage(MSG* msg)
{
    // Escape neither cancels nor closes the dialog.
    if (IsEscapeKeyDown(msg)) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

BOOL CSetupDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_tab.InsertItem(0, "Printer Model");

    // Width 0: each image is as wide as the bitmap is high, one 96 by 96 picture.
    m_images.Create(IDB_MODEL, 0, 32, RGB(255, 255, 255));
    m_modelList.SetImageList(&m_images, LVSIL_NORMAL);

    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.pszText = const_cast<LPSTR>(ModelName[ConfiguredModel]);
    item.iImage = 0;
    m_modelList.InsertItem(&item);

    m_modelList.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);

    // In icon view the count per page is the number of items: the last one,
    // the model, ends up selected and focused.
    int last = m_modelList.GetCountPerPage() - 1;
    m_modelList.SetItemState(last, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_modelList.SetIconSpacing(350, 0);

    m_versionLabel.SetWindowText(VersionLabel);

    m_modelList.SetFocus();
    return TRUE;
}

void CSetupDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC));

    int iconWidth = AfxGetSystemMetrics(SM_CXICON);
    int iconHeight = AfxGetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    int x = (client.right - client.left - iconWidth + 1) / 2;
    int y = (client.bottom - client.top - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

LRESULT CSetupDlg::OnQueryDragIcon() { return reinterpret_cast<LRESULT>(m_hIcon); }

// The one tab shows the one model: a change of tab changes nothing.
void CSetupDlg::OnTabSelChange(NMHDR*, LRESULT*) {}

void CSetupDlg::OnModelListClick(NMHDR* header, LRESULT*)
{
    const NMITEMACTIVATE* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
    CWnd* ok = GetDlgItem(IDOK);
    ok->EnableWindow(FALSE);
    if (click->iItem != -1) ok->EnableWindow(TRUE);
}

void CSetupDlg::OnOkClicked()
{
    // The model profile is what gets installed, whatever the list shows.
    CFileCopy staging;
    staging.StageDriverFiles();
    ShowWindow(SW_HIDE);
    CPrinterConnection connection;
    connection.DoModal();
    CDialog::OnOK();
}

void CSetupDlg::OnCancelClicked() { OnCancel(); }

void CSetupDlg::OnCancel()
{
    if (MessageBox(ExitQuestion, SetupCaption, MB_YESNO | MB_ICONQUESTION) == IDYES) EndDialog(IDCANCEL);
}

#include "ports/PortSelection.h"

#include <cstring>
#include <new>

#include "install/FileCopy.h"
#include "install/Installer.h"
#include "install/SpoolerBuffer.h"
#include "profile/SetupTexts.h"
#include "resources/resource.h"

// Constructed before the application object, as the process-wide objects are:
// a priority ahead of every object that has none.
std::string SelectedPort __attribute__((init_priority(200)));

CPortSelection::CPortSelection(CWnd* parent) : CDialog(IDD_PORT_SELECTION, parent) {}

const MessageMap* CPortSelection::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnCommand(BN_CLICKED, IDC_PORT_OK, &CPortSelection::OnInstall),
        OnCommand(LBN_SELCHANGE, IDC_PORT_LIST, &CPortSelection::OnPortSelChange),
        OnCommand(BN_CLICKED, IDC_PORT_CANCEL, &CPortSelection::OnCancel),
    };
    static const MessageMap map(CDialog::GetMessageMap(), entries);
    return &map;
}

void CPortSelection::DoDataExchange(CDataExchange* dx)
{
    // The base exchange has nothing to exchange.
    DDX_Control(dx, IDC_PORT_LIST, m_portList);
    DDX_Text(dx, IDC_CURRENT_PORT, m_currentPort);
}

BOOL CPortSelection::PreTranslateMessage(MSG* msg)
{
    if (IsEscapeKeyDown(msg)) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

BOOL CPortSelection::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (!FillPortList()) {
        // Whichever button: the user is asked whether to leave.
        MessageBox("Unexpected error 0x002C occured while port enumeration.", SetupCaption, MB_OKCANCEL);
        OnCancel();
    }
    return TRUE;
}

bool CPortSelection::FillPortList()
{
    BYTE scratch[10] = {};
    DWORD needed{}, returned{};  // set by each call that answers
    // One level-2 entry alone takes more than 10 bytes: success means no port at all.
    if (Spooler().EnumPortsA(nullptr, 2, scratch, sizeof scratch, &needed, &returned)) return true;
    if (Process().GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;

    std::unique_ptr<char[]> buffer(AllocateSpoolerBuffer(needed));
    if (!buffer) return false;
    if (!Spooler().EnumPortsA(nullptr, 2, reinterpret_cast<LPBYTE>(buffer.get()), needed, &needed, &returned))
        return false;
    // Never more entries than the buffer holds, whatever the count says.
    if (returned > needed / sizeof(PORT_INFO_2A)) returned = needed / sizeof(PORT_INFO_2A);

    try {
        // OK is enabled by its template from the start, proposal or not.
        const PORT_INFO_2A* ports = reinterpret_cast<const PORT_INFO_2A*>(buffer.get());
        for (DWORD i = 0; i < returned; ++i) {
            const char* name = ports[i].pPortName;
            if (name == nullptr) continue;
            std::string text = std::string(name) + " (" + (ports[i].pDescription ? ports[i].pDescription : "") + ")";
            size_t length = std::strlen(name);
            // The dialog owns the name before any item points at it: a list
            // that cannot hold it gets no item for the port at all.
            m_portNames.push_back(std::unique_ptr<char[]>(new char[length + 1]));
            char* copy = m_portNames.back().get();
            std::memcpy(copy, name, length + 1);

            // Inserting at a position does not sort, whatever the list's
            // style: the list keeps the spooler's order.
            int at = m_portList.InsertString(m_portList.GetCount(), text.c_str());
            if (at < 0) continue;
            m_portList.SetItemData(at, reinterpret_cast<DWORD_PTR>(copy));

            if (std::strcmp(name, "LPT1:") == 0) {
                m_portList.SetCurSel(at);
                m_currentPort = text;
                SelectedPort = name;
                UpdateData(FALSE);
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    // The edit box shows the proposal already, or the empty text it was
    // given when the dialog opened.
    return true;
}

void CPortSelection::OnPortSelChange()
{
    int index = m_portList.GetCurSel();
    if (index < 0) return;
    m_currentPort = m_portList.GetText(index);
    // Every item got its port's name, which the dialog owns, right after it
    // was inserted; the data of an item that exists is never refused.
    SelectedPort = reinterpret_cast<const char*>(m_portList.GetItemData(index));
    UpdateData(FALSE);
}

void CPortSelection::OnInstall()
{
    ShowWindow(SW_HIDE);
    CFileCopy wait;
    wait.Create(IDD_FILE_COPY);
    BeginWaitCursor();
    wait.ShowNow();

    CInstaller installer;
    try {
        installer.PortName = SelectedPort;
        installer.RunInstallation();
    } catch (const std::bad_alloc&) {
        // No memory for the port's name: nothing was installed, and the
        // outcome says so.
    }

    wait.ShowWindow(SW_HIDE);
    EndWaitCursor();
    installer.ReportOutcome();
    CDialog::OnOK();
}

void CPortSelection::OnCancel()
{
    if (MessageBox(ExitQuestion, SetupCaption, MB_YESNO | MB_ICONQUESTION) == IDYES) CDialog::OnCancel();
}

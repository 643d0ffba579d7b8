#include "ports/PrinterConnection.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "install/FileCopy.h"
#include "install/Installer.h"
#include "ports/PortSelection.h"
#include "profile/ModelProfile.h"
#include "profile/SetupTexts.h"
#include "resources/resource.h"

namespace {

// The interface classes whose arrivals the dialog listens for: the system's
// USB device interfaces (GUID_DEVINTERFACE_USB_DEVICE).
const GUID kInterfaceClasses[] = {
    {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}},
};

// A device path starts with "\\?\" (four characters).
constexpr size_t kNamespacePrefix = 4;

}  // namespace

CPrinterConnection::CPrinterConnection(CWnd* parent) : CDialog(IDD_PRINTER_CONNECTION, parent) {}

CPrinterConnection::~CPrinterConnection() { ReleaseRegistration(); }

const MessageMap* CPrinterConnection::GetMessageMap() const
{
    static const MessageEntry entries[] = {
        OnCommand(BN_CLICKED, IDC_MANUAL, &CPrinterConnection::OnManual),
        OnCommand(BN_CLICKED, IDC_CONNECTION_CANCEL, &CPrinterConnection::OnCancel),
        OnMessage(WM_DEVICECHANGE, &CPrinterConnection::OnDeviceChange),
    };
    static const MessageMap map(CDialog::GetMessageMap(), entries);
    return &map;
}

BOOL CPrinterConnection::PreTranslateMessage(MSG* msg)
{
    if (IsEscapeKeyDown(msg)) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

BOOL CPrinterConnection::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (const GUID& interfaceClass : kInterfaceClasses) {
        DEV_BROADCAST_DEVICEINTERFACE_A filter{};
        filter.dbcc_size = sizeof filter;  // 32 bytes
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_reserved = 0;
        filter.dbcc_classguid = interfaceClass;
        // A refused registration only means that no arrival comes: Manual
        // and Cancel still work.
        m_hDeviceNotify = Spooler().RegisterDeviceNotificationA(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    return TRUE;
}

void CPrinterConnection::ReleaseRegistration()
{
    if (m_hDeviceNotify == nullptr) return;
    Spooler().UnregisterDeviceNotification(m_hDeviceNotify);
    m_hDeviceNotify = nullptr;
}

LRESULT CPrinterConnection::OnDeviceChange(WPARAM event, LPARAM data)
{
    // The system sends every top-level window other device changes too
    // (volumes, ports, the device tree): only interface arrivals count.
    const DEV_BROADCAST_HDR* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (event == DBT_DEVICEARRIVAL && header != nullptr && header->dbch_size >= sizeof(DEV_BROADCAST_HDR) &&
        header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE)
        OnPrinterArrival(header);
    return 0;
}

bool CPrinterConnection::IsConfiguredPrinter(const DEV_BROADCAST_HDR* header)
{
    const size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
    if (header->dbch_size <= nameOffset) return false;
    const char* name = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(header)->dbcc_name;
    // The name must end within the broadcast.
    size_t room = header->dbch_size - nameOffset;
    size_t length = strnlen(name, room);
    if (length == room || length < kNamespacePrefix) return false;

    // "\\?\USB#VID_F1C4&PID_1101#<serial>#{class}": without the namespace
    // prefix and from the last "#" on, the identity is what remains.
    std::string identity(name + kNamespacePrefix, length - kNamespacePrefix);
    size_t classPart = identity.rfind('#');
    if (classPart == std::string::npos) return false;
    identity.erase(classPart);
    std::string expected = std::string("USB#VID_F1C4&PID_1101#") + ShortId[ConfiguredModel];
    return Process()._mbsicmp(reinterpret_cast<const unsigned char*>(identity.c_str()),
                              reinterpret_cast<const unsigned char*>(expected.c_str())) == 0;
}

void CPrinterConnection::OnPrinterArrival(const DEV_BROADCAST_HDR* header)
{
    try {
        if (m_arrived || !IsConfiguredPrinter(header)) return;
    } catch (const std::bad_alloc&) {
        return;
    }
    // Stop listening before anything else: only one arrival is acted on.
    ReleaseRegistration();
    m_arrived = true;
    CDialog::OnOK();
    // However this handler ends, the ended dialog's loop must wake.
    struct WakeOnExit {
        CPrinterConnection* dialog;
        ~WakeOnExit() { dialog->WakeDialogLoop(); }
    } wake{this};

    BeginWaitCursor();
    CFileCopy wait;
    wait.Create(IDD_FILE_COPY);
    wait.ShowNow();
    // The system needs a moment to set up the printer's USB port.
    Process().Sleep(2000);
    if (UsbAutoInstall != 1) {
        EndWaitCursor();
        return;
    }

    CInstaller installer;
    bool lookupFailed = false;
    if (installer.InstallInfFile()) {
        try {
            std::string port = FindUsbPort();
            // The lookup has told the user already; there is no port to install on.
            lookupFailed = port == "FALSE";
            if (!lookupFailed) {
                installer.PortName = port;
                installer.RunInstallation();
            }
        } catch (const std::bad_alloc&) {
            // No memory for the port's name: nothing was installed, and the
            // outcome says so.
        }
    }
    wait.ShowWindow(SW_HIDE);
    EndWaitCursor();
    if (!lookupFailed) installer.ReportOutcome();
}

void CPrinterConnection::WakeDialogLoop()
{
    // The arrival is a sent message: the dialog's loop takes it inside
    // GetMessage and looks at its end flag only after a posted message. The
    // wake-up that EndDialog posted has been taken meanwhile by the boxes' own
    // loops, so without another one the ended dialog would wait for ever.
    PostMessage(WM_NULL);
}

void CPrinterConnection::OnManual()
{
    ReleaseRegistration();
    ShowWindow(SW_HIDE);
    CPortSelection ports;
    ports.DoModal();
    CDialog::OnOK();
}

void CPrinterConnection::OnCancel()
{
    if (MessageBox(ExitQuestion, SetupCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    // The printer may have arrived while the question was open: the dialog
    // has ended with its installation already.
    if (m_arrived) return;
    ReleaseRegistration();
    CDialog::OnCancel();
}

// ---------------------------------------------------------------- USB port lookup

namespace {

// Closes the keys the lookup opened, however it ends.
class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey()
    {
        if (m_key != nullptr) Registry().RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    bool Open(HKEY parent, const char* subKey)
    {
        return Registry().RegOpenKeyExA(parent, subKey, 0, KEY_READ, &m_key) == ERROR_SUCCESS;
    }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

}  // namespace

std::string CPrinterConnection::FindUsbPort()
{
    // The system's record of the printer's USB printing interface
    // (GUID_DEVINTERFACE_USBPRINT): one key per interface, named after its
    // device path with "#" for each backslash.
    const char kClassKey[] = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
    // Composed without the heap; the model table's short identifier always fits.
    char interfaceKey[MAX_PATH];
    (void)std::snprintf(interfaceKey, sizeof interfaceKey, "##?#USB#Vid_f1c4&Pid_1101#%s%s", ShortId[ConfiguredModel],
                        "#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");

    OpenKey classKey, printerInterface, reference, control, parameters;
    DWORD number = 0;
    DWORD size = sizeof number;
    DWORD type = REG_NONE;
    bool found = classKey.Open(HKEY_LOCAL_MACHINE, kClassKey) && printerInterface.Open(classKey.Get(), interfaceKey) &&
                 reference.Open(printerInterface.Get(), "#") && control.Open(reference.Get(), "Control");
    // "Linked" is 1 while the interface is active; missing or unreadable is not linked.
    found = found &&
            Registry().RegQueryValueExA(control.Get(), "Linked", nullptr, &type, reinterpret_cast<LPBYTE>(&number),
                                        &size) == ERROR_SUCCESS &&
            number == 1;
    found = found && parameters.Open(reference.Get(), "Device Parameters");
    if (found) {
        // A port number must be read in full: what the buffer held before is no port.
        size = sizeof number;
        found = Registry().RegQueryValueExA(parameters.Get(), "Port Number", nullptr, &type,
                                            reinterpret_cast<LPBYTE>(&number), &size) == ERROR_SUCCESS &&
                size == sizeof number;
    }
    if (!found) {
        AfxMessageBox("Please connect printer properly", MB_OK);
        return "FALSE";
    }
    char port[sizeof "USB-2147483648"];  // the longest there can be
    (void)std::snprintf(port, sizeof port, "USB%03d", static_cast<int>(number));
    return port;
}

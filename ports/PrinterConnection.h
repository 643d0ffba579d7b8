// The printer connection dialog. It asks the user to connect the printer and
// switch it on, and listens for the system's USB device-interface arrivals.
// When the configured printer arrives it ends itself and installs on the
// printer's USB port without asking anything more; Manual leads to the port
// selection dialog instead. Cancel and the close box ask first; Escape does
// nothing. Whichever way it ends, its device registration is released.
#pragma once
#include <string>

#include "framework/Afx.h"

class CPrinterConnection : public CDialog {
public:
    explicit CPrinterConnection(CWnd* parent = nullptr);
    ~CPrinterConnection() override;

    const MessageMap* GetMessageMap() const override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnInitDialog() override;
    // The exit confirmation.
    void OnCancel() override;

    // WM_DEVICECHANGE: device-interface arrivals go on to OnPrinterArrival.
    LRESULT OnDeviceChange(WPARAM event, LPARAM data);
    void OnPrinterArrival(const DEV_BROADCAST_HDR* header);
    void OnManual();

    // The USB port that the system gave the configured printer ("USB003"),
    // read from the record of its USB printing interface; on failure the user
    // is told, and the answer is "FALSE".
    std::string FindUsbPort();

    HDEVNOTIFY m_hDeviceNotify = nullptr;

private:
    // Whether the broadcast names the configured printer. Reads nothing
    // beyond the broadcast's stated size.
    bool IsConfiguredPrinter(const DEV_BROADCAST_HDR* header);
    void ReleaseRegistration();
    void WakeDialogLoop();

    // Set once the printer's arrival has ended the dialog.
    bool m_arrived = false;
};

// The manual port selection dialog: the spooler's ports in the spooler's
// order, "LPT1:" proposed when there is one. OK installs on the chosen port
// (the wait window, a new installer, the outcome box) and ends the dialog;
// Cancel and the close box ask first; Escape does nothing, and the platform's
// own OK command (id 1) does not close it.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "framework/Afx.h"

// The bare name of the port that the user chose by hand, such as "LPT1:".
// Empty at start; written only by the manual port selection dialog, read by
// its OK. Constructed before the application object.
extern std::string SelectedPort;

class CPortSelection : public CDialog {
public:
    explicit CPortSelection(CWnd* parent = nullptr);

    const MessageMap* GetMessageMap() const override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnInitDialog() override;
    // The installation runs from the OK button (1008); id 1 does nothing.
    void OnOK() override {}
    // The exit confirmation.
    void OnCancel() override;

    // Lists the spooler's ports; answers no when they cannot be enumerated.
    bool FillPortList();

    CListBox m_portList;
    // The display text of the selected item, bound to the edit box.
    std::string m_currentPort;

private:
    void OnPortSelChange();
    void OnInstall();

    // The items' own copies of their bare port names, their item data,
    // released with the dialog.
    std::vector<std::unique_ptr<char[]>> m_portNames;
};

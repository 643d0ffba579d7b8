// The model selection dialog: the first window the user sees. It shows the one
// model this program installs, with its picture and the version label. OK
// stages the driver package, hides the dialog, runs the printer connection
// dialog (which finds the port and installs) and then ends; Cancel asks first.
#pragma once
#include "framework/Afx.h"

class CSetupDlg : public CDialog {
public:
    explicit CSetupDlg(CWnd* parent = nullptr);

    const MessageMap* GetMessageMap() const override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;

    CTabCtrl m_tab;
    CListCtrl m_modelList;
    CImageList m_images;
    CStatic m_versionLabel;
    HICON m_hIcon;

private:
    void OnPaint();
    LRESULT OnQueryDragIcon();
    // Notifications: the framework has set their answer to 0, which both keep.
    void OnTabSelChange(NMHDR* header, LRESULT* result);
    void OnModelListClick(NMHDR* header, LRESULT* result);
    void OnOkClicked();
    void OnCancelClicked();
};

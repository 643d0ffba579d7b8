// The wait window ("Now the printer will be installed ... Please wait ..."),
// and the staging of the driver package into the spooler's driver directory.
//
// As a wait window it is created modeless from its template and shown and
// hidden by whoever is busy; neither Enter nor Escape closes it, and it has no
// close box. For staging it is used without a window at all.
#pragma once
#include "framework/Afx.h"
#include "install/DriverDirectory.h"

class CFileCopy : public CDialog {
public:
    explicit CFileCopy(CWnd* parent = nullptr);

    // Copies the driver package from the current folder into the driver
    // directory, with the wait cursor. Reports its own failures; a current
    // folder without the model's INF and description file, a failed copy,
    // and one that was aborted with a file left out, end the process with
    // exit code 1.
    void StageDriverFiles();
    bool QueryDriverDirectory();
    bool CopyDriverFiles();

    // Shows the wait window and paints it at once: its owners block the thread
    // right afterwards, and a window that waits for WM_PAINT stays blank.
    void ShowNow();

    BOOL PreTranslateMessage(MSG* msg) override;
    void OnOK() override;
    const MessageMap* GetMessageMap() const override;

    DriverPath DriverDirectory;
};

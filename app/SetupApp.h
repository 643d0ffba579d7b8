// The setup program: InitInstance runs all of it, on the main thread, from the
// start-up checks to the end of the model selection dialog, and answers false
// so that the framework ends the process without a message loop.
#pragma once
#include <string>

#include "framework/Afx.h"

class CSetupApp : public CWinApp {
public:
    CSetupApp();
    BOOL InitInstance() override;
    const MessageMap* GetMessageMap() const override;
};

// The bare name of the port that the user chose by hand, such as "LPT1:".
// Empty at start; written only by the manual port selection dialog.
extern std::string SelectedPort;

// Named in the system's global namespace, so every session on the machine
// sees a running setup, whichever user started it.
extern const char* const SetupMutexName;

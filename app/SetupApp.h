// The setup program: InitInstance runs all of it, on the main thread, from the
// start-up checks to the end of the model selection dialog, and answers false
// so that the framework ends the process without a message loop.
#pragma once
#include "framework/Afx.h"

class CSetupApp : public CWinApp {
public:
    CSetupApp();
    BOOL InitInstance() override;
    const MessageMap* GetMessageMap() const override;
};

// Named in the system's global namespace, so every session on the machine
// sees a running setup, whichever user started it.
extern const char* const SetupMutexName;

// Texts that several of the setup's windows share.
#pragma once

// The caption of every dialog and of the program's own message boxes.
extern const char* const SetupCaption;
// The question before the user leaves any of the setup's dialogs.
extern const char* const ExitQuestion;

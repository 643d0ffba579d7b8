// Texts that several parts of the setup show.
#pragma once

// The caption of every dialog and of the program's own message boxes.
extern const char* const SetupCaption;
// The question before the user leaves any of the setup's dialogs.
extern const char* const ExitQuestion;
// The spooler's driver directory could not be found: by the staging before
// any port is known, and by an installation's first stage.
extern const char* const DriverDirectoryError;
// The maker, and its web address as the model dialog shows it.
extern const char* const MakerName;
extern const char* const MakerWebAddress;

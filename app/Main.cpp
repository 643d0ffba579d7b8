// The process-wide objects of Setup.exe, constructed in this order before the
// framework calls InitInstance and destroyed in the reverse order at exit.
#include <string>

#include "app/SetupApp.h"

std::string SelectedPort;
CSetupApp theApp;

// The manual port selection dialog.
#pragma once
#include <string>

// The bare name of the port that the user chose by hand, such as "LPT1:".
// Empty at start; written only by the manual port selection dialog. Defined
// beside the application object, which is constructed after it.
extern std::string SelectedPort;

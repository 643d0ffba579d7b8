#include "profile/SetupTexts.h"

const char* const SetupCaption = "Corvex Printer Driver - Setup";
const char* const ExitQuestion =
    "Setup is not complete. If you quit now, the program will not be installed.\nExit Setup?";
const char* const DriverDirectoryError = "Unexpected error 0x001C occured.";
const char* const MakerName = "Corvantis";
const char* const MakerWebAddress = "www.corvantis.example";

#include "platform/win32/Win32Platform.h"

ISpooler& Win32Spooler();
ISystem& Win32System();
IWindowSystem& Win32Windows();

PlatformServices Win32Platform() { return {&Win32Spooler(), &Win32System(), &Win32Windows()}; }

#include "platform/win32/Win32Platform.h"

ISpooler& Win32Spooler();
IRegistry& Win32Registry();
IShell& Win32Shell();
IProcess& Win32Process();
IWindowSystem& Win32Windows();

PlatformServices Win32Platform()
{
    return {&Win32Spooler(), &Win32Registry(), &Win32Shell(), &Win32Process(), &Win32Windows()};
}

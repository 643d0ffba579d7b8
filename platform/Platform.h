// Where the program finds its platform: the real Win32 calls in Setup.exe, a
// simulated machine in the native tests. Whoever starts the program installs
// one set before anything else runs.
#pragma once
#include "platform/Spooler.h"
#include "platform/System.h"

class IWindowSystem;

struct PlatformServices {
    ISpooler* spooler;
    ISystem* system;
    IWindowSystem* windows;
};

void InstallPlatform(const PlatformServices& services);
ISpooler& Spooler();
ISystem& System();
IWindowSystem& Windows();

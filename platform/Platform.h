// Where the program finds its platform: the real Win32 calls in Setup.exe, a
// simulated machine in the native tests. Whoever starts the program installs
// one set before anything else runs; nothing below the program's entry (or a
// test's fixture) chooses.
#pragma once
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/Spooler.h"
#include "platform/WindowSystem.h"

struct PlatformServices {
    ISpooler* spooler;
    IRegistry* registry;
    IShell* shell;
    IProcess* process;
    IWindowSystem* windows;
};

void InstallPlatform(const PlatformServices& services);
ISpooler& Spooler();
IRegistry& Registry();
IShell& ShellApi();
IProcess& Process();
IWindowSystem& Windows();

#include "platform/Platform.h"

namespace {
PlatformServices current{};
}

void InstallPlatform(const PlatformServices& services) { current = services; }
ISpooler& Spooler() { return *current.spooler; }
IRegistry& Registry() { return *current.registry; }
IShell& ShellApi() { return *current.shell; }
IProcess& Process() { return *current.process; }
IWindowSystem& Windows() { return *current.windows; }

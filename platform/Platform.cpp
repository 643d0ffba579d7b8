#include "platform/Platform.h"

namespace {
PlatformServices current{};
}

void InstallPlatform(const PlatformServices& services) { current = services; }
ISpooler& Spooler() { return *current.spooler; }
ISystem& System() { return *current.system; }
IWindowSystem& Windows() { return *current.windows; }

#include "tests/sim/SimMachine.h"

SimMachine::SimMachine() = default;

PlatformServices SimMachine::Services() { return {&spooler, &registry, &files, &process, &windows}; }

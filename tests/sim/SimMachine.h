// A simulated Windows machine for the native tests.
//
// It is a small, faithful model of the behaviour the program relies on, not a
// mock: a test sets up a machine (files, registry, spooler ports and queues,
// version, rights), runs the program against it, and then looks at the
// machine's state and at what the user saw. Each part models one subsystem;
// they share the call record, in which every operation is recorded with its
// arguments and can be made to fail with a chosen error, always or at its
// n-th call. Time is a clock that Sleep advances: tests never really sleep.
#pragma once
#include <string>

#include "platform/Platform.h"
#include "tests/sim/SimCallRecord.h"
#include "tests/sim/SimFiles.h"
#include "tests/sim/SimProcess.h"
#include "tests/sim/SimRegistry.h"
#include "tests/sim/SimSpooler.h"
#include "tests/sim/SimUser.h"
#include "tests/sim/SimWindows.h"

class SimMachine {
public:
    SimMachine();
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    // The operation sets of this machine, for InstallPlatform.
    PlatformServices Services();

    // What a program left held that it should have given back: registry
    // keys, printer handles, device registrations, shell-link objects,
    // mutex handles, windows, image lists and message-filter hooks. Empty when nothing is held.
    std::string Held() const;

    // Restarts Windows: every process ends (what the program held is given
    // back, the programs it started no longer run, named mutexes are gone),
    // volatile registry keys are gone, and at log-on the programs of the Run
    // keys (HKLM and HKCU) start, each value a command line. Files, the rest
    // of the registry, the spooler's drivers, queues and default printer and
    // the INF store stay.
    void Restart();

    SimCallRecord record;
    SimProcess process{record};
    SimFiles files{record, process};
    SimRegistry registry{record};
    SimSpooler spooler{record, process, files};
    SimWindows windows{record, process};
    SimUser user{windows, spooler, record};
};

#include "tests/sim/SimMachine.h"

SimMachine::SimMachine() = default;

PlatformServices SimMachine::Services() { return {&spooler, &registry, &files, &process, &windows}; }

std::string SimMachine::Held() const
{
    std::string held;
    // An ended process holds nothing: the system closes what it left open.
    if (process.exited) return held;
    auto count = [&held](int number, const char* what) {
        if (number > 0) held += (held.empty() ? "" : ", ") + std::to_string(number) + " " + what;
    };
    count(registry.OpenKeys(), "registry keys");
    count(spooler.OpenPrinters(), "printer handles");
    count(spooler.ActiveRegistrations(), "device registrations");
    count(files.liveLinks, "shell-link objects");
    count(process.OpenHandles(), "mutex handles");
    count(windows.LiveWindows(), "windows");
    count(windows.LiveImageLists(), "image lists");
    return held;
}

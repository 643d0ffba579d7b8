#include "tests/sim/SimMachine.h"

#include <algorithm>
#include <vector>

SimMachine::SimMachine() = default;

void SimMachine::Restart()
{
    record.Log("restart");
    windows.Restart();
    files.Restart();
    spooler.Restart();
    registry.Restart();
    process.Restart();
    for (const char* run : {"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                            "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"})
        for (const SimRegistryValue& value : registry.ValuesOf(run)) {
            if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) continue;
            std::string line(value.data.begin(), value.data.end());
            line = line.substr(0, line.find('\0'));
            std::string program = files.ProgramOf(line);
            if (program.empty()) continue;
            process.running.push_back(program);
            record.Log("start " + program);
        }
}

PlatformServices SimMachine::Services() { return {&spooler, &registry, &files, &process, &windows}; }

std::string SimMachine::Held() const
{
    std::string held;
    // An ended process holds nothing: the system closes what it left open.
    if (process.exited) return held;
    auto count = [&held](int number, const char* what) {
        if (number > 0) held += (held.empty() ? "" : ", ") + std::to_string(number) + " " + what;
    };
    // A handle that the program gave back in a call that failed is not the
    // program's to give back again; every other one is.
    auto handles = [this, &count](const std::vector<uintptr_t>& open, const char* release, const char* what) {
        count(static_cast<int>(std::count_if(open.begin(), open.end(),
                                             [&](uintptr_t handle) { return !record.ReleaseFailed(release, handle); })),
              what);
    };
    std::vector<uintptr_t> registrations, imageLists;
    for (const SimRegistration& registration : spooler.registrations)
        if (registration.active) registrations.push_back(reinterpret_cast<uintptr_t>(registration.handle));
    for (HIMAGELIST list : windows.ImageLists()) imageLists.push_back(reinterpret_cast<uintptr_t>(list));
    handles(registry.OpenKeyHandles(), "RegCloseKey", "registry keys");
    handles(spooler.PrinterHandles(), "ClosePrinter", "printer handles");
    handles(registrations, "UnregisterDeviceNotification", "device registrations");
    count(files.liveLinks, "shell-link objects");
    handles(process.HandleValues(), "CloseHandle", "mutex handles");
    count(windows.LiveWindows(), "windows");
    handles(imageLists, "ImageList_Destroy", "image lists");
    count(windows.LiveHooks(), "message-filter hooks");
    return held;
}

#include "tests/sim/SimCallRecord.h"

#include "tests/sim/SimCode.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace sim {
thread_local int machineDepth = 0;
}  // namespace sim

namespace {

const std::set<std::string>& Operations()
{
    static const std::set<std::string> names = {
        // spooler and devices
        "GetPrinterDriverDirectoryA", "AddPrinterDriverA", "AddPrinterA", "ClosePrinter", "SetDefaultPrinterA",
        "EnumPortsA", "SetupCopyOEMInfA", "RegisterDeviceNotificationA", "UnregisterDeviceNotification",
        // registry
        "RegOpenKeyExA", "RegCreateKeyExA", "RegQueryValueExA", "RegSetValueExA", "RegCloseKey",
        // shell
        "SHFileOperationA", "SHCreateDirectory", "CreateDirectoryA", "ShellExecuteA", "CoInitialize",
        "CoCreateInstance", "MultiByteToWideChar", "IShellLinkA::QueryInterface", "IShellLinkA::SetPath",
        "IShellLinkA::SetDescription", "IShellLinkA::SetWorkingDirectory", "IShellLinkA::SetArguments",
        "IShellLinkA::Release", "IPersistFile::Save",
        // process
        "CreateMutexA", "CloseHandle", "GetVersionExA", "GetWindowsDirectoryA", "IsWow64Process", "IsUserAnAdmin", "InitCommonControls", "_mbsicmp", "Sleep", "Exit",
        // windows
        "ImageList_LoadImageA", "ImageList_Destroy",
    };
    return names;
}

void RefuseUnknown(const std::string& operation)
{
    if (!SimCallRecord::Known(operation)) throw std::logic_error("the simulated machine has no operation " + operation);
}

}  // namespace

bool SimCallRecord::Known(const std::string& operation) { return Operations().count(operation) != 0; }

DWORD SimCallRecord::Enter(const std::string& operation, const std::string& arguments)
{
    RefuseUnknown(operation);
    calls.push_back({operation, arguments});
    Log(operation);
    int count = ++m_callCounts[operation];
    for (const FaultRule& rule : m_faults)
        if (rule.operation == operation && (rule.nth == 0 || rule.nth == count)) return rule.error;
    return 0;
}

void SimCallRecord::Log(const std::string& what) { events.push_back({clock, what}); }

void SimCallRecord::Forget()
{
    calls.clear();
    events.clear();
    m_callCounts.clear();
}

void SimCallRecord::Fail(const std::string& operation, DWORD error, int nth)
{
    RefuseUnknown(operation);
    m_faults.push_back({operation, error, nth});
}

std::vector<SimCall> SimCallRecord::CallsOf(const std::string& operation) const
{
    RefuseUnknown(operation);
    std::vector<SimCall> found;
    for (const SimCall& call : calls)
        if (call.operation == operation) found.push_back(call);
    return found;
}

int SimCallRecord::CountOf(const std::string& operation) const { return static_cast<int>(CallsOf(operation).size()); }

size_t SimCallRecord::IndexOf(const std::string& what) const
{
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i].what == what) return i;
    return std::string::npos;
}

bool SimCallRecord::Happened(const std::string& what) const { return IndexOf(what) != std::string::npos; }

uint64_t SimCallRecord::TimeOf(const std::string& what) const
{
    size_t index = IndexOf(what);
    if (index == std::string::npos) throw std::logic_error("never happened: " + what);
    return events[index].time;
}

std::string SimCallRecord::OrderProblem(std::initializer_list<std::string> sequence) const
{
    size_t from = 0;
    const std::string* previous = nullptr;
    for (const std::string& what : sequence) {
        auto found = std::find_if(events.begin() + static_cast<std::ptrdiff_t>(from), events.end(),
                                  [&](const SimEvent& event) { return event.what == what; });
        if (found == events.end()) {
            if (!Happened(what)) return "\"" + what + "\" never happened";
            return "\"" + what + "\" did not happen after \"" + (previous ? *previous : std::string()) + "\"";
        }
        from = static_cast<size_t>(found - events.begin()) + 1;
        previous = &what;
    }
    return std::string();
}

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
        "SHFileOperationA", "GetCurrentDirectoryA", "GetFileAttributesA", "SHCreateDirectory", "CreateDirectoryA",
        "ShellExecuteA", "CoInitialize",
        "CoCreateInstance", "MultiByteToWideChar", "IShellLinkA::QueryInterface", "IShellLinkA::SetPath",
        "IShellLinkA::SetDescription", "IShellLinkA::SetWorkingDirectory", "IShellLinkA::SetArguments",
        "IShellLinkA::Release", "IPersistFile::Save",
        // process
        "CreateMutexA", "CloseHandle", "GetVersionExA", "GetWindowsDirectoryA", "IsWow64Process", "IsWow64Process2",
        "IsUserAnAdmin", "InitCommonControls", "_mbsicmp", "Sleep", "Exit", "GetLastError", "GetCurrentProcess", "WriteStdout",
        // windows
        "ImageList_LoadImageA", "ImageList_Destroy",
        "DialogBoxParam", "CreateDialogParam", "EndDialog", "DestroyWindow", "DialogTarget", "SetMessageFilterHook",
        "UnhookMessageFilter", "IsDialogMessageA", "GetAncestor", "ShowWindow", "RedrawWindow",
        "IsWindowVisible", "IsIconic", "EnableWindow", "IsWindowEnabled", "GetWindowStyle", "GetDlgItem", "SetFocus",
        "SendMessageA", "PostMessageA", "SetWindowTextA", "GetWindowTextA", "GetWindowTextLengthA", "BeginPaint",
        "EndPaint", "GetClientRect", "GetSystemMetrics", "DrawIcon", "MessageBoxA", "LoadIconA", "SetWaitCursor",
        "GetModuleFileNameA", "GetMessageA", "TranslateMessage", "DispatchMessageA",
    };
    return names;
}

// Errors of the system that the program's own header has no name for.
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr DWORD RPC_S_SERVER_UNAVAILABLE = 1722;  // the spooler service is not running
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr DWORD ERROR_NOT_ENOUGH_QUOTA = 1816;

// How Windows fails each operation that it fails at all. Whatever is not
// named here is an operation that Windows gives no failure for: a void one,
// the last error, the pseudo-handle of the process, the link object's
// Release, and the window operations that fail only for a handle that is no
// window of the calling thread (EndDialog, ShowWindow, GetDlgItem ...).
const std::map<std::string, std::vector<DWORD>>& Failures()
{
    const DWORD outOfMemory = 0x8007000E;  // E_OUTOFMEMORY
    static const std::map<std::string, std::vector<DWORD>> errors = {
        // spooler and devices
        {"GetPrinterDriverDirectoryA", {RPC_S_SERVER_UNAVAILABLE, ERROR_INSUFFICIENT_BUFFER}},
        {"AddPrinterDriverA", {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}},
        {"AddPrinterA", {ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER, ERROR_UNKNOWN_PORT, ERROR_UNKNOWN_PRINTER_DRIVER,
                         ERROR_PRINTER_ALREADY_EXISTS}},
        {"ClosePrinter", {ERROR_INVALID_HANDLE}},
        {"SetDefaultPrinterA", {ERROR_INVALID_PRINTER_NAME}},
        {"EnumPortsA", {RPC_S_SERVER_UNAVAILABLE, ERROR_INSUFFICIENT_BUFFER}},
        {"SetupCopyOEMInfA", {ERROR_ACCESS_DENIED, ERROR_INSUFFICIENT_BUFFER}},
        {"RegisterDeviceNotificationA", {ERROR_NOT_ENOUGH_MEMORY}},
        {"UnregisterDeviceNotification", {ERROR_INVALID_HANDLE}},
        // registry
        {"RegOpenKeyExA", {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED}},
        {"RegCreateKeyExA", {ERROR_ACCESS_DENIED}},
        {"RegQueryValueExA", {ERROR_MORE_DATA, ERROR_FILE_NOT_FOUND}},
        {"RegSetValueExA", {ERROR_ACCESS_DENIED}},
        {"RegCloseKey", {ERROR_INVALID_HANDLE}},
        // shell
        {"SHFileOperationA", {ERROR_ACCESS_DENIED, 0x7C /* DE_INVALIDFILES */, kShellCopyCancelled, kShellCopySkipped}},
        // A folder that the administrator may not list (a share, a profile of another user's).
        {"GetFileAttributesA", {ERROR_ACCESS_DENIED}},
        {"SHCreateDirectory", {ERROR_ACCESS_DENIED}},
        {"CreateDirectoryA", {ERROR_ACCESS_DENIED}},
        {"ShellExecuteA", {ERROR_FILE_NOT_FOUND}},
        {"CoInitialize", {outOfMemory}},
        {"CoCreateInstance", {static_cast<DWORD>(REGDB_E_CLASSNOTREG), outOfMemory}},
        {"MultiByteToWideChar", {ERROR_INSUFFICIENT_BUFFER, ERROR_NO_UNICODE_TRANSLATION}},
        {"IShellLinkA::QueryInterface", {static_cast<DWORD>(E_NOINTERFACE)}},
        {"IShellLinkA::SetPath", {outOfMemory}},
        {"IShellLinkA::SetDescription", {outOfMemory}},
        {"IShellLinkA::SetWorkingDirectory", {outOfMemory}},
        {"IShellLinkA::SetArguments", {outOfMemory}},
        {"IPersistFile::Save", {0x80070005 /* E_ACCESSDENIED */}},
        // process
        {"CreateMutexA", {ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE}},
        {"CloseHandle", {ERROR_INVALID_HANDLE}},
        {"GetVersionExA", {ERROR_INVALID_PARAMETER}},
        {"GetWindowsDirectoryA", {ERROR_INSUFFICIENT_BUFFER}},
        {"IsWow64Process", {ERROR_INVALID_HANDLE}},
        {"IsWow64Process2", {ERROR_INVALID_HANDLE}},
        {"IsUserAnAdmin", {ERROR_ACCESS_DENIED}},
        {"_mbsicmp", {ERROR_INVALID_PARAMETER}},
        // windows
        {"ImageList_LoadImageA", {ERROR_NOT_ENOUGH_MEMORY}},
        {"ImageList_Destroy", {ERROR_INVALID_HANDLE}},
        {"DialogBoxParam", {ERROR_NOT_ENOUGH_MEMORY}},
        {"CreateDialogParam", {ERROR_NOT_ENOUGH_MEMORY}},
        {"SetMessageFilterHook", {ERROR_NOT_ENOUGH_MEMORY}},
        {"RedrawWindow", {ERROR_NOT_ENOUGH_MEMORY}},
        {"SendMessageA", {ERROR_NOT_ENOUGH_MEMORY}},
        {"PostMessageA", {ERROR_NOT_ENOUGH_QUOTA}},
        {"SetWindowTextA", {ERROR_NOT_ENOUGH_MEMORY}},
        {"GetWindowTextA", {ERROR_NOT_ENOUGH_MEMORY}},
        {"GetWindowTextLengthA", {ERROR_NOT_ENOUGH_MEMORY}},
        {"BeginPaint", {ERROR_NOT_ENOUGH_MEMORY}},
        {"DrawIcon", {ERROR_NOT_ENOUGH_MEMORY}},
        {"GetSystemMetrics", {ERROR_INVALID_PARAMETER}},
        {"MessageBoxA", {ERROR_NOT_ENOUGH_MEMORY}},
        {"LoadIconA", {ERROR_RESOURCE_NAME_NOT_FOUND}},
        {"GetModuleFileNameA", {ERROR_INSUFFICIENT_BUFFER}},
    };
    return errors;
}

void RefuseUnknown(const std::string& operation)
{
    if (!SimCallRecord::Known(operation)) throw std::logic_error("the simulated machine has no operation " + operation);
}

}  // namespace

bool SimCallRecord::Known(const std::string& operation) { return Operations().count(operation) != 0; }

std::vector<std::string> SimCallRecord::AllOperations()
{
    return std::vector<std::string>(Operations().begin(), Operations().end());
}

std::vector<DWORD> SimCallRecord::ErrorsOf(const std::string& operation)
{
    RefuseUnknown(operation);
    auto found = Failures().find(operation);
    return found != Failures().end() ? found->second : std::vector<DWORD>();
}

DWORD SimCallRecord::Enter(const std::string& operation, const std::string& arguments)
{
    RefuseUnknown(operation);
    calls.push_back({operation, arguments, true});
    Log(operation);
    int count = ++m_callCounts[operation];
    for (const FaultRule& rule : m_faults)
        if (rule.operation == operation && (rule.nth == 0 || rule.nth == count) && rule.error != 0) {
            fired.push_back(operation + " #" + std::to_string(count));
            Log("fault " + operation);
            return rule.error;
        }
    return 0;
}

DWORD SimCallRecord::EnterRelease(const std::string& operation, const std::string& arguments, const void* handle)
{
    DWORD error = Enter(operation, arguments);
    if (error != 0) m_failedReleases.insert({operation, reinterpret_cast<uintptr_t>(handle)});
    return error;
}

bool SimCallRecord::ReleaseFailed(const std::string& operation, uintptr_t handle) const
{
    return m_failedReleases.count({operation, handle}) != 0;
}

void SimCallRecord::Note(const std::string& operation, const std::string& arguments)
{
    RefuseUnknown(operation);
    calls.push_back({operation, arguments, false});
    Log(operation);
    ++m_callCounts[operation];
}

void SimCallRecord::Log(const std::string& what) { events.push_back({clock, what}); }

void SimCallRecord::Forget()
{
    calls.clear();
    events.clear();
    fired.clear();
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

#include "platform/sim/SimMachine.h"

#include <algorithm>
#include <cstring>
#include <sstream>

std::string Lower(const std::string& text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return lower;
}

namespace {

std::string Text(const char* text) { return text == nullptr ? "(null)" : "\"" + std::string(text) + "\""; }

std::string Folder(const std::string& path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string Leaf(const std::string& path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The shell's wildcards, without regard to case.
bool Matches(const char* pattern, const char* name)
{
    for (; *pattern != '\0'; ++pattern, ++name) {
        if (*pattern == '*') {
            for (const char* rest = name;; ++rest) {
                if (Matches(pattern + 1, rest)) return true;
                if (*rest == '\0') return false;
            }
        }
        if (*name == '\0') return false;
        if (*pattern != '?' && std::tolower(static_cast<unsigned char>(*pattern)) !=
                                   std::tolower(static_cast<unsigned char>(*name)))
            return false;
    }
    return *name == '\0';
}

std::vector<std::string> MultiString(const char* list)
{
    std::vector<std::string> entries;
    for (const char* entry = list; entry != nullptr && *entry != '\0'; entry += std::strlen(entry) + 1)
        entries.emplace_back(entry);
    return entries;
}

std::string Optional(LPSTR value) { return value != nullptr ? std::string(value) : std::string(); }

std::string Narrow(PCWSTR text)
{
    std::string narrow;
    for (; text != nullptr && *text != 0; ++text) narrow += static_cast<char>(*text < 256 ? *text : '?');
    return narrow;
}

// The shell's link object: remembers what is set on it and saves it as a
// small text file, so that tests can read the shortcut back.
class SimShellLink final : public IShellLinkA, public IPersistFile {
public:
    explicit SimShellLink(SimMachine& machine) : m_machine(machine) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (Fault("IShellLinkA::QueryInterface")) return E_NOINTERFACE;
        if (riid == IID_IShellLinkA) {
            *ppv = static_cast<IShellLinkA*>(this);
        } else if (riid == IID_IPersistFile) {
            *ppv = static_cast<IPersistFile*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        ++m_references;
        return S_OK;
    }
    ULONG AddRef() override { return ++m_references; }
    ULONG Release() override
    {
        ULONG left = --m_references;
        if (left == 0) {
            m_machine.Record("IShellLinkA::Release", "last");
            delete this;
        }
        return left;
    }

    HRESULT SetPath(LPCSTR file) override { return Set("SetPath", file, m_target); }
    HRESULT SetDescription(LPCSTR name) override { return Set("SetDescription", name, m_description); }
    HRESULT SetWorkingDirectory(LPCSTR dir) override { return Set("SetWorkingDirectory", dir, m_workingDirectory); }
    HRESULT SetArguments(LPCSTR args) override { return Set("SetArguments", args, m_arguments); }

    HRESULT Save(LPCWSTR fileName, BOOL remember) override
    {
        std::string path = Narrow(fileName);
        m_machine.Record("IPersistFile::Save", Text(path.c_str()) + ", " + std::to_string(remember));
        if (Fault("IPersistFile::Save")) return E_FAIL;
        std::string folder = Folder(m_machine.Absolute(path));
        if (!m_machine.FolderExists(folder)) return static_cast<HRESULT>(0x80070003);  // path not found
        m_machine.WriteFile(path, "target=" + m_target + "\ndescription=" + m_description +
                                      "\nworkingDirectory=" + m_workingDirectory + "\narguments=" + m_arguments + "\n");
        return S_OK;
    }

    // Not used by the program.
    HRESULT GetPath(LPSTR, int, void*, DWORD) override { return E_FAIL; }
    HRESULT GetIDList(void**) override { return E_FAIL; }
    HRESULT SetIDList(const void*) override { return E_FAIL; }
    HRESULT GetDescription(LPSTR, int) override { return E_FAIL; }
    HRESULT GetWorkingDirectory(LPSTR, int) override { return E_FAIL; }
    HRESULT GetArguments(LPSTR, int) override { return E_FAIL; }
    HRESULT GetHotkey(WORD*) override { return E_FAIL; }
    HRESULT SetHotkey(WORD) override { return E_FAIL; }
    HRESULT GetShowCmd(int*) override { return E_FAIL; }
    HRESULT SetShowCmd(int) override { return E_FAIL; }
    HRESULT GetIconLocation(LPSTR, int, int*) override { return E_FAIL; }
    HRESULT SetIconLocation(LPCSTR, int) override { return E_FAIL; }
    HRESULT SetRelativePath(LPCSTR, DWORD) override { return E_FAIL; }
    HRESULT Resolve(HWND, DWORD) override { return E_FAIL; }
    HRESULT GetClassID(CLSID*) override { return E_FAIL; }
    HRESULT IsDirty() override { return E_FAIL; }
    HRESULT Load(LPCWSTR, DWORD) override { return E_FAIL; }
    HRESULT SaveCompleted(LPCWSTR) override { return E_FAIL; }
    HRESULT GetCurFile(LPWSTR*) override { return E_FAIL; }

private:
    bool Fault(const char* operation) { return m_machine.Fault(operation) != 0; }

    HRESULT Set(const char* operation, LPCSTR value, std::string& field)
    {
        m_machine.Record(std::string("IShellLinkA::") + operation, Text(value));
        if (Fault((std::string("IShellLinkA::") + operation).c_str())) return E_FAIL;
        field = value != nullptr ? value : "";
        return S_OK;
    }

    SimMachine& m_machine;
    ULONG m_references = 1;
    std::string m_target, m_description, m_workingDirectory, m_arguments;
};

}  // namespace

SimMachine::SimMachine() : windows(*this)
{
    AddFolder("C:\\Windows\\system32");
    AddFolder(driverDirectory);
    AddFolder(currentDirectory);
    AddFolder("C:\\Windows\\INF");
    AddKey("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    AddPort("LPT1:", "Printer Port");
    AddPort("COM1:", "Serial Port");
    AddPort("FILE:", "Print to File");
}

SimMachine::~SimMachine() = default;

PlatformServices SimMachine::Services() { return {this, this, &windows}; }

// ---------------------------------------------------------------- faults, calls

void SimMachine::Fail(const std::string& operation, DWORD error, int nth) { m_faults.push_back({operation, error, nth}); }

void SimMachine::Record(const std::string& operation, const std::string& arguments)
{
    calls.push_back({operation, arguments});
    windows.Log(operation);
}

DWORD SimMachine::Fault(const std::string& operation)
{
    int count = ++m_callCounts[operation];
    for (const FaultRule& rule : m_faults)
        if (rule.operation == operation && (rule.nth == 0 || rule.nth == count)) return rule.error;
    return 0;
}

std::vector<SimCall> SimMachine::CallsOf(const std::string& operation) const
{
    std::vector<SimCall> found;
    for (const SimCall& call : calls)
        if (call.operation == operation) found.push_back(call);
    return found;
}

int SimMachine::CountOf(const std::string& operation) const { return static_cast<int>(CallsOf(operation).size()); }

HANDLE SimMachine::NewHandle(HandleKind kind, const std::string& name)
{
    uintptr_t value = m_nextHandle;
    m_nextHandle += 4;
    m_handles[value] = {kind, name};
    return reinterpret_cast<HANDLE>(value);
}

const SimMachine::HandleEntry* SimMachine::HandleOf(HANDLE handle, HandleKind kind) const
{
    auto found = m_handles.find(reinterpret_cast<uintptr_t>(handle));
    return found != m_handles.end() && found->second.kind == kind ? &found->second : nullptr;
}

// ---------------------------------------------------------------- files

std::string SimMachine::Absolute(const std::string& path) const
{
    if (path.size() >= 2 && path[1] == ':') return path;
    return currentDirectory + "\\" + path;
}

void SimMachine::AddFolder(const std::string& path)
{
    std::string folder = Absolute(path);
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    for (size_t at = folder.find('\\'); at != std::string::npos; at = folder.find('\\', at + 1))
        m_folders.insert(Lower(folder.substr(0, at)));
    m_folders.insert(Lower(folder));
}

void SimMachine::AddFile(const std::string& path, const std::string& content)
{
    std::string absolute = Absolute(path);
    AddFolder(Folder(absolute));
    WriteFile(absolute, content);
}

void SimMachine::WriteFile(const std::string& path, const std::string& content)
{
    std::string absolute = Absolute(path);
    m_files[Lower(absolute)] = {absolute, content};
}

bool SimMachine::FileExists(const std::string& path) const { return m_files.count(Lower(Absolute(path))) != 0; }

bool SimMachine::FolderExists(const std::string& path) const
{
    std::string folder = Lower(Absolute(path));
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return m_folders.count(folder) != 0;
}

std::string SimMachine::FileContent(const std::string& path) const
{
    auto found = m_files.find(Lower(Absolute(path)));
    return found != m_files.end() ? found->second.content : std::string();
}

std::vector<std::string> SimMachine::FilesIn(const std::string& folder) const
{
    std::string prefix = Lower(Absolute(folder)) + "\\";
    std::vector<std::string> names;
    for (const auto& [key, file] : m_files)
        if (key.rfind(prefix, 0) == 0 && key.find('\\', prefix.size()) == std::string::npos)
            names.push_back(Leaf(file.path));
    std::sort(names.begin(), names.end());
    return names;
}

bool SimMachine::CopyFile(const std::string& from, const std::string& to)
{
    auto source = m_files.find(Lower(Absolute(from)));
    if (source == m_files.end() || !FolderExists(Folder(Absolute(to)))) return false;
    WriteFile(to, source->second.content);
    return true;
}

// ---------------------------------------------------------------- registry

void SimMachine::AddKey(const std::string& key)
{
    for (size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1)) {
        std::string parent = key.substr(0, at);
        if (!m_keys.count(Lower(parent))) m_keys[Lower(parent)].path = parent;
    }
    if (!m_keys.count(Lower(key))) m_keys[Lower(key)].path = key;
}

bool SimMachine::KeyExists(const std::string& key) const { return m_keys.count(Lower(key)) != 0; }

void SimMachine::SetValue(const std::string& key, const std::string& name, DWORD type, const std::vector<BYTE>& data)
{
    AddKey(key);
    m_keys[Lower(key)].values[Lower(name)] = {name, type, data};
}

void SimMachine::SetString(const std::string& key, const std::string& name, const std::string& text)
{
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    SetValue(key, name, REG_SZ, data);
}

void SimMachine::SetDword(const std::string& key, const std::string& name, DWORD number)
{
    std::vector<BYTE> data(4);
    std::memcpy(data.data(), &number, 4);
    SetValue(key, name, REG_DWORD, data);
}

const SimRegistryValue* SimMachine::Value(const std::string& key, const std::string& name) const
{
    auto found = m_keys.find(Lower(key));
    if (found == m_keys.end()) return nullptr;
    auto value = found->second.values.find(Lower(name));
    return value != found->second.values.end() ? &value->second : nullptr;
}

std::string SimMachine::KeyPath(HKEY root, const char* subKey) const
{
    std::string base;
    if (root == HKEY_LOCAL_MACHINE)
        base = "HKLM";
    else if (root == HKEY_CURRENT_USER)
        base = "HKCU";
    else if (const HandleEntry* open = HandleOf(root, HandleKind::Key))
        base = open->name;
    else
        return std::string();
    if (subKey == nullptr || *subKey == '\0') return base;
    return base + "\\" + subKey;
}

LSTATUS SimMachine::RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    std::string path = KeyPath(hKey, lpSubKey);
    Record("RegOpenKeyExA", Text(path.c_str()) + ", " + std::to_string(ulOptions) + ", " + std::to_string(samDesired));
    if (DWORD error = Fault("RegOpenKeyExA")) return static_cast<LSTATUS>(error);
    if (path.empty()) return ERROR_INVALID_HANDLE;
    if (!KeyExists(path)) return ERROR_FILE_NOT_FOUND;
    *phkResult = static_cast<HKEY>(NewHandle(HandleKind::Key, m_keys[Lower(path)].path));
    return ERROR_SUCCESS;
}

LSTATUS SimMachine::RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR lpClass, DWORD dwOptions,
                                    REGSAM samDesired, LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    std::string path = KeyPath(hKey, lpSubKey);
    Record("RegCreateKeyExA", Text(path.c_str()) + ", " + Text(lpClass) + ", " + std::to_string(dwOptions) + ", " +
                                  std::to_string(samDesired));
    if (DWORD error = Fault("RegCreateKeyExA")) return static_cast<LSTATUS>(error);
    if (path.empty()) return ERROR_INVALID_HANDLE;
    bool existed = KeyExists(path);
    AddKey(path);
    if (lpdwDisposition != nullptr) *lpdwDisposition = existed ? 2 : 1;  // opened / created
    *phkResult = static_cast<HKEY>(NewHandle(HandleKind::Key, m_keys[Lower(path)].path));
    return ERROR_SUCCESS;
}

LSTATUS SimMachine::RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                                     LPDWORD lpcbData)
{
    const HandleEntry* key = HandleOf(hKey, HandleKind::Key);
    Record("RegQueryValueExA", (key ? key->name : std::string("?")) + ", " + Text(lpValueName) + ", " +
                                   std::to_string(lpcbData ? *lpcbData : 0));
    if (DWORD error = Fault("RegQueryValueExA")) return static_cast<LSTATUS>(error);
    if (key == nullptr) return ERROR_INVALID_HANDLE;
    const SimRegistryValue* value = Value(key->name, lpValueName ? lpValueName : "");
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    if (lpType != nullptr) *lpType = value->type;
    DWORD size = static_cast<DWORD>(value->data.size());
    if (lpcbData == nullptr) return lpData == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    if (lpData != nullptr && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData != nullptr) std::memcpy(lpData, value->data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS SimMachine::RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                                   DWORD cbData)
{
    const HandleEntry* key = HandleOf(hKey, HandleKind::Key);
    Record("RegSetValueExA", (key ? key->name : std::string("?")) + ", " + Text(lpValueName) + ", " +
                                 std::to_string(dwType) + ", " + std::to_string(cbData));
    if (DWORD error = Fault("RegSetValueExA")) return static_cast<LSTATUS>(error);
    if (key == nullptr) return ERROR_INVALID_HANDLE;
    SetValue(key->name, lpValueName ? lpValueName : "", dwType, std::vector<BYTE>(lpData, lpData + cbData));
    return ERROR_SUCCESS;
}

LSTATUS SimMachine::RegCloseKey(HKEY hKey)
{
    Record("RegCloseKey", "");
    auto found = m_handles.find(reinterpret_cast<uintptr_t>(hKey));
    if (found == m_handles.end() || found->second.kind != HandleKind::Key) return ERROR_INVALID_HANDLE;
    m_handles.erase(found);
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------- spooler

void SimMachine::AddPort(const std::string& name, const std::string& description)
{
    ports.push_back({name, "Local Port", description});
}

const SimQueue* SimMachine::Queue(const std::string& name) const
{
    for (const SimQueue& queue : queues)
        if (Lower(queue.name) == Lower(name)) return &queue;
    return nullptr;
}

BOOL SimMachine::GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                            DWORD cbBuf, LPDWORD pcbNeeded)
{
    Record("GetPrinterDriverDirectoryA",
           Text(pName) + ", " + Text(pEnvironment) + ", " + std::to_string(Level) + ", " + std::to_string(cbBuf));
    if (DWORD error = Fault("GetPrinterDriverDirectoryA")) return SetLastError(error), FALSE;
    if (Level != 1) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
    DWORD needed = static_cast<DWORD>(driverDirectory.size() + 1);
    *pcbNeeded = needed;
    if (cbBuf < needed || pDriverDirectory == nullptr) return SetLastError(ERROR_INSUFFICIENT_BUFFER), FALSE;
    std::memcpy(pDriverDirectory, driverDirectory.c_str(), needed);
    return TRUE;
}

BOOL SimMachine::AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo)
{
    const DRIVER_INFO_6A* info = reinterpret_cast<const DRIVER_INFO_6A*>(pDriverInfo);
    Record("AddPrinterDriverA", Text(pName) + ", " + std::to_string(Level) + ", " + Text(info ? info->pName : nullptr));
    if (DWORD error = Fault("AddPrinterDriverA")) return SetLastError(error), FALSE;
    if (Level != 6 || info == nullptr || info->pName == nullptr) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
    // The spooler takes the driver's own files from the driver directory.
    if (info->pDataFile == nullptr || !FileExists(driverDirectory + "\\" + info->pDataFile))
        return SetLastError(ERROR_FILE_NOT_FOUND), FALSE;

    SimDriver driver;
    driver.name = info->pName;
    driver.version = info->cVersion;
    driver.driverPath = Optional(info->pDriverPath);
    driver.dataFile = Optional(info->pDataFile);
    driver.configFile = Optional(info->pConfigFile);
    driver.helpFile = Optional(info->pHelpFile);
    driver.dependentFiles = MultiString(info->pDependentFiles);
    driver.date = info->ftDriverDate;
    driver.driverVersion = info->dwlDriverVersion;
    driver.manufacturer = Optional(info->pszMfgName);
    driver.oemUrl = Optional(info->pszOEMUrl);
    driver.hardwareId = Optional(info->pszHardwareID);
    driver.provider = Optional(info->pszProvider);
    drivers.erase(std::remove_if(drivers.begin(), drivers.end(),
                                 [&](const SimDriver& known) { return Lower(known.name) == Lower(driver.name); }),
                  drivers.end());
    drivers.push_back(driver);
    return TRUE;
}

HANDLE SimMachine::AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter)
{
    const PRINTER_INFO_2A* info = reinterpret_cast<const PRINTER_INFO_2A*>(pPrinter);
    Record("AddPrinterA", Text(pName) + ", " + std::to_string(Level) + ", " +
                              Text(info ? info->pPrinterName : nullptr) + ", " + Text(info ? info->pPortName : nullptr));
    if (DWORD error = Fault("AddPrinterA")) return SetLastError(error), nullptr;
    if (Level != 2 || info == nullptr || info->pPrinterName == nullptr) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
    if (Queue(info->pPrinterName) != nullptr) return SetLastError(ERROR_PRINTER_ALREADY_EXISTS), nullptr;
    bool portKnown = false;
    for (const SimPort& port : ports) portKnown |= info->pPortName != nullptr && Lower(port.name) == Lower(info->pPortName);
    if (!portKnown) return SetLastError(ERROR_UNKNOWN_PORT), nullptr;
    bool driverKnown = false;
    for (const SimDriver& driver : drivers)
        driverKnown |= info->pDriverName != nullptr && Lower(driver.name) == Lower(info->pDriverName);
    if (!driverKnown) return SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER), nullptr;

    queues.push_back({info->pPrinterName, Optional(info->pShareName), info->pPortName, info->pDriverName,
                      Optional(info->pPrintProcessor), info->pDatatype != nullptr, info->Attributes, info->Priority});
    return NewHandle(HandleKind::Printer, info->pPrinterName);
}

BOOL SimMachine::ClosePrinter(HANDLE hPrinter)
{
    Record("ClosePrinter", "");
    if (DWORD error = Fault("ClosePrinter")) return SetLastError(error), FALSE;
    if (HandleOf(hPrinter, HandleKind::Printer) == nullptr) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    m_handles.erase(reinterpret_cast<uintptr_t>(hPrinter));
    return TRUE;
}

BOOL SimMachine::SetDefaultPrinterA(LPCSTR pszPrinter)
{
    Record("SetDefaultPrinterA", Text(pszPrinter));
    if (DWORD error = Fault("SetDefaultPrinterA")) return SetLastError(error), FALSE;
    if (pszPrinter == nullptr || Queue(pszPrinter) == nullptr) return SetLastError(ERROR_INVALID_PRINTER_NAME), FALSE;
    defaultPrinter = Queue(pszPrinter)->name;
    return TRUE;
}

BOOL SimMachine::EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPort, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    Record("EnumPortsA", Text(pName) + ", " + std::to_string(Level) + ", " + std::to_string(cbBuf));
    if (DWORD error = Fault("EnumPortsA")) return SetLastError(error), FALSE;
    if (Level != 2) return SetLastError(ERROR_INVALID_LEVEL), FALSE;
    // The records first, their strings packed at the end of the buffer.
    DWORD needed = static_cast<DWORD>(ports.size() * sizeof(PORT_INFO_2A));
    for (const SimPort& port : ports)
        needed += static_cast<DWORD>(port.name.size() + port.monitor.size() + port.description.size() + 3);
    *pcbNeeded = needed;
    *pcReturned = 0;
    if (cbBuf < needed || (needed > 0 && pPort == nullptr)) return SetLastError(ERROR_INSUFFICIENT_BUFFER), FALSE;

    PORT_INFO_2A* records = reinterpret_cast<PORT_INFO_2A*>(pPort);
    char* strings = reinterpret_cast<char*>(pPort) + cbBuf;
    auto pack = [&strings](const std::string& text) {
        strings -= text.size() + 1;
        std::memcpy(strings, text.c_str(), text.size() + 1);
        return strings;
    };
    for (size_t i = 0; i < ports.size(); ++i) {
        records[i].pPortName = pack(ports[i].name);
        records[i].pMonitorName = pack(ports[i].monitor);
        records[i].pDescription = pack(ports[i].description);
        records[i].fPortType = 0x3;  // write, read
        records[i].Reserved = 0;
    }
    *pcReturned = static_cast<DWORD>(ports.size());
    return TRUE;
}

BOOL SimMachine::SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                                  DWORD CopyStyle, PSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                                  PDWORD RequiredSize, PSTR*)
{
    Record("SetupCopyOEMInfA", Text(SourceInfFileName) + ", " + Text(OEMSourceMediaLocation) + ", " +
                                   std::to_string(OEMSourceMediaType) + ", " + std::to_string(CopyStyle) + ", " +
                                   std::to_string(DestinationInfFileNameSize));
    if (DWORD error = Fault("SetupCopyOEMInfA")) return SetLastError(error), FALSE;
    if (SourceInfFileName == nullptr || !FileExists(SourceInfFileName)) return SetLastError(ERROR_FILE_NOT_FOUND), FALSE;
    std::string content = FileContent(SourceInfFileName);
    std::string stored;
    for (const std::string& name : infStore)
        if (FileContent("C:\\Windows\\INF\\" + name) == content) stored = name;
    if (stored.empty()) {
        stored = "oem" + std::to_string(infStore.size()) + ".inf";
        infStore.push_back(stored);
        WriteFile("C:\\Windows\\INF\\" + stored, content);
    } else if (CopyStyle & SP_COPY_NOOVERWRITE) {
        return SetLastError(ERROR_FILE_EXISTS), FALSE;
    }
    std::string destination = "C:\\Windows\\INF\\" + stored;
    if (RequiredSize != nullptr) *RequiredSize = static_cast<DWORD>(destination.size() + 1);
    if (DestinationInfFileName != nullptr) {
        if (DestinationInfFileNameSize < destination.size() + 1) return SetLastError(ERROR_INSUFFICIENT_BUFFER), FALSE;
        std::memcpy(DestinationInfFileName, destination.c_str(), destination.size() + 1);
    }
    return TRUE;
}

HDEVNOTIFY SimMachine::RegisterDeviceNotificationA(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags)
{
    const DEV_BROADCAST_DEVICEINTERFACE_A* filter = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(NotificationFilter);
    Record("RegisterDeviceNotificationA", std::to_string(filter ? filter->dbcc_size : 0) + ", " +
                                              std::to_string(filter ? filter->dbcc_devicetype : 0) + ", " +
                                              std::to_string(Flags));
    if (DWORD error = Fault("RegisterDeviceNotificationA")) return SetLastError(error), nullptr;
    if (filter == nullptr || filter->dbcc_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
    HDEVNOTIFY handle = NewHandle(HandleKind::Notification, "");
    windows.registrations.push_back({handle, static_cast<HWND>(hRecipient), filter->dbcc_classguid, true});
    return handle;
}

BOOL SimMachine::UnregisterDeviceNotification(HDEVNOTIFY Handle)
{
    Record("UnregisterDeviceNotification", "");
    if (DWORD error = Fault("UnregisterDeviceNotification")) return SetLastError(error), FALSE;
    for (auto& registration : windows.registrations)
        if (registration.handle == Handle && registration.active) {
            registration.active = false;
            return TRUE;
        }
    return SetLastError(ERROR_INVALID_HANDLE), FALSE;
}

// ---------------------------------------------------------------- shell

int SimMachine::CopyMatches(const std::string& source, const std::string& destinationFolder)
{
    std::string absolute = Absolute(source);
    std::string folder = Folder(absolute);
    std::string pattern = Leaf(absolute);
    bool wildcard = pattern.find_first_of("*?") != std::string::npos;
    int copied = 0;
    for (const std::string& name : FilesIn(folder)) {
        if (!Matches(pattern.c_str(), name.c_str())) continue;
        WriteFile(destinationFolder + "\\" + name, FileContent(folder + "\\" + name));
        ++copied;
    }
    // A wildcard that matches nothing copies nothing; a missing named file fails.
    return !wildcard && copied == 0 ? static_cast<int>(ERROR_FILE_NOT_FOUND) : 0;
}

int SimMachine::SHFileOperationA(SHFILEOPSTRUCTA* lpFileOp)
{
    std::vector<std::string> from = MultiString(lpFileOp->pFrom);
    std::vector<std::string> to = MultiString(lpFileOp->pTo);
    std::ostringstream arguments;
    arguments << "func=" << lpFileOp->wFunc << ", flags=0x" << std::hex << lpFileOp->fFlags << std::dec << ", from=";
    for (const std::string& entry : from) arguments << "[" << entry << "]";
    arguments << ", to=";
    for (const std::string& entry : to) arguments << "[" << entry << "]";
    arguments << ", hwnd=" << (lpFileOp->hwnd != nullptr ? "set" : "none") << (windows.waitCursor ? ", wait cursor" : "");
    Record("SHFileOperationA", arguments.str());
    if (DWORD error = Fault("SHFileOperationA")) return static_cast<int>(error);
    if (lpFileOp->wFunc != FO_COPY || from.empty() || to.size() != 1) return static_cast<int>(ERROR_INVALID_PARAMETER);

    std::string destination = Absolute(to[0]);
    while (!destination.empty() && destination.back() == '\\') destination.pop_back();
    if (!FolderExists(destination)) {
        // Without FOF_NOCONFIRMMKDIR the shell would ask first; we only model the flag's answer.
        if (!(lpFileOp->fFlags & FOF_NOCONFIRMMKDIR)) return static_cast<int>(ERROR_PATH_NOT_FOUND);
        AddFolder(destination);
    }
    for (const std::string& source : from)
        if (int result = CopyMatches(source, destination)) return result;
    return 0;
}

int SimMachine::SHCreateDirectory(HWND, PCWSTR pszPath)
{
    std::string path = Narrow(pszPath);
    Record("SHCreateDirectory", Text(path.c_str()));
    if (DWORD error = Fault("SHCreateDirectory")) return static_cast<int>(error);
    if (FolderExists(path)) return ERROR_ALREADY_EXISTS;
    AddFolder(path);
    return ERROR_SUCCESS;
}

BOOL SimMachine::CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    Record("CreateDirectoryA", Text(lpPathName));
    if (DWORD error = Fault("CreateDirectoryA")) return SetLastError(error), FALSE;
    std::string path = lpPathName != nullptr ? Absolute(lpPathName) : std::string();
    if (FolderExists(path)) return SetLastError(ERROR_ALREADY_EXISTS), FALSE;
    if (!FolderExists(Folder(path))) return SetLastError(ERROR_PATH_NOT_FOUND), FALSE;
    AddFolder(path);
    return TRUE;
}

HINSTANCE SimMachine::ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                                    LPCSTR lpDirectory, INT nShowCmd)
{
    Record("ShellExecuteA", std::string(hwnd ? "owner" : "none") + ", " + Text(lpOperation) + ", " + Text(lpFile) +
                                ", " + Text(lpParameters) + ", " + Text(lpDirectory) + ", " + std::to_string(nShowCmd));
    if (DWORD error = Fault("ShellExecuteA")) return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(error & 0x1F));
    if (lpFile == nullptr || !FileExists(lpFile)) return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(2));
    launched.push_back(lpFile);
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(42));
}

BOOL SimMachine::IsUserAnAdmin()
{
    Record("IsUserAnAdmin", "");
    return administrator ? TRUE : FALSE;
}

HRESULT SimMachine::CoInitialize(LPVOID)
{
    Record("CoInitialize", "");
    if (DWORD error = Fault("CoInitialize")) return static_cast<HRESULT>(error);
    bool already = comInitialised;
    comInitialised = true;
    return already ? 1 /* S_FALSE */ : S_OK;
}

HRESULT SimMachine::CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv)
{
    Record("CoCreateInstance", std::string(rclsid == CLSID_ShellLink ? "CLSID_ShellLink" : "?") + ", " +
                                   (pUnkOuter ? "outer" : "none") + ", " + std::to_string(dwClsContext) + ", " +
                                   (riid == IID_IShellLinkA ? "IID_IShellLinkA" : "?"));
    *ppv = nullptr;
    if (DWORD error = Fault("CoCreateInstance")) return static_cast<HRESULT>(error);
    if (!comInitialised) return static_cast<HRESULT>(0x800401F0);  // CO_E_NOTINITIALIZED
    if (!(rclsid == CLSID_ShellLink)) return REGDB_E_CLASSNOTREG;
    SimShellLink* link = new SimShellLink(*this);
    HRESULT result = link->QueryInterface(riid, ppv);
    link->Release();
    return result;
}

int SimMachine::MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                    LPWSTR lpWideCharStr, int cchWideChar)
{
    Record("MultiByteToWideChar", std::to_string(CodePage) + ", " + std::to_string(dwFlags) + ", " +
                                      Text(lpMultiByteStr) + ", " + std::to_string(cbMultiByte) + ", " +
                                      std::to_string(cchWideChar));
    if (DWORD error = Fault("MultiByteToWideChar")) return SetLastError(error), 0;
    if (lpMultiByteStr == nullptr) return SetLastError(ERROR_INVALID_PARAMETER), 0;
    // The ANSI code page of an English system, taken as Latin-1.
    int length = cbMultiByte < 0 ? static_cast<int>(std::strlen(lpMultiByteStr)) + 1 : cbMultiByte;
    if (cchWideChar == 0) return length;
    if (cchWideChar < length) return SetLastError(ERROR_INSUFFICIENT_BUFFER), 0;
    for (int i = 0; i < length; ++i) lpWideCharStr[i] = static_cast<unsigned char>(lpMultiByteStr[i]);
    return length;
}

// ---------------------------------------------------------------- process

void SimMachine::HoldMutexElsewhere(const std::string& name) { ++m_mutexes[name]; }

bool SimMachine::MutexOpen(const std::string& name) const
{
    auto found = m_mutexes.find(name);
    return found != m_mutexes.end() && found->second > 0;
}

HANDLE SimMachine::CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName)
{
    Record("CreateMutexA", std::to_string(bInitialOwner) + ", " + Text(lpName));
    if (DWORD error = Fault("CreateMutexA")) return SetLastError(error), nullptr;
    std::string name = lpName != nullptr ? lpName : "";
    bool existed = MutexOpen(name);
    ++m_mutexes[name];
    // Success, with ERROR_ALREADY_EXISTS when the name was taken already.
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return NewHandle(HandleKind::Mutex, name);
}

DWORD SimMachine::GetLastError() { return lastError; }

BOOL SimMachine::CloseHandle(HANDLE hObject)
{
    Record("CloseHandle", "");
    const HandleEntry* entry = HandleOf(hObject, HandleKind::Mutex);
    if (entry == nullptr) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
    --m_mutexes[entry->name];
    m_handles.erase(reinterpret_cast<uintptr_t>(hObject));
    return TRUE;
}

BOOL SimMachine::GetVersionExA(OSVERSIONINFOA* lpVersionInformation)
{
    Record("GetVersionExA", std::to_string(lpVersionInformation->dwOSVersionInfoSize));
    if (DWORD error = Fault("GetVersionExA")) return SetLastError(error), FALSE;
    if (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return SetLastError(ERROR_INSUFFICIENT_BUFFER), FALSE;
    lpVersionInformation->dwMajorVersion = majorVersion;
    lpVersionInformation->dwMinorVersion = minorVersion;
    lpVersionInformation->dwBuildNumber = 7601;
    lpVersionInformation->dwPlatformId = 2;  // VER_PLATFORM_WIN32_NT
    return TRUE;
}

void SimMachine::InitCommonControls() { Record("InitCommonControls", ""); }

void SimMachine::Sleep(DWORD dwMilliseconds)
{
    Record("Sleep", std::to_string(dwMilliseconds));
    clock += dwMilliseconds;
}

void SimMachine::Exit(int exitCode)
{
    Record("Exit", std::to_string(exitCode));
    throw SimProcessExit{exitCode};
}

void SimMachine::WriteStdout(const char* text) { standardOutput += text; }

#include "tests/sim/SimSpooler.h"

#include <algorithm>
#include <cstring>

#include "tests/sim/SimCode.h"
#include "tests/sim/SimText.h"

namespace {

std::string Optional(LPCSTR value) { return value != nullptr ? std::string(value) : std::string(); }

std::string Trimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// What the store reads of an INF: whether it has a [Manufacturer] section,
// and the [Version] entries, by their lower-case names.
struct InfText {
    bool manufacturer = false;
    std::vector<std::pair<std::string, std::string>> version;
};

InfText ReadInf(const std::string& content)
{
    InfText inf;
    std::string section;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        // A comment runs from ';' to the end of the line.
        line = Trimmed(line.substr(0, line.find(';')));
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = Lower(Trimmed(line.substr(1, line.size() - 2)));
            inf.manufacturer |= section == "manufacturer";
            continue;
        }
        size_t equals = line.find('=');
        if (section == "version" && equals != std::string::npos) {
            std::string value = Trimmed(line.substr(equals + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            inf.version.emplace_back(Lower(Trimmed(line.substr(0, equals))), value);
        }
    }
    return inf;
}

}  // namespace

SimSpooler::SimSpooler(SimCallRecord& record, SimProcess& process, SimFiles& files)
    : m_record(record), m_process(process), m_files(files)
{
    SetDriverDirectory(driverDirectory);
    AddPort("LPT1:", "Printer Port");
    AddPort("COM1:", "Serial Port");
    AddPort("FILE:", "Print to File");
}

void SimSpooler::SetDriverDirectory(const std::string& path)
{
    driverDirectory = path;
    m_files.AddFolder(path);
}

void SimSpooler::AddUnidrvAsWindows7()
{
    for (const char* module : {"unidrv.dll", "unidrvui.dll", "unidrv.hlp", "unires.dll", "stdnames.gpd", "TTFSUB.gpd"})
        m_files.AddFile(driverDirectory + "\\3\\" + module, std::string("Unidrv ") + module);
}

void SimSpooler::AddPort(const std::string& name, const std::string& description)
{
    ports.push_back({name, "Local Port", description});
}

const SimQueue* SimSpooler::Queue(const std::string& name) const
{
    for (const SimQueue& queue : queues)
        if (Lower(queue.name) == Lower(name)) return &queue;
    return nullptr;
}

const SimDriver* SimSpooler::Driver(const std::string& name) const
{
    for (const SimDriver& driver : drivers)
        if (Lower(driver.name) == Lower(name)) return &driver;
    return nullptr;
}

void SimSpooler::Restart()
{
    m_printers.clear();
    for (SimRegistration& registration : registrations) registration.active = false;
}

int SimSpooler::ActiveRegistrations() const
{
    return static_cast<int>(std::count_if(registrations.begin(), registrations.end(),
                                          [](const SimRegistration& registration) { return registration.active; }));
}

BOOL SimSpooler::GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                            DWORD cbBuf, LPDWORD pcbNeeded)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.Enter("GetPrinterDriverDirectoryA", Quoted(pName) + ", " + Quoted(pEnvironment) + ", " +
                                                                       std::to_string(Level) + ", " +
                                                                       std::to_string(cbBuf))) {
        // Too small a buffer, also for one sized by an earlier call: the size needed.
        if (error == ERROR_INSUFFICIENT_BUFFER && pcbNeeded != nullptr)
            *pcbNeeded = std::max(static_cast<DWORD>(2 * (driverDirectory.size() + 1)), cbBuf + 1);
        return Failed(error);
    }
    if (Level != 1) return Failed(ERROR_INVALID_LEVEL);
    // The ANSI call asks the spooler's wide one with the caller's buffer size
    // and converts after: it needs, and answers, the path's size in UTF-16
    // bytes, NUL included, twice what the ANSI path takes.
    DWORD needed = static_cast<DWORD>(2 * (driverDirectory.size() + 1));
    *pcbNeeded = needed;
    if (cbBuf < needed || pDriverDirectory == nullptr) return Failed(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(pDriverDirectory, driverDirectory.c_str(), driverDirectory.size() + 1);
    return TRUE;
}

BOOL SimSpooler::AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo)
{
    sim::SimCode inSimulator;
    const DRIVER_INFO_6A* info = reinterpret_cast<const DRIVER_INFO_6A*>(pDriverInfo);
    if (DWORD error = m_record.Enter("AddPrinterDriverA", Quoted(pName) + ", " + std::to_string(Level) + ", " +
                                                              Quoted(info ? info->pName : nullptr)))
        return Failed(error);
    if (Level != 6) return Failed(ERROR_INVALID_LEVEL);
    if (info == nullptr || info->pName == nullptr || info->pDriverPath == nullptr || info->pDataFile == nullptr ||
        info->pConfigFile == nullptr)
        return Failed(ERROR_INVALID_PARAMETER);
    SimDriver driver;
    driver.dependentFiles = ReadMultiString(info->pDependentFiles);
    // Every file the record names is taken from the driver directory, or is
    // there already in its version folder from an earlier driver; the
    // spooler then copies the new ones into the version folder.
    std::vector<std::string> files = {info->pDataFile, info->pDriverPath, info->pConfigFile};
    if (info->pHelpFile != nullptr) files.emplace_back(info->pHelpFile);
    files.insert(files.end(), driver.dependentFiles.begin(), driver.dependentFiles.end());
    std::string versionFolder = driverDirectory + "\\" + std::to_string(info->cVersion);
    for (const std::string& file : files)
        if (!m_files.FileExists(driverDirectory + "\\" + file) && !m_files.FileExists(versionFolder + "\\" + file))
            return Failed(ERROR_FILE_NOT_FOUND);
    m_files.AddFolder(versionFolder);
    for (const std::string& file : files)
        if (m_files.FileExists(driverDirectory + "\\" + file))
            m_files.WriteFile(versionFolder + "\\" + file, m_files.FileContent(driverDirectory + "\\" + file));

    driver.name = info->pName;
    driver.version = info->cVersion;
    driver.driverPath = info->pDriverPath;
    driver.dataFile = info->pDataFile;
    driver.configFile = info->pConfigFile;
    driver.helpFile = Optional(info->pHelpFile);
    driver.monitorName = Optional(info->pMonitorName);
    driver.defaultDataType = Optional(info->pDefaultDataType);
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

HANDLE SimSpooler::AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter)
{
    sim::SimCode inSimulator;
    const PRINTER_INFO_2A* info = reinterpret_cast<const PRINTER_INFO_2A*>(pPrinter);
    if (DWORD error = m_record.Enter("AddPrinterA", Quoted(pName) + ", " + std::to_string(Level) + ", " +
                                                        Quoted(info ? info->pPrinterName : nullptr) + ", " +
                                                        Quoted(info ? info->pPortName : nullptr) + ", " +
                                                        Quoted(info ? info->pDatatype : nullptr)))
        return Failed(error), nullptr;
    if (Level != 2) return Failed(ERROR_INVALID_LEVEL), nullptr;
    if (info == nullptr || info->pPrinterName == nullptr || info->pPrinterName[0] == '\0' ||
        info->pPrintProcessor == nullptr)
        return Failed(ERROR_INVALID_PARAMETER), nullptr;
    if (rejectsQueueWithoutDatatype && info->pDatatype == nullptr) return Failed(ERROR_INVALID_PARAMETER), nullptr;
    if (Queue(info->pPrinterName) != nullptr) return Failed(ERROR_PRINTER_ALREADY_EXISTS), nullptr;
    bool portKnown = false;
    for (const SimPort& port : ports)
        portKnown |= Known(port) && info->pPortName != nullptr && Lower(port.name) == Lower(info->pPortName);
    if (!portKnown) return Failed(ERROR_UNKNOWN_PORT), nullptr;
    if (info->pDriverName == nullptr || Driver(info->pDriverName) == nullptr)
        return Failed(ERROR_UNKNOWN_PRINTER_DRIVER), nullptr;
    // The print processor that Windows brings, and the data types it takes;
    // without a data type the queue takes the processor's default, RAW.
    if (Lower(info->pPrintProcessor) != "winprint") return Failed(ERROR_UNKNOWN_PRINTPROCESSOR), nullptr;
    static const char* const kDatatypes[] = {"raw", "raw [ff appended]", "raw [ff auto]", "nt emf 1.003",
                                             "nt emf 1.006", "nt emf 1.007", "nt emf 1.008", "text", "xps2gdi"};
    bool knownDatatype = info->pDatatype == nullptr;
    for (const char* datatype : kDatatypes) knownDatatype |= info->pDatatype != nullptr && Lower(info->pDatatype) == datatype;
    if (!knownDatatype) return Failed(ERROR_INVALID_DATATYPE), nullptr;

    SimQueue queue;
    queue.name = info->pPrinterName;
    queue.shareName = Optional(info->pShareName);
    queue.portName = info->pPortName;
    queue.driverName = info->pDriverName;
    queue.printProcessor = info->pPrintProcessor;
    queue.datatype = Optional(info->pDatatype);
    queue.datatypeGiven = info->pDatatype != nullptr;
    queue.commentGiven = info->pComment != nullptr;
    queue.locationGiven = info->pLocation != nullptr;
    queue.devModeGiven = info->pDevMode != nullptr;
    queue.sepFileGiven = info->pSepFile != nullptr;
    queue.parametersGiven = info->pParameters != nullptr;
    queue.securityGiven = info->pSecurityDescriptor != nullptr;
    queue.attributes = info->Attributes;
    queue.priority = info->Priority;
    queue.defaultPriority = info->DefaultPriority;
    queue.startTime = info->StartTime;
    queue.untilTime = info->UntilTime;
    queues.push_back(queue);
    uintptr_t handle = m_nextHandle;
    m_nextHandle += 4;
    m_printers.push_back(handle);
    return reinterpret_cast<HANDLE>(handle);
}

BOOL SimSpooler::ClosePrinter(HANDLE hPrinter)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.EnterRelease("ClosePrinter", "", hPrinter)) return Failed(error);
    auto found = std::find(m_printers.begin(), m_printers.end(), reinterpret_cast<uintptr_t>(hPrinter));
    if (found == m_printers.end()) return Failed(ERROR_INVALID_HANDLE);
    m_printers.erase(found);
    return TRUE;
}

BOOL SimSpooler::SetDefaultPrinterA(LPCSTR pszPrinter)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.Enter("SetDefaultPrinterA", Quoted(pszPrinter))) return Failed(error);
    if (pszPrinter == nullptr || Queue(pszPrinter) == nullptr) return Failed(ERROR_INVALID_PRINTER_NAME);
    defaultPrinter = Queue(pszPrinter)->name;
    return TRUE;
}

BOOL SimSpooler::EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPort, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.Enter("EnumPortsA", Quoted(pName) + ", " + std::to_string(Level) + ", " +
                                                       std::to_string(cbBuf))) {
        // A port added since the size was asked: the size needed now, and no entry.
        if (error == ERROR_INSUFFICIENT_BUFFER && pcbNeeded != nullptr && pcReturned != nullptr) {
            *pcbNeeded = cbBuf + static_cast<DWORD>(sizeof(PORT_INFO_2A)) + 16;
            *pcReturned = 0;
        }
        return Failed(error);
    }
    if (Level != 2) return Failed(ERROR_INVALID_LEVEL);
    std::vector<SimPort> known;
    for (const SimPort& port : ports)
        if (Known(port)) known.push_back(port);
    // The records first, their strings packed at the end of the buffer.
    DWORD needed = static_cast<DWORD>(known.size() * sizeof(PORT_INFO_2A));
    for (const SimPort& port : known)
        needed += static_cast<DWORD>(port.name.size() + port.monitor.size() + port.description.size() + 3);
    *pcbNeeded = needed;
    *pcReturned = 0;
    if (cbBuf < needed || (needed > 0 && pPort == nullptr)) return Failed(ERROR_INSUFFICIENT_BUFFER);

    PORT_INFO_2A* records = reinterpret_cast<PORT_INFO_2A*>(pPort);
    char* strings = reinterpret_cast<char*>(pPort) + cbBuf;
    auto pack = [&strings](const std::string& text) {
        strings -= text.size() + 1;
        std::memcpy(strings, text.c_str(), text.size() + 1);
        return strings;
    };
    for (size_t i = 0; i < known.size(); ++i) {
        records[i].pPortName = pack(known[i].name);
        records[i].pMonitorName = pack(known[i].monitor);
        records[i].pDescription = pack(known[i].description);
        records[i].fPortType = 0x3;  // write, read
        records[i].Reserved = 0;
    }
    *pcReturned = static_cast<DWORD>(known.size());
    return TRUE;
}

BOOL SimSpooler::SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                                  DWORD CopyStyle, PSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                                  PDWORD RequiredSize, PSTR*)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.Enter("SetupCopyOEMInfA", Quoted(SourceInfFileName) + ", " +
                                                             Quoted(OEMSourceMediaLocation) + ", " +
                                                             std::to_string(OEMSourceMediaType) + ", " +
                                                             std::to_string(CopyStyle) + ", " +
                                                             std::to_string(DestinationInfFileNameSize))) {
        // The stored name does not fit: the size it needs.
        if (error == ERROR_INSUFFICIENT_BUFFER && RequiredSize != nullptr)
            *RequiredSize = DestinationInfFileNameSize + 1;
        return Failed(error);
    }
    if (SourceInfFileName == nullptr || !m_files.FileExists(SourceInfFileName)) return Failed(ERROR_FILE_NOT_FOUND);
    std::string content = m_files.FileContent(SourceInfFileName);
    std::string stored;
    for (const std::string& name : infStore)
        if (m_files.FileContent("C:\\Windows\\INF\\" + name) == content) stored = name;
    // A package already in the store is found there before it is checked again.
    if (stored.empty())
        if (DWORD refusal = InfRefusal(SourceInfFileName, content)) return Failed(refusal);
    if (stored.empty()) {
        stored = "oem" + std::to_string(infStore.size()) + ".inf";
        infStore.push_back(stored);
        m_files.WriteFile("C:\\Windows\\INF\\" + stored, content);
    } else if (CopyStyle & SP_COPY_NOOVERWRITE) {
        return Failed(ERROR_FILE_EXISTS);
    }
    std::string destination = "C:\\Windows\\INF\\" + stored;
    if (RequiredSize != nullptr) *RequiredSize = static_cast<DWORD>(destination.size() + 1);
    if (DestinationInfFileName != nullptr) {
        if (DestinationInfFileNameSize < destination.size() + 1) return Failed(ERROR_INSUFFICIENT_BUFFER);
        std::memcpy(DestinationInfFileName, destination.c_str(), destination.size() + 1);
    }
    return TRUE;
}

HDEVNOTIFY SimSpooler::RegisterDeviceNotificationA(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags)
{
    sim::SimCode inSimulator;
    const DEV_BROADCAST_DEVICEINTERFACE_A* filter = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(NotificationFilter);
    if (DWORD error = m_record.Enter("RegisterDeviceNotificationA",
                                     std::to_string(filter ? filter->dbcc_size : 0) + ", " +
                                         std::to_string(filter ? filter->dbcc_devicetype : 0) + ", " +
                                         std::to_string(filter ? filter->dbcc_reserved : 0) + ", " +
                                         std::to_string(Flags)))
        return Failed(error), nullptr;
    if (filter == nullptr || filter->dbcc_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        filter->dbcc_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_A))
        return Failed(ERROR_INVALID_PARAMETER), nullptr;
    uintptr_t value = m_nextHandle;
    m_nextHandle += 4;
    HDEVNOTIFY handle = reinterpret_cast<HDEVNOTIFY>(value);
    registrations.push_back({handle, static_cast<HWND>(hRecipient), filter->dbcc_classguid, filter->dbcc_size, true});
    return handle;
}

BOOL SimSpooler::UnregisterDeviceNotification(HDEVNOTIFY Handle)
{
    sim::SimCode inSimulator;
    if (DWORD error = m_record.EnterRelease("UnregisterDeviceNotification", "", Handle)) return Failed(error);
    for (SimRegistration& registration : registrations)
        if (registration.handle == Handle && registration.active) {
            registration.active = false;
            return TRUE;
        }
    return Failed(ERROR_INVALID_HANDLE);
}

DWORD SimSpooler::InfRefusal(const std::string& path, const std::string& content)
{
    // Windows XP took any INF; what follows is Vista's driver store.
    if (m_process.majorVersion < 6) return 0;
    InfText inf = ReadInf(content);
    // Vista answers ERROR_WRONG_INF_TYPE for an INF without a [Manufacturer]
    // section, 7 and later ERROR_UNSUPPORTED_TYPE.
    if (!inf.manufacturer) return m_process.minorVersion == 0 ? ERROR_WRONG_INF_TYPE : ERROR_UNSUPPORTED_TYPE;

    // The signature is the catalog that [Version] names, undecorated or for
    // the machine's own processor. One that is there counts as valid: its
    // trust is out of reach here.
    const char* decorated = m_process.nativeMachine == IMAGE_FILE_MACHINE_I386    ? "catalogfile.ntx86"
                            : m_process.nativeMachine == IMAGE_FILE_MACHINE_ARM64 ? "catalogfile.ntarm64"
                                                                                  : "catalogfile.ntamd64";
    std::string catalog;
    for (const auto& entry : inf.version)
        if ((entry.first == "catalogfile" && catalog.empty()) || entry.first == decorated) catalog = entry.second;
    std::string folder = path.substr(0, path.find_last_of('\\') + 1);
    const bool named = !catalog.empty();
    if (named && m_files.FileExists(folder + catalog)) return 0;

    // Unsigned. 64-bit Windows refuses it: with ERROR_NO_CATALOG_FOR_OEM_INF
    // when [Version] names no catalog; when the named one is not beside the
    // INF, the store's copy of the package (which takes the catalog with the
    // INF) fails with ERROR_FILE_NOT_FOUND.
    if (m_process.SixtyFourBitWindows()) return named ? ERROR_FILE_NOT_FOUND : ERROR_NO_CATALOG_FOR_OEM_INF;
    // 32-bit Windows asks the user first.
    signingQuestions.push_back(path);
    m_record.Log(std::string("question ") + kSigningQuestion);
    switch (signingAnswer) {
    case SigningAnswer::InstallAnyway:
        m_record.Log(std::string("answer ") + kInstallAnyway);
        return 0;
    case SigningAnswer::DontInstall:
        m_record.Log(std::string("answer ") + kDontInstall);
        return ERROR_CANCELLED;
    case SigningAnswer::None:
        break;
    }
    unansweredQuestions.push_back(path);
    return ERROR_CANCELLED;
}

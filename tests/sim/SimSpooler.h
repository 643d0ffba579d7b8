// The simulated print spooler and device layer: ports, drivers, queues, the
// default printer, the store of vendor INF files, and the registrations for
// device-interface arrivals. It answers with the real error codes.
#pragma once
#include <string>
#include <vector>

#include "platform/Spooler.h"
#include "tests/sim/SimCallRecord.h"
#include "tests/sim/SimFiles.h"
#include "tests/sim/SimProcess.h"

struct SimPort {
    std::string name;
    std::string monitor;
    std::string description;
    // The clock time from which the spooler knows the port: a USB port whose
    // monitor is still being set up when the printer has arrived.
    uint64_t knownFrom = 0;
};

struct SimDriver {
    std::string name;
    DWORD version = 0;
    std::string driverPath, dataFile, configFile, helpFile;
    std::vector<std::string> dependentFiles;
    std::string monitorName, defaultDataType;
    std::string manufacturer, oemUrl, hardwareId, provider;
    FILETIME date{};
    DWORDLONG driverVersion = 0;
};

struct SimQueue {
    std::string name, shareName, portName, driverName, printProcessor, datatype;
    bool datatypeGiven = false;
    bool commentGiven = false, locationGiven = false, devModeGiven = false, sepFileGiven = false;
    bool parametersGiven = false, securityGiven = false;
    DWORD attributes = 0, priority = 0, defaultPriority = 0, startTime = 0, untilTime = 0;
};

struct SimRegistration {
    HDEVNOTIFY handle;
    HWND window;
    GUID classGuid;
    DWORD filterSize;
    bool active;
};

class SimSpooler : public ISpooler {
public:
    SimSpooler(SimCallRecord& record, SimProcess& process, SimFiles& files);

    // The driver directory of the current environment. Change it with
    // SetDriverDirectory, which also makes the folder. As on a fresh
    // Windows 8 or 10, its version-3 folder holds no driver's files.
    std::string driverDirectory = "C:\\Windows\\system32\\spool\\DRIVERS\\x64";
    void SetDriverDirectory(const std::string& path);
    // Unidrv's modules in the version-3 folder, as Windows 7's XPS Document
    // Writer brings them: a driver record that names them finds them there.
    void AddUnidrvAsWindows7();

    std::vector<SimPort> ports;
    std::vector<SimDriver> drivers;
    std::vector<SimQueue> queues;
    std::string defaultPrinter;
    std::vector<std::string> infStore;  // stored names: oem0.inf, ...
    std::vector<SimRegistration> registrations;

    // Wine's spooler refuses a queue record that names no data type with
    // ERROR_INVALID_PARAMETER; Windows takes winprint's default.
    bool rejectsQueueWithoutDatatype = false;

    // What the user answers in the system's own question that 32-bit
    // Windows asks before it stores an unsigned INF ("Windows can't verify
    // the publisher of this driver software"). None: nobody answers; the
    // question is noted in unansweredQuestions and the INF is not stored.
    enum class SigningAnswer { None, InstallAnyway, DontInstall };
    SigningAnswer signingAnswer = SigningAnswer::None;
    // The INF files that the question was asked for, in order.
    std::vector<std::string> signingQuestions;
    // The questions that came with no answer given: nobody expected them.
    std::vector<std::string> unansweredQuestions;
    static constexpr const char* kSigningQuestion = "Windows can't verify the publisher of this driver software";
    static constexpr const char* kDontInstall = "Don't install this driver software";
    static constexpr const char* kInstallAnyway = "Install this driver software anyway";

    void AddPort(const std::string& name, const std::string& description = "Local Port");
    const SimQueue* Queue(const std::string& name) const;
    const SimDriver* Driver(const std::string& name) const;
    int ActiveRegistrations() const;
    // The machine restarts: printer handles and device registrations are
    // gone; drivers, queues, the default printer and the INF store stay.
    void Restart();

    BOOL GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                    DWORD cbBuf, LPDWORD pcbNeeded) override;
    BOOL AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo) override;
    HANDLE AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) override;
    BOOL ClosePrinter(HANDLE hPrinter) override;
    BOOL SetDefaultPrinterA(LPCSTR pszPrinter) override;
    BOOL EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPort, DWORD cbBuf, LPDWORD pcbNeeded,
                    LPDWORD pcReturned) override;
    BOOL SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                          DWORD CopyStyle, PSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                          PDWORD RequiredSize, PSTR* DestinationInfFileNameComponent) override;
    HDEVNOTIFY RegisterDeviceNotificationA(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags) override;
    BOOL UnregisterDeviceNotification(HDEVNOTIFY Handle) override;

    // Printer handles given out and not closed yet.
    int OpenPrinters() const { return static_cast<int>(m_printers.size()); }
    const std::vector<uintptr_t>& PrinterHandles() const { return m_printers; }

private:
    // Whether Windows takes this INF into its store, as Vista and later
    // check it; 0 when it does.
    DWORD InfRefusal(const std::string& path, const std::string& content);
    bool Known(const SimPort& port) const { return port.knownFrom <= m_record.clock; }
    // Every failure is in the time line ("answered 1796"), right after its call.
    BOOL Failed(DWORD error)
    {
        m_record.Log("answered " + std::to_string(error));
        m_process.SetLastError(error);
        return FALSE;
    }

    SimCallRecord& m_record;
    SimProcess& m_process;
    SimFiles& m_files;
    std::vector<uintptr_t> m_printers;
    uintptr_t m_nextHandle = 0x100000;
};

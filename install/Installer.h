// The installer: one object per installation attempt. A port dialog makes one
// on its stack, sets PortName, runs RunInstallation and then ReportOutcome,
// which shows exactly one message: the error of the first stage that failed,
// or the success text that names the created printer.
//
// It is a CWnd that never creates a window: the wait cursor is the
// application's, and its message boxes have no owner.
#pragma once
#include <string>

#include "framework/Afx.h"
#include "install/DriverDirectory.h"

// The outcome when the driver store refused the INF file: a printf format
// that takes the system's error as an unsigned number.
extern const char InfStoreErrorFormat[];

class CInstaller : public CWnd {
public:
    CInstaller();
    const MessageMap* GetMessageMap() const override;

    // The stages, in the order RunInstallation runs them: the driver
    // directory, the driver, the queue; for a queue with the model's own name
    // the status monitor with its Run value, shortcut and launch; then the
    // INF file and the uninstall entry. Only the first three decide the outcome.
    void RunInstallation();
    // Exactly one message box, from the stage flags.
    void ReportOutcome();

    bool QueryDriverDirectory();
    bool RegisterDriver();
    // Puts the INF file into the system's store; true also when it is there
    // already. When the store refuses it, InfStoreError holds why.
    bool InstallInfFile();
    bool CreatePrinterQueue();
    // The stages from here on build their paths from DriverDirectory: they
    // run only after QueryDriverDirectory has found it.
    bool DeployStatusMonitor();
    void AddRunValue();
    void CreateStartMenuShortcut();
    bool WriteUninstallEntry();

    std::string PortName;
    // The results of the first three stages. They start false, so that an
    // outcome reported without an installation reads as the first failure.
    bool DirectoryOk = false;
    bool DriverOk = false;
    bool QueueOk = false;
    std::string OutcomeMessage;
    std::string PrinterName;
    DriverPath DriverDirectory;
    char InfSourcePath[MAX_PATH] = {};
    char InfDestinationName[MAX_PATH] = {};
    // The system's error when the store refused the INF file; ERROR_SUCCESS
    // until then. The USB path installs nothing after such a refusal, and
    // its outcome names this error.
    DWORD InfStoreError = ERROR_SUCCESS;

    // How long a port that the spooler does not know yet is waited for: this
    // many waits of 2000 ms before the queue creation gives up.
    static constexpr int kUnknownPortWaits = 15;
    static constexpr DWORD kUnknownPortWaitMs = 2000;
    // The last numbered name tried before the queue creation gives up.
    static constexpr int kLastCopyNumber = 9999;

private:
    // AddPrinterA with the compatibility repeat for spoolers that refuse a
    // record without a data type.
    HANDLE AddQueue(PRINTER_INFO_2A& queue);
    bool MakeDefault(HANDLE printer, const char* name);
    void LaunchStatusMonitor();
    // "<driver directory>\STM\<ShortName>", the stem of the deployed status monitor.
    std::string StatusMonitorStem() const;
    char SystemDriveLetter();

    // Whether the status monitor was deployed, for an outcome text that
    // could not be composed in memory.
    bool m_statusMonitorDeployed = false;
};

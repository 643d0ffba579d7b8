// The print spooler, device installation and device-interface arrival
// operations that the setup logic calls. Each passes the platform's own
// records and answers as the system does; a failed call leaves its reason in
// IProcess::GetLastError.
#pragma once
#include "platform/Records.h"

class ISpooler {
public:
    virtual ~ISpooler() = default;

    // Print spooler
    virtual BOOL GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                            LPBYTE pDriverDirectory, DWORD cbBuf,
                                            LPDWORD pcbNeeded) = 0;
    virtual BOOL AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo) = 0;
    virtual HANDLE AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) = 0;
    virtual BOOL ClosePrinter(HANDLE hPrinter) = 0;
    virtual BOOL SetDefaultPrinterA(LPCSTR pszPrinter) = 0;
    virtual BOOL EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPort, DWORD cbBuf,
                            LPDWORD pcbNeeded, LPDWORD pcReturned) = 0;

    // Device installation
    virtual BOOL SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation,
                                  DWORD OEMSourceMediaType, DWORD CopyStyle,
                                  PSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                                  PDWORD RequiredSize, PSTR* DestinationInfFileNameComponent) = 0;

    // Device-interface arrivals
    virtual HDEVNOTIFY RegisterDeviceNotificationA(HANDLE hRecipient, LPVOID NotificationFilter,
                                                   DWORD Flags) = 0;
    virtual BOOL UnregisterDeviceNotification(HDEVNOTIFY Handle) = 0;
};

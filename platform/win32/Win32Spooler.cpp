#include "platform/win32/SystemLibraries.h"
#include "platform/win32/Win32Platform.h"

namespace {

template <class Fn>
Fn Spool(SystemFunction function)
{
    return SystemLibraries::Function<Fn>(function);
}

BOOL Unavailable()
{
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
}

class Win32Spooler : public ISpooler {
public:
    BOOL GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                    DWORD cbBuf, LPDWORD pcbNeeded) override
    {
        auto fn = Spool<BOOL(WINAPI*)(LPSTR, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD)>(SystemFunction::GetPrinterDriverDirectoryA);
        return fn ? fn(pName, pEnvironment, Level, pDriverDirectory, cbBuf, pcbNeeded) : Unavailable();
    }

    BOOL AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo) override
    {
        auto fn = Spool<BOOL(WINAPI*)(LPSTR, DWORD, LPBYTE)>(SystemFunction::AddPrinterDriverA);
        return fn ? fn(pName, Level, pDriverInfo) : Unavailable();
    }

    HANDLE AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) override
    {
        auto fn = Spool<HANDLE(WINAPI*)(LPSTR, DWORD, LPBYTE)>(SystemFunction::AddPrinterA);
        if (fn == nullptr) {
            Unavailable();
            return nullptr;
        }
        return fn(pName, Level, pPrinter);
    }

    BOOL ClosePrinter(HANDLE hPrinter) override
    {
        auto fn = Spool<BOOL(WINAPI*)(HANDLE)>(SystemFunction::ClosePrinter);
        return fn ? fn(hPrinter) : Unavailable();
    }

    BOOL SetDefaultPrinterA(LPCSTR pszPrinter) override
    {
        auto fn = Spool<BOOL(WINAPI*)(LPCSTR)>(SystemFunction::SetDefaultPrinterA);
        return fn ? fn(pszPrinter) : Unavailable();
    }

    BOOL EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPort, DWORD cbBuf, LPDWORD pcbNeeded,
                    LPDWORD pcReturned) override
    {
        auto fn = Spool<BOOL(WINAPI*)(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD)>(SystemFunction::EnumPortsA);
        return fn ? fn(pName, Level, pPort, cbBuf, pcbNeeded, pcReturned) : Unavailable();
    }

    BOOL SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                          DWORD CopyStyle, PSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                          PDWORD RequiredSize, PSTR* DestinationInfFileNameComponent) override
    {
        return ::SetupCopyOEMInfA(SourceInfFileName, OEMSourceMediaLocation, OEMSourceMediaType, CopyStyle,
                                  DestinationInfFileName, DestinationInfFileNameSize, RequiredSize,
                                  DestinationInfFileNameComponent);
    }

    HDEVNOTIFY RegisterDeviceNotificationA(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags) override
    {
        return ::RegisterDeviceNotificationA(hRecipient, NotificationFilter, Flags);
    }

    BOOL UnregisterDeviceNotification(HDEVNOTIFY Handle) override
    {
        return ::UnregisterDeviceNotification(Handle);
    }
};

}  // namespace

ISpooler& Win32Spooler()
{
    static class Win32Spooler spooler;
    return spooler;
}

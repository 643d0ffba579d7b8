// Fuzzing the device-arrival broadcast: arbitrary bytes as the record that
// reaches the printer connection dialog, its size field and the name
// included. The system hands the window a buffer of exactly the size the
// record states, so that is what this target delivers.
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/Afx.h"
#include "ports/PrinterConnection.h"
#include "tests/sim/SimMachine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < sizeof(DWORD)) return 0;
    DWORD stated;
    std::memcpy(&stated, data, sizeof stated);
    if (stated < sizeof(DWORD) || stated > 4096) return 0;
    std::vector<char> record(stated, 0);
    std::memcpy(record.data(), data, size < stated ? size : stated);

    SimMachine machine;
    InstallPlatform(machine.Services());
    for (const char* name : {"ESC_QRT_BILL.GPD", "CORVEX_ESCP.INF", "Uninstall.exe"})
        machine.files.AddFile(machine.files.currentDirectory + "\\" + name, name);
    CWinApp app("Fuzz");
    CPrinterConnection connection;
    connection.OnDeviceChange(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(record.data()));
    return 0;
}

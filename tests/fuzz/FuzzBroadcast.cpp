// Fuzzing the device-arrival broadcast: arbitrary bytes as the record that
// reaches the printer connection dialog, its size field and the name
// included. The system hands the window a buffer of exactly the size the
// record states, so that is what this target delivers. The machine is as the
// model dialog's OK leaves it, the package staged, and the printer's USB
// printing interface is on record, so an arrival of the configured printer
// goes all the way to the installation's outcome.
#include <cstring>
#include <vector>

#include "framework/Afx.h"
#include "install/FileCopy.h"
#include "ports/PrinterConnection.h"
#include "tests/DriverPackage.h"
#include "tests/fuzz/FuzzTarget.h"

namespace {

const std::string kInterfaceKey =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\"
    "##?#USB#Vid_f1c4&Pid_1101#QL70_TILLMATE#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

}  // namespace

// "installed on USB003 | <the boxes' texts>", or "not installed | ...".
std::string FuzzOutcome(const uint8_t* data, size_t size)
{
    if (size < sizeof(DWORD)) return "too short";
    DWORD stated;
    std::memcpy(&stated, data, sizeof stated);
    if (stated < sizeof(DWORD) || stated > 4096) return "size out of range";
    std::vector<char> record(stated, 0);
    std::memcpy(record.data(), data, size < stated ? size : stated);

    SimMachine machine;
    InstallPlatform(machine.Services());
    AddDriverPackage(machine.files);
    machine.files.AddFolder("C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
    machine.registry.SetDword(kInterfaceKey + "\\#\\Control", "Linked", 1);
    machine.registry.SetDword(kInterfaceKey + "\\#\\Device Parameters", "Port Number", 3);
    machine.spooler.AddPort("USB003", "Virtual printer port for USB");
    {
        CWinApp app("Fuzz");
        CFileCopy().StageDriverFiles();
        CPrinterConnection connection;
        connection.OnDeviceChange(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(record.data()));
    }
    CheckAfterInput(machine);

    const SimQueue* queue = machine.spooler.Queue("KVX QL70 TILLMATE (ESC P)");
    std::string outcome = queue != nullptr ? "installed on " + queue->portName : "not installed";
    for (const SimMessageBox& box : machine.windows.boxes) outcome += " | " + box.text;
    return outcome;
}

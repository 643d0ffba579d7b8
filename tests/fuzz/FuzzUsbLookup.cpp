// Fuzzing the USB port lookup: arbitrary registry contents under the
// printer's keys: keys present or missing, values of any type and size.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "framework/Afx.h"
#include "ports/PrinterConnection.h"
#include "tests/fuzz/FuzzTarget.h"

namespace {

const std::string kClassKey =
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
const std::string kInterface = "\\##?#USB#Vid_f1c4&Pid_1101#QL70_TILLMATE#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

void MaybeValue(FuzzedDataProvider& input, SimRegistry& registry, const std::string& key, const char* name)
{
    if (!input.ConsumeBool()) return;
    DWORD type = input.ConsumeIntegralInRange<DWORD>(0, 11);
    std::vector<BYTE> bytes = input.ConsumeBytes<BYTE>(input.ConsumeIntegralInRange<size_t>(0, 16));
    registry.SetValue(key, name, type, bytes);
}

}  // namespace

// The port the lookup answers: "USB003", or "FALSE".
std::string FuzzOutcome(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    SimMachine machine;
    InstallPlatform(machine.Services());

    std::string key = kClassKey;
    if (input.ConsumeBool()) machine.registry.AddKey(key);
    // Another serial number, or the printer's own interface.
    key += input.ConsumeBool() ? kInterface : "\\##?#USB#Vid_f1c4&Pid_1101#" + input.ConsumeRandomLengthString(40) + "#x";
    if (input.ConsumeBool()) machine.registry.AddKey(key);
    std::string reference = key + "\\#";
    if (input.ConsumeBool()) machine.registry.AddKey(reference);
    if (input.ConsumeBool()) machine.registry.AddKey(reference + "\\Control");
    MaybeValue(input, machine.registry, reference + "\\Control", "Linked");
    if (input.ConsumeBool()) machine.registry.AddKey(reference + "\\Device Parameters");
    MaybeValue(input, machine.registry, reference + "\\Device Parameters", "Port Number");

    std::string port;
    {
        CWinApp app("Fuzz");
        CPrinterConnection connection;
        port = connection.FindUsbPort();
    }
    bool wellFormed = port == "FALSE" || (port.size() >= 6 && port.compare(0, 3, "USB") == 0);
    if (!wellFormed || machine.registry.OpenKeys() != 0) std::abort();
    CheckAfterInput(machine);
    return port;
}

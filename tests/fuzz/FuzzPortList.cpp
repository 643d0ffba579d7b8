// Fuzzing the port enumeration: arbitrary port names and descriptions, none
// or many, listed by the port selection dialog, which the user then leaves.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "framework/Afx.h"
#include "ports/PortSelection.h"
#include "resources/resource.h"
#include "tests/fuzz/FuzzTarget.h"

// "<the list's items>; <the port proposed> proposed".
std::string FuzzOutcome(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    SimMachine machine;
    InstallPlatform(machine.Services());
    machine.spooler.ports.clear();
    size_t count = input.ConsumeIntegralInRange<size_t>(0, 300);
    for (size_t i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        std::string name = input.ConsumeRandomLengthString(64);
        std::string description = input.ConsumeRandomLengthString(64);
        // The spooler's strings are C strings: they end at their first NUL.
        machine.spooler.AddPort(name.c_str(), description.c_str());
    }
    size_t listed = machine.spooler.ports.size();
    int chosen = input.ConsumeIntegralInRange<int>(-1, static_cast<int>(listed));

    std::string outcome;
    {
        CWinApp app("Fuzz");
        SelectedPort.clear();
        CPortSelection dialog;
        machine.user.Then([&] {
            SimWindow* list = machine.windows.Control(IDD_PORT_SELECTION, IDC_PORT_LIST);
            if (list == nullptr || list->items.size() != listed) std::abort();
            for (size_t i = 0; i < listed; ++i) {
                const SimPort& port = machine.spooler.ports[i];
                if (list->items[i].text != port.name + " (" + port.description + ")") std::abort();
                if (port.name != reinterpret_cast<const char*>(list->items[i].data)) std::abort();
                outcome += list->items[i].text + ", ";
            }
            outcome += (SelectedPort.empty() ? "nothing" : SelectedPort) + " proposed";
        });
        machine.user.ClickItem(IDC_PORT_LIST, chosen);
        machine.user.Then([&] {
            // The chosen port is the selected one; nothing chosen leaves the proposal.
            if (chosen >= 0 && chosen < static_cast<int>(listed) && SelectedPort != machine.spooler.ports[chosen].name)
                std::abort();
        });
        machine.user.Click(IDC_PORT_CANCEL).Answer(IDYES);
        if (dialog.DoModal() != IDCANCEL) std::abort();
    }
    CheckAfterInput(machine);
    return outcome;
}

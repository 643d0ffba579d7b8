// The scripted user of the simulated machine. The script is a queue of
// actions (click, key, close box, answer the next message box, plug in a
// device, move the mouse) that the waiting loops consume in order, as the
// real message loops would deliver them. A loop that finds the script empty
// while it still waits throws SimScriptExhausted; a box with only OK is then
// closed with OK and noted as unexpected.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tests/sim/SimSpooler.h"
#include "tests/sim/SimWindows.h"

struct SimAction {
    enum Kind { Click, ClickItem, Key, AltF4, CloseBox, Minimize, Answer, Broadcast, Mouse, Check } kind;
    int id = 0;     // control id, key code, answer, or template id
    int index = 0;  // list item
    UINT event = 0;             // device broadcasts
    std::vector<char> bytes;    // the broadcast record as it is delivered
    std::function<void()> check;
};

class SimUser : public SimInput {
public:
    SimUser(SimWindows& windows, SimSpooler& devices, SimCallRecord& record);

    SimUser& Click(int controlId);
    // A click on item `index` of a list view or list box; -1 is the empty area.
    SimUser& ClickItem(int listId, int index);
    SimUser& Press(int virtualKey);
    SimUser& AltF4();
    SimUser& CloseBox();
    SimUser& Minimize();
    // Answers the next message box by pressing its button with this id.
    SimUser& Answer(int buttonId);
    // The system announces a USB device interface with this device path.
    SimUser& PlugIn(const std::string& devicePath);
    SimUser& Unplug(const std::string& devicePath);
    // A device broadcast of exactly these bytes, delivered as they are.
    SimUser& Broadcast(UINT event, std::vector<char> bytes);
    // The mouse moves over the dialog of this template.
    SimUser& MoveMouseOver(int templateId);
    // Runs a test's own look at the screen at this point of the script.
    SimUser& Then(std::function<void()> check);

    std::deque<SimAction> script;
    // Boxes with only OK that came when the script was empty: nobody expected them.
    std::vector<std::string> unexpectedBoxes;

    // The broadcast record that the system sends for a device interface,
    // its name spelt as the system spells it.
    static std::vector<char> DeviceInterfaceRecord(const std::string& devicePath);

    int Next(const SimMessageBox* box) override;
    bool HasMore() const override { return !script.empty(); }
    bool NextMessage(MSG* msg) override;

private:
    SimUser& Add(SimAction action);
    void Perform(const SimAction& action);
    // The keyboard message of a key action, for the dialog's focused control.
    MSG KeyMessage(SimWindow& dialog, const SimAction& action) const;
    void Notify(SimWindow& dialog, SimWindow& control, UINT code, int item);
    void Deliver(const SimAction& action);

    SimWindows& m_windows;
    SimSpooler& m_devices;
    SimCallRecord& m_record;
};

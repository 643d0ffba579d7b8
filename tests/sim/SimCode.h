// Which code runs now: the simulated machine's own, or the program's. Every
// entry of the machine's operation sets marks itself (SimCode), and every
// call back into the program (a window's messages) marks the program again
// (ProgramCode), so that an allocation can be told to be the program's.
#pragma once

namespace sim {

// Above 0 while the simulated machine's own code runs.
extern thread_local int machineDepth;

struct SimCode {
    SimCode() { ++machineDepth; }
    ~SimCode() { --machineDepth; }
    SimCode(const SimCode&) = delete;
    SimCode& operator=(const SimCode&) = delete;
};

struct ProgramCode {
    ProgramCode() : m_saved(machineDepth) { machineDepth = 0; }
    ~ProgramCode() { machineDepth = m_saved; }
    ProgramCode(const ProgramCode&) = delete;
    ProgramCode& operator=(const ProgramCode&) = delete;

private:
    int m_saved;
};

}  // namespace sim

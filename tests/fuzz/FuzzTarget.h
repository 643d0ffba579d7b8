// What the fuzzing targets share. Each target runs one input in
// FuzzOutcome and names the path that the input reached. libFuzzer calls it
// through FuzzEntry.cpp; the seed replay (SeedReplay.cpp, a native test)
// runs each committed seed once and compares the path with the one the seed
// is named for, so a seed that stops reaching its path fails a test.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "tests/sim/SimMachine.h"

std::string FuzzOutcome(const uint8_t* data, size_t size);

// After every input, once the program's objects are gone: at most one
// outcome of an installation was shown, and nothing is still held.
inline void CheckAfterInput(const SimMachine& machine)
{
    // The installer's error boxes; the port enumeration's own 0x002C box
    // ("... occured while port enumeration.") is not an outcome.
    static const std::set<std::string> kErrors = {"Unexpected error 0x001C occured.",
                                                  "Unexpected error 0x002C occured.",
                                                  "Unexpected error 0x003C occured."};
    int outcomes = 0;
    for (const SimMessageBox& box : machine.windows.boxes)
        outcomes += kErrors.count(box.text) != 0 || box.text.find(" installed successfully.") != std::string::npos;
    if (outcomes > 1) std::abort();
    // Nothing is held once the program has ended.
    if (!machine.Held().empty()) std::abort();
}

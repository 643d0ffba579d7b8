// Allocation faults for the fault matrix: this test program's operator new
// counts the allocations that the program itself makes (not the simulated
// machine's, see SimCode.h) while counting is on, and fails the chosen one.
#pragma once

namespace faults {

struct Allocations {
    bool counting = false;
    long long made = 0;    // the program's allocations while counting
    long long failAt = 0;  // 1-based; 0: none fails
    bool failed = false;   // the chosen one was refused
    // Told when the chosen one is refused (with the program's allocations
    // not counted meanwhile), so that the refusal can take its place in a
    // time line.
    void (*onRefused)(void* context) = nullptr;
    void* context = nullptr;
};

Allocations& Program();

}  // namespace faults

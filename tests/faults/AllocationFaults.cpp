#include "tests/faults/AllocationFaults.h"

#include <cstdlib>
#include <new>

#include "tests/sim/SimCode.h"

namespace faults {

Allocations& Program()
{
    static Allocations allocations;
    return allocations;
}

}  // namespace faults

namespace {

// True when this allocation is the program's chosen one to fail.
bool Refuse()
{
    faults::Allocations& program = faults::Program();
    if (!program.counting || sim::machineDepth > 0) return false;
    if (++program.made != program.failAt) return false;
    program.failed = true;
    if (program.onRefused != nullptr) {
        sim::SimCode notCounted;
        program.onRefused(program.context);
    }
    return true;
}

void* Allocate(std::size_t size)
{
    if (Refuse()) throw std::bad_alloc();
    void* memory = std::malloc(size != 0 ? size : 1);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

void* AllocateOrNull(std::size_t size) noexcept
{
    if (Refuse()) return nullptr;
    return std::malloc(size != 0 ? size : 1);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

#include "install/SpoolerBuffer.h"

#include <cstdio>
#include <new>

#include "platform/Platform.h"

char* AllocateSpoolerBuffer(DWORD size)
{
    char line[64];
    std::snprintf(line, sizeof line, "Allocating a buffer of size %d\n", static_cast<int>(size));
    System().WriteStdout(line);
    try {
        return new char[size];
    } catch (const std::bad_alloc&) {
        System().WriteStdout("Can't get memory for new data buffer\n");
        return nullptr;
    }
}

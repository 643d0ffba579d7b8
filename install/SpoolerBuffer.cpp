#include "install/SpoolerBuffer.h"

#include <cstdio>
#include <new>

#include "platform/Platform.h"

char* AllocateSpoolerBuffer(DWORD size)
{
    char line[64];
    // A number always fits the line.
    (void)std::snprintf(line, sizeof line, "Allocating a buffer of size %d\n", static_cast<int>(size));
    Process().WriteStdout(line);
    // Zero-filled: a second call that fails leaves an empty string behind,
    // never an unterminated one.
    char* buffer = new (std::nothrow) char[size]();
    if (buffer == nullptr) Process().WriteStdout("Can't get memory for new data buffer\n");
    return buffer;
}

#include "install/DriverDirectory.h"

#include <cstdio>
#include <new>

#include "install/SpoolerBuffer.h"
#include "platform/Platform.h"

bool QueryDriverDirectory(DriverPath& directory)
{
    BYTE scratch[10] = {};
    DWORD needed = 0;
    if (Spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, scratch, sizeof scratch, &needed)) {
        DriverPath path(new (std::nothrow) char[sizeof scratch + 1]());
        if (!path) return false;
        std::snprintf(path.get(), sizeof scratch + 1, "%.*s", static_cast<int>(sizeof scratch),
                      reinterpret_cast<const char*>(scratch));
        directory = std::move(path);
        return true;
    }
    // The spooler reports the size it needs only when the buffer is too small.
    if (Process().GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;

    char* buffer = AllocateSpoolerBuffer(needed);
    if (buffer == nullptr) return false;
    directory.reset(buffer);
    return Spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(buffer), needed,
                                                &needed) != FALSE;
}

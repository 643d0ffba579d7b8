#include "install/DriverDirectory.h"

#include <cstring>
#include <new>

#include "install/SpoolerBuffer.h"
#include "platform/Platform.h"

bool QueryDriverDirectory(DriverPath& directory)
{
    BYTE scratch[10] = {};
    DWORD needed{};  // set by the call that answers ERROR_INSUFFICIENT_BUFFER
    if (Spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, scratch, sizeof scratch, &needed)) {
        // The spooler's answer holds the path with its NUL.
        DriverPath path(new (std::nothrow) char[sizeof scratch]);
        if (!path) return false;
        std::memcpy(path.get(), scratch, sizeof scratch);
        directory = std::move(path);
        return true;
    }
    // The spooler reports the size it needs only when the buffer is too small.
    if (Process().GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;

    DriverPath buffer(AllocateSpoolerBuffer(needed));
    if (!buffer) return false;
    if (!Spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(buffer.get()), needed,
                                              &needed))
        return false;
    // Only a path that the spooler gave replaces the one found before: later
    // stages build their paths from it.
    directory = std::move(buffer);
    return true;
}

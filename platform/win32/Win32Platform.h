// The real system behind the platform interfaces: each operation passes its
// record to the system call and returns what the system said.
#pragma once
#include "platform/Platform.h"

// The spooler, system and window operations of the running Windows.
PlatformServices Win32Platform();

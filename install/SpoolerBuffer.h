// Buffers for the spooler's variable-size answers, with the diagnostic lines
// that the sizing writes to the standard output.
#pragma once
#include "platform/Records.h"

// Writes "Allocating a buffer of size N" and allocates N zero-filled bytes with
// new char[]; the caller releases them with delete[].
// On failure writes "Can't get memory for new data buffer" and answers null.
char* AllocateSpoolerBuffer(DWORD size);

// libFuzzer's entry: each input through the target's FuzzOutcome.
#include "tests/fuzz/FuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)FuzzOutcome(data, size);
    return 0;
}

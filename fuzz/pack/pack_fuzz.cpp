// libFuzzer target: arbitrary pack files and entry names through the pack
// commands (see pack_fuzz_entry.h for the input's layout).
#include <unistd.h>

#include <cstdio>

#include "pack_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static char scratch[40];
    if (!scratch[0])
        std::snprintf(scratch, sizeof scratch, "pack-fuzz-%d.dpm", static_cast<int>(getpid()));
    packFuzzOne(data, size, scratch);
    return 0;
}

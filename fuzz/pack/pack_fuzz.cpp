// libFuzzer target: arbitrary pack files and entry names through the pack
// commands (see pack_fuzz_entry.h for the input's layout). The pack file
// lives in memory (fuzz/common/memfs.h); the reader opens, seeks and reads
// it through its own stdio calls as it would a file on disk.
#include "fuzz/common/memfs.h"
#include "pack_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    packFuzzOne(data, size, "/memfs/pack-fuzz.dpm", memfsPut);
    return 0;
}

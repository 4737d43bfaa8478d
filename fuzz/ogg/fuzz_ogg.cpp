// Arbitrary bytes as the storage of a host variable, through the memory
// converter: no read outside the storage, no write outside the image, and
// every image that comes back is a well-formed WAVE of the size reported.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "music/oggwave.h"

static uint32_t le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

#ifdef TOLVO_STOCK_LIBVORBIS
// libvorbisfile 1.3.7 as released drops what it parsed of a chained stream
// when a later link fails to open (scripts/patches mends the library that
// scripts/setup builds); without those sources the fuzzer links Debian's.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:_bisect_forward_serialno\n";
}
#endif

extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}

// Streams that promise images of up to 2 GiB are freed again at once; a
// small quarantine keeps the resident set of a long run from climbing.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=16";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0x7ffffffc)
        return 0;
    // The host's storage is whole words; the last one is padded.
    std::vector<uint32_t> words((size + 3) / 4);
    if (size)
        memcpy(words.data(), data, size);
    TolvoVar var;
    memset(&var, 0, sizeof var);
    var.word_count = static_cast<int32_t>(words.size());
    var.data = words.empty() ? nullptr : words.data();

    void* image = nullptr;
    int32_t imageSize = -1;
    if (oggMemToWave(&var, 2, &image, &imageSize)) {
        const unsigned char* p = static_cast<const unsigned char*>(image);
        if (!p || imageSize < WAVE_HEADER_BYTES || memcmp(p, "RIFF", 4) != 0 ||
            le32(p + 4) != uint32_t(imageSize) - 8 || le32(p + 42) != uint32_t(imageSize) - WAVE_HEADER_BYTES)
            abort();
        const uint32_t align = p[32] | (p[33] << 8);
        if (align == 0 || le32(p + 42) % align != 0)
            abort();
        // Every byte of the reported image lies inside the block.
        unsigned sum = 0;
        for (int32_t i = 0; i < imageSize; ++i)
            sum += p[i];
        volatile unsigned sink = sum;
        (void)sink;
    } else if (image) {
        abort(); // a failed memory conversion leaves no image behind
    }
    free(image);
    return 0;
}

// Arbitrary bytes as the storage of a host variable, through the memory
// converter: no read outside the storage, no write outside the image, every
// image that comes back is a well-formed WAVE of the size reported, and
// decoding in ranges side by side gives exactly what one decoder gives.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include <sanitizer/asan_interface.h>

#include "ogg/decoding.h"

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

// The image of one conversion, checked for shape: a well-formed WAVE of the
// size reported, every byte of it inside the block (ASan's shadow says so
// without touching the bytes). The check carries no coverage: it is the
// harness, not the code under test, and its compares over every image cost
// the fuzzer a third of its time.
__attribute__((no_sanitize("coverage"))) static void checkImage(const unsigned char* p, int32_t imageSize)
{
    if (!p || imageSize < WAVE_HEADER_BYTES || __asan_region_is_poisoned(const_cast<unsigned char*>(p), size_t(imageSize)))
        abort();
    if (memcmp(p, "RIFF", 4) != 0 || le32(p + 4) != uint32_t(imageSize) - 8 ||
        le32(p + 42) != uint32_t(imageSize) - WAVE_HEADER_BYTES)
        abort();
    const uint32_t align = p[32] | (p[33] << 8);
    if (align == 0 || le32(p + 42) % align != 0)
        abort();
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

    // One decoder from start to end.
    OggSplit one;
    one.jobs = 1;
    void* image = nullptr;
    int32_t imageSize = -1;
    const int rc = oggMemToWaveSplit(&var, 2, &image, &imageSize, &one);
    if (rc)
        checkImage(static_cast<const unsigned char*>(image), imageSize);
    else if (image)
        abort(); // a failed memory conversion leaves no image behind

    // The same bytes in two to four ranges, cut evenly or unevenly as the
    // input's own bytes say, inside the frames that one decoder made.
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 16777619u;
    const int ranges = 2 + int(h % 3);
    const unsigned char* p = static_cast<const unsigned char*>(image);
    const int64_t frames = rc ? (imageSize - WAVE_HEADER_BYTES) / (p[32] | (p[33] << 8)) : 0;
    int64_t cuts[3];
    for (int i = 1; i < ranges; ++i) {
        const int64_t step = frames / ranges;
        cuts[i - 1] = step * i + (step > 1 ? int64_t((h >> (4 * i)) % uint32_t(step / 2 + 1)) : 0);
    }
    const OggPlan plan = {cuts, ranges - 1, -1};
    void* other = nullptr;
    int32_t otherSize = -1;
    const int otherRc = oggConvert(oggVariableSource(&var), 2, &other, &otherSize, nullptr, &plan) ? 1 : 0;
    if (otherRc != rc || (other == nullptr) != (image == nullptr))
        abort();
    if (rc && (otherSize != imageSize || memcmp(other, image, size_t(imageSize)) != 0))
        abort(); // the ranges made another image than the one decoder
    free(other);
    free(image);
    return 0;
}

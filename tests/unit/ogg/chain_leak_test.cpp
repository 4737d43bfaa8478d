// A chained stream whose third link ends after its first page cannot be
// opened. A game that tries such a file again and again must not lose
// memory on each try: the decoder has parsed the second link's headers by
// then (tens of kilobytes of codebooks), and the libvorbis we build
// (scripts/patches) frees them when the open fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ogg/oggwave.h"
#include "unit/case_trace.h"
#include "unit/ogg/ogg_outcome.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVO_HEAP_ASAN 1
#endif
#endif

#if defined(TOLVO_HEAP_ASAN)
#include <sanitizer/allocator_interface.h>
#elif defined(_WIN32)
#include <windows.h>
#include <psapi.h>
#else
#include <malloc.h>
#endif

namespace {

// The heap as the allocator counts it: the bytes of live blocks with ASan
// and glibc, private bytes on Windows (which count whole pages).
int64_t heapInUse()
{
#if defined(TOLVO_HEAP_ASAN)
    return static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#elif defined(_WIN32)
    PROCESS_MEMORY_COUNTERS_EX pm{};
    pm.cb = sizeof pm;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pm), sizeof pm);
    return static_cast<int64_t>(pm.PrivateUsage ? pm.PrivateUsage : pm.PagefileUsage);
#else
    const struct mallinfo2 mi = mallinfo2();
    return static_cast<int64_t>(mi.uordblks + mi.hblkhd);
#endif
}

// What 1000 failed opens may add. Counting blocks, less than the smallest
// thing the decoder could drop per open (an 8-byte serial number list);
// counting pages, far less than the headers of one link per open (stock
// libvorbis 1.3.7 grows by about 36 MB here).
#if defined(TOLVO_HEAP_ASAN) || !defined(_WIN32)
constexpr int64_t kBound = 4096;
#else
constexpr int64_t kBound = 1 << 20;
#endif

TEST(Chains, FailedOpenOfALaterLinkLeavesNothingBehind)
{
#if defined(TOLVO_STOCK_VORBIS)
    GTEST_SKIP() << "built against the system's libvorbis, which keeps a failed link's headers; "
                    "scripts/setup builds the patched one";
#endif
    const std::string path = fixture("cutchain.ogg");
    HostVar host(readFile(path));
    ASSERT_GT(host.words.size(), 1000u) << path;
    const TolvoVar& var = host.rec;

    void* const untouched = kUntouched;
    struct Way {
        const char* name;
        std::function<int(void**, int32_t*)> convert;
    };
    const Way ways[] = {
        {"file", [&](void** image, int32_t* size) { return oggFileToWave(path.c_str(), 2, image, size); }},
        {"memory", [&](void** image, int32_t* size) { return oggMemToWave(&var, 2, image, size); }},
    };
    for (const Way& way : ways) {
        CASE_TRACE(way.name);
        auto failsCleanly = [&] {
            void* image = untouched;
            int32_t size = -7;
            return way.convert(&image, &size) == 0 && image == untouched && size == -7;
        };
        // The first opens may set up what the C library keeps for good.
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(failsCleanly());
        const int64_t before = heapInUse();
        for (int i = 0; i < 1000; ++i)
            ASSERT_TRUE(failsCleanly()) << "open " << i;
        EXPECT_LE(heapInUse() - before, kBound);
    }
}

} // namespace

// tovfps: calls per second, reported once per window of at least 1000 ms.
#include "util.h"

#include "plugin/records.h"
#include "plugin/syscalls.h"

uint32_t g_dwFpsLastTime = 0;
uint32_t g_dwFpsCount = 0;

extern "C" int TOLVO_CALL tovfps(int32_t* result, int32_t, int32_t, int32_t)
{
    // A call that cannot be answered is not counted either.
    if (!hasResult(result))
        return 0;
    const uint32_t now = g_sys.timeGetTime();
    ++g_dwFpsCount;
    // Unsigned difference: the 49.7-day wrap of the clock does no harm.
    if (now - g_dwFpsLastTime < 1000)
        return 0;
    g_dwFpsLastTime = now;
    *result = static_cast<int32_t>(g_dwFpsCount);
    g_dwFpsCount = 0;
    return 0;
}

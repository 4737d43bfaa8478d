// test: writes a variable's storage to "test.dat", for looking at what a
// command left in a variable.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "boxes.h"
#include "globals.h"
#include "messages.h"
#include "music/music.h"

extern "C" int TOLVO_CALL test(TolvoVar* var, int32_t, int32_t, int32_t)
{
    // A record without storage is written out as an empty variable.
    const int32_t words = (var && var->data) ? var->word_count : 0;
    // 4 x word_count must fit a 32-bit size; a larger count is treated as a
    // failed allocation (nothing copied, nothing written).
    if (words > INT32_MAX / 4)
        return 0;
    const size_t n = words > 0 ? static_cast<size_t>(words) * 4 : 0;

    if (n > 0) {
        void* copy = std::malloc(n);
        if (!copy)
            return 0;
        std::memcpy(copy, var->data, n);
        // An earlier block of this command is read by nothing now; one of
        // the music loaders stays with its segment.
        dropUntrackedImage();
        g_pWaveImage = copy;
    }

    FILE* f = std::fopen("test.dat", "wb");
    if (!f) {
        showBoxAlways(kTextFileOpenError, "");
        return 0;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(g_pWaveImage);
    for (size_t i = 0; i < n; ++i)
        std::fwrite(bytes + i, 1, 1, f);
    std::fclose(f);
    return 0;
}

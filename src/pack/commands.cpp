// The pack commands: tovdpmload, tovdpmread, tovdpmsize. No box is shown;
// failures are reported by the result alone.
#include <cstdlib>
#include <cstring>

#include "format.h"
#include "pack.h"

void* g_lpReadBuffer = nullptr;

namespace {

// What the failure fill writes at a variable's storage.
constexpr size_t kMinReadBuffer = 64;

} // namespace

void failureFill(TolvoVar* var)
{
    var->word_count = 16;
    if (var->data)
        std::memset(var->data, 0, kMinReadBuffer);
}

extern "C" int TOLVO_CALL tovdpmload(int32_t, char* packText, int32_t, int32_t)
{
    return openPack(packText) ? 0 : -1;
}

extern "C" int TOLVO_CALL tovdpmread(TolvoVar* var, const char* entry, int32_t, int32_t)
{
    if (!var)
        return -1;
    // One opening of the pack and one scan of its directory: the data are
    // read from the file the lookup found them in.
    FILE* pack = openEntry(entry);
    if (!pack) {
        failureFill(var);
        return -1;
    }
    var->kind = 2;

    // A size whose word count would not fit the host's signed count is
    // refused as an allocation of that size would be.
    if (g_dwEntrySize > kDpmxMaxEntrySize) {
        std::fclose(pack);
        failureFill(var);
        return -2;
    }
    const int32_t words = static_cast<int32_t>((g_dwEntrySize + 3) / 4);
    var->word_count = words;

    // Zeroed, so that bytes the file does not hold (a pack shorter than its
    // directory says) and the padding to a whole word are never leftover
    // heap contents. Never below 64 bytes: the variable now lives in this
    // buffer, and a later failed read or size fills 64 bytes of it.
    const size_t bytes = static_cast<size_t>(words) * 4;
    void* buffer = std::calloc(bytes < kMinReadBuffer ? kMinReadBuffer : bytes, 1);
    if (!buffer) {
        std::fclose(pack);
        failureFill(var);
        return -2;
    }
    // The host's own buffer and the previous read buffer are left alone: the
    // host owns the one, script variables may still refer to the other.
    var->data = buffer;
    g_lpReadBuffer = buffer;

    const int32_t got = readEntry(pack, buffer);
    std::fclose(pack);
    return got < 0 ? -1 : 0;
}

extern "C" int TOLVO_CALL tovdpmsize(TolvoVar* var, const char* entry, int32_t, int32_t)
{
    if (!var)
        return -1;
    if (!findEntry(entry)) {
        failureFill(var);
        return -1;
    }
    if (!var->data)
        return -1;
    storeLe32(static_cast<unsigned char*>(var->data), g_dwEntrySize);
    return 0;
}

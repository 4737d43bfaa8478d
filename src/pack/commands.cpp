// The pack commands tovdpmread and tovdpmsize (tovdpmload, which asks the
// platform whether it may write its text, is in load_windows.cpp). No box
// is shown; failures are reported by the result alone.
#include <cstdlib>
#include <cstring>

#include "format.h"
#include "pack.h"
#include "plugin/records.h"

void* g_lpReadBuffer = nullptr;

namespace {

// The most the failure fill writes at a variable's storage: 16 words.
constexpr int32_t kFillWords = 16;
// The least a read buffer holds, as documented.
constexpr size_t kMinReadBuffer = 64;

} // namespace

void failureFill(TolvoVar* var)
{
    // Never past what the record says the storage holds: 16 words where it
    // holds them, all of it where it holds fewer, nothing without storage.
    if (!hasStorage(var))
        return;
    if (var->word_count > kFillWords)
        var->word_count = kFillWords;
    std::memset(var->data, 0, static_cast<size_t>(var->word_count) * 4);
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

    // Zeroed, so that bytes the file does not hold (a pack shorter than its
    // directory says) and the padding to a whole word are never leftover
    // heap contents. Never below 64 bytes, as documented. Until it is there
    // the record still describes the host's storage, which a failure fills.
    const size_t bytes = static_cast<size_t>(words) * 4;
    void* buffer = std::calloc(bytes < kMinReadBuffer ? kMinReadBuffer : bytes, 1);
    if (!buffer) {
        std::fclose(pack);
        failureFill(var);
        return -2;
    }
    // The host's own buffer and the previous read buffer are left alone: the
    // host owns the one, script variables may still refer to the other.
    var->word_count = words;
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
    // A found entry's size needs a word to go into.
    if (!hasStorage(var))
        return -1;
    storeLe32(static_cast<unsigned char*>(var->data), g_dwEntrySize);
    return 0;
}

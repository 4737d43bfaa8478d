// The blocks that segments were made from. The loader reads a block handed
// to it as memory for as long as a segment made from it may play, so a block
// is freed only once its segment is gone or silent; and a game that loads
// music again and again keeps only the blocks that still sound.
#include <cstdlib>

#include "music.h"

#include "plugin/com.h"
#include "plugin/globals.h"

void* g_pSlotImage[MUSIC_SLOT_COUNT] = {};
BOOL g_bSlotEndless[MUSIC_SLOT_COUNT] = {};

namespace {

// A segment that left its slot while it might still play, with the block it
// was made from (none for one made from a file) and the slot it left. The
// list holds the slot's reference to the segment.
struct RetiredSegment {
    IDirectMusicSegment8* lpSegment;
    void* pImage;
    int32_t nSlot;
};

RetiredSegment* g_pRetired = nullptr;
int g_nRetiredCount = 0;
int g_nRetiredCapacity = 0;

// Silent: the performance says it does not play, and nothing but our own
// reference keeps it. A segment queued on a boundary that has not come yet
// does not count as playing, but the performance holds it already.
bool isSilent(IDirectMusicSegment8* segment)
{
    if (!g_lpPerformance || g_lpPerformance->IsPlaying(segment, nullptr) != S_FALSE)
        return false;
    segment->AddRef();
    return segment->Release() == 1;
}

bool retire(IDirectMusicSegment8* segment, void* image, int32_t slot)
{
    if (g_nRetiredCount == g_nRetiredCapacity) {
        const int capacity = g_nRetiredCapacity ? g_nRetiredCapacity * 2 : 8;
        void* grown = std::realloc(g_pRetired, sizeof(RetiredSegment) * capacity);
        if (!grown)
            return false;
        g_pRetired = static_cast<RetiredSegment*>(grown);
        g_nRetiredCapacity = capacity;
    }
    g_pRetired[g_nRetiredCount++] = {segment, image, slot};
    return true;
}

} // namespace

bool isMusicImage(const void* block)
{
    if (!block)
        return false;
    for (void* image : g_pSlotImage)
        if (image == block)
            return true;
    for (int i = 0; i < g_nRetiredCount; ++i)
        if (g_pRetired[i].pImage == block)
            return true;
    return false;
}

void dropUntrackedImage()
{
    if (g_pWaveImage && !isMusicImage(g_pWaveImage)) {
        std::free(g_pWaveImage);
        g_pWaveImage = nullptr;
    }
}

void freeImage(void* block)
{
    if (!block)
        return;
    if (g_pWaveImage == block)
        g_pWaveImage = nullptr;
    std::free(block);
}

bool emptySlot(int32_t slot)
{
    IDirectMusicSegment8* segment = g_lpSegment[slot];
    void* image = g_pSlotImage[slot];
    // Endless music would go on under the new piece for ever, out of the
    // slot's reach: it stops. A piece with a count plays out (one-shot
    // sounds may overlap on purpose).
    if (segment && g_bSlotEndless[slot] && g_lpPerformance)
        g_lpPerformance->Stop(segment, nullptr, 0, 0);
    // A silent segment goes at once. One that may still play is kept (with
    // the block it reads, if any) until it is silent; with no room left to
    // keep it, the slot stays as it was rather than lose the block for good.
    if (segment && !isSilent(segment)) {
        if (!retire(segment, image, slot))
            return false;
        g_lpSegment[slot] = nullptr; // its reference is the list's now
    } else {
        releaseAndNull(g_lpSegment[slot]);
        freeImage(image);
    }
    g_pSlotImage[slot] = nullptr;
    g_bSlotEndless[slot] = FALSE;
    return true;
}

HRESULT stopRetiredSegments(int32_t slot)
{
    HRESULT first = S_OK;
    for (int i = 0; i < g_nRetiredCount; ++i) {
        if (g_pRetired[i].nSlot != slot)
            continue;
        const HRESULT hr = g_lpPerformance->Stop(g_pRetired[i].lpSegment, nullptr, 0, 0);
        if (FAILED(hr) && SUCCEEDED(first))
            first = hr;
    }
    return first;
}

void sweepRetiredSegments()
{
    int kept = 0;
    for (int i = 0; i < g_nRetiredCount; ++i) {
        RetiredSegment r = g_pRetired[i];
        if (isSilent(r.lpSegment)) {
            releaseAndNull(r.lpSegment);
            freeImage(r.pImage);
        } else {
            g_pRetired[kept++] = r;
        }
    }
    g_nRetiredCount = kept;
}

void releaseRetiredSegments()
{
    for (int i = 0; i < g_nRetiredCount; ++i)
        releaseAndNull(g_pRetired[i].lpSegment);
}

void freeAllImages()
{
    for (void*& image : g_pSlotImage) {
        freeImage(image);
        image = nullptr;
    }
    for (int i = 0; i < g_nRetiredCount; ++i)
        freeImage(g_pRetired[i].pImage);
    std::free(g_pRetired);
    g_pRetired = nullptr;
    g_nRetiredCount = 0;
    g_nRetiredCapacity = 0;
}

int retiredSegmentCount()
{
    return g_nRetiredCount;
}

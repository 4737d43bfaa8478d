// The blocks segments are made from: kept while a segment may read them,
// freed once it is gone or silent, never twice; and what `test` and tovbye
// do with g_pWaveImage around them.
#include "music_fixture.h"

#include <cstdio>

namespace {

// 44 + 2 x 6000 bytes: a size nothing else in these tests allocates.
const uint32_t kFrames = 6000;
const size_t kImageBytes = 44 + 2 * kFrames;

class MusicImages : public MusicTest {
protected:
    void SetUp() override
    {
        MusicTest::SetUp();
        start();
        baseline = liveBlocks(kImageBytes);
    }
    int images() const { return liveBlocks(kImageBytes) - baseline; }

    HostVar wave{waveFile(kFrames)};
    int baseline = 0;
};

TEST_F(MusicImages, AThousandLoadsIntoOneSlotKeepAtMostTwoBlocks)
{
    int most = 0;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
        most = std::max(most, images());
    }
    std::printf("blocks alive after 1000 loads: %d (most at any time: %d)\n", images(), most);
    EXPECT_LE(most, 2);
    EXPECT_EQ(images(), 1);
    EXPECT_EQ(g_pWaveImage, g_pSlotImage[0]);
    EXPECT_EQ(dm.segments.size(), 1000u);
    for (size_t i = 0; i + 1 < dm.segments.size(); ++i)
        ASSERT_EQ(dm.segments[i]->moduleRefs(), 0u) << i;
    EXPECT_EQ(retiredSegmentCount(), 0);
    releaseDMusic();
    EXPECT_EQ(images(), 0);
    EXPECT_EQ(g_pWaveImage, nullptr);
}

TEST_F(MusicImages, AThousandLoadsOfTheSameOggImageKeepAtMostTwoBlocks)
{
    HostVar ogg(readFile(oggFixture("intact.ogg")));
    ASSERT_GT(ogg.rec.word_count, 0);
    const size_t image = 46 + 352800; // the decoder may ask for a byte more
    const int before = liveBlocks(image);
    int most = 0;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(tovmusicload2(&ogg.rec, 0, 0, 0), 0);
        most = std::max(most, liveBlocks(image) - before);
    }
    std::printf("Ogg image blocks alive after 1000 loads: %d (most at any time: %d)\n", liveBlocks(image) - before,
                most);
    EXPECT_LE(most, 2);
    EXPECT_EQ(liveBlocks(image) - before, 1);
    releaseDMusic();
    EXPECT_EQ(liveBlocks(image) - before, 0);
}

TEST_F(MusicImages, ASegmentReplacedWhilePlayingKeepsItsBlockUntilItIsSilent)
{
    ASSERT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
    void* first = g_pSlotImage[0];
    FakeSegment* firstSegment = dm.segments[0];
    ASSERT_EQ(tovmusicplay(0, 2, 0, 0), 0);

    ASSERT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
    EXPECT_EQ(retiredSegmentCount(), 1);
    EXPECT_TRUE(isMusicImage(first));
    EXPECT_EQ(images(), 2);
    EXPECT_EQ(firstSegment->moduleRefs(), 2u); // the retired list's and the performance's

    // Still playing: later commands keep it.
    EXPECT_EQ(tovmusiccheck(0, 0, 0, 0), 0);
    EXPECT_EQ(images(), 2);

    // Stopping all music lets it go at once.
    ASSERT_EQ(tovmusicstop(-1, 0, 0, 0), 0);
    EXPECT_EQ(retiredSegmentCount(), 0);
    EXPECT_FALSE(isMusicImage(first));
    EXPECT_EQ(firstSegment->moduleRefs(), 0u);
    EXPECT_EQ(images(), 1);
}

TEST_F(MusicImages, ASegmentThatEndsOnItsOwnIsFoundByTheNextMusicCommand)
{
    ASSERT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
    ASSERT_EQ(tovmusicplay(0, 0, 0, 0), 0);
    ASSERT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
    ASSERT_EQ(retiredSegmentCount(), 1);
    dm.performance->stopPlaying(nullptr); // the music came to its end
    HostVar other(midiFile());
    ASSERT_EQ(tovmusicload2(&other.rec, 1, 0, 0), 0);
    EXPECT_EQ(retiredSegmentCount(), 0);
    EXPECT_EQ(images(), 1);
}

// A segment queued on a boundary that has not come yet is not "playing" to
// the performance, but the performance holds it: it is kept.
TEST_F(MusicImages, ASegmentThePerformanceStillHoldsIsKept)
{
    ASSERT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
    ASSERT_EQ(tovmusicplay(0, 0, 0, 0), 0);
    dm.performance->isPlaying = [](IDirectMusicSegment*) { return S_FALSE; };
    ASSERT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
    EXPECT_EQ(retiredSegmentCount(), 1);
    EXPECT_EQ(images(), 2);

    // A failed test counts as "may still play".
    dm.performance->isPlaying = [](IDirectMusicSegment*) { return E_FAIL; };
    dm.performance->stopPlaying(nullptr);
    EXPECT_EQ(tovmusicstop(5, 0, 0, 0), 0);
    EXPECT_EQ(retiredSegmentCount(), 1);

    dm.performance->isPlaying = nullptr;
    EXPECT_EQ(tovmusicstop(5, 0, 0, 0), 0);
    EXPECT_EQ(retiredSegmentCount(), 0);
    EXPECT_EQ(images(), 1);
}

// Stage music switched the natural way, endless piece after endless piece
// into one slot: each load stops the piece before, so only one sounds and
// only its block stays.
TEST_F(MusicImages, EndlessMusicLoadedAgainAndAgainStopsThePieceBefore)
{
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
        ASSERT_EQ(tovmusicplay(0, -1, 0, 0), 0);
    }
    EXPECT_EQ(images(), 1);
    EXPECT_EQ(retiredSegmentCount(), 0);
    EXPECT_EQ(dm.performance->stops.size(), 19u);
    ASSERT_EQ(tovmusicstop(-1, 0, 0, 0), 0);
    EXPECT_EQ(images(), 1);
    releaseDMusic();
    EXPECT_EQ(images(), 0);
    for (FakeSegment* s : dm.segments)
        EXPECT_EQ(s->moduleRefs(), 0u);
}

TEST_F(MusicImages, AFileLoadFreesTheSlotsSilentBlockAndClearsThePointer)
{
    ASSERT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
    ASSERT_EQ(images(), 1);
    existing = {"a.mid"};
    ASSERT_EQ(tovmusicload(0, "a.mid", 0, 0), 0);
    EXPECT_EQ(images(), 0);
    EXPECT_EQ(g_pWaveImage, nullptr); // it named the freed block
    EXPECT_EQ(g_pSlotImage[0], nullptr);
}

TEST_F(MusicImages, OtherSlotsKeepTheirBlocks)
{
    for (int slot = 0; slot < 5; ++slot)
        ASSERT_EQ(tovmusicload2(&wave.rec, slot, 0, 0), 0);
    EXPECT_EQ(images(), 5);
    void* last = g_pWaveImage;
    EXPECT_EQ(last, g_pSlotImage[4]);
    ASSERT_EQ(tovmusicload2(&wave.rec, 2, 0, 0), 0);
    EXPECT_EQ(images(), 5);
    EXPECT_NE(g_pWaveImage, last);
    EXPECT_EQ(g_pSlotImage[4], last);
}

// `test` writes its own block into g_pWaveImage. It frees only an earlier
// block of its own, music frees only its own, and tovbye the one left.
class MusicImagesAndTest : public MusicImages {
protected:
    void SetUp() override
    {
        MusicImages::SetUp();
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        GetCurrentDirectoryA(MAX_PATH, saved);
        SetCurrentDirectoryA(tmp);
    }
    void TearDown() override
    {
        DeleteFileA("test.dat");
        SetCurrentDirectoryA(saved);
        MusicImages::TearDown();
    }
    char saved[MAX_PATH];
};

TEST_F(MusicImagesAndTest, TestAndTheLoadersShareThePointerWithoutFreeingEachOthersBlocks)
{
    ASSERT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
    void* music = g_pWaveImage;

    // `test` of a variable of the same size: its block counts too.
    ASSERT_EQ(test(&wave.rec, 0, 0, 0), 0);
    EXPECT_NE(g_pWaveImage, music);
    EXPECT_EQ(images(), 2); // the slot's block stays with its segment
    ASSERT_EQ(test(&wave.rec, 0, 0, 0), 0);
    EXPECT_EQ(images(), 2); // the first block of `test` was freed

    // A load frees the block of `test` that the pointer names.
    ASSERT_EQ(tovmusicload2(&wave.rec, 1, 0, 0), 0);
    EXPECT_EQ(images(), 2);
    EXPECT_EQ(g_pWaveImage, g_pSlotImage[1]);

    ASSERT_EQ(test(&wave.rec, 0, 0, 0), 0);
    EXPECT_EQ(images(), 3);

    // tovbye: music frees the slots' blocks, tovbye the last one of `test`.
    EXPECT_EQ(tovbye(0, 0, 0, 0), 0);
    EXPECT_EQ(images(), 0);
    EXPECT_EQ(g_pWaveImage, nullptr);
    EXPECT_TRUE(HeapValidate(reinterpret_cast<HANDLE>(_get_heap_handle()), 0, nullptr));
}

TEST_F(MusicImagesAndTest, TovbyeAfterAMusicLoadFreesTheLastBlockOnce)
{
    ASSERT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
    ASSERT_EQ(tovmusicload2(&wave.rec, 1, 0, 0), 0);
    EXPECT_EQ(tovbye(0, 0, 0, 0), 0);
    EXPECT_EQ(images(), 0);
    EXPECT_EQ(g_pWaveImage, nullptr);
    EXPECT_TRUE(HeapValidate(reinterpret_cast<HANDLE>(_get_heap_handle()), 0, nullptr));
}

} // namespace

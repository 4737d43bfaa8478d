// The six slot commands on fake DirectMusic objects.
#include "music_fixture.h"

namespace {

class MusicSlots : public MusicTest {
protected:
    void SetUp() override
    {
        MusicTest::SetUp();
        start();
    }
    FakeSegment* segmentIn(int slot) { return static_cast<FakeSegment*>(g_lpSegment[slot]); }
};

// --- tovmusicload -----------------------------------------------------------

TEST_F(MusicSlots, LoadTestsTheEngineThenTheSlotThenTheFile)
{
    IDirectMusicLoader8* loader = g_lpLoader;
    g_lpLoader = nullptr;
    EXPECT_EQ(tovmusicload(999, "a.mid", 0, 0), -9);
    g_lpLoader = loader;

    existing = {"a.mid"};
    for (int32_t slot : {256, -1, INT32_MIN, INT32_MAX})
        EXPECT_EQ(tovmusicload(slot, "a.mid", 0, 0), -1) << slot;
    EXPECT_EQ(sys.fake().count("GetFileAttributesA"), 0);

    // A missing file fails quietly, before the loader is asked.
    EXPECT_EQ(tovmusicload(0, "missing.mid", 0, 0), -1);
    EXPECT_EQ(sys.fake().count("GetFileAttributesA"), 1);
    EXPECT_TRUE(dm.loader->loadFiles.empty());
    EXPECT_TRUE(sys.fake().boxes.empty());

    EXPECT_EQ(tovmusicload(255, "a.mid", 0, 0), 0); // the last slot
    EXPECT_NE(g_lpSegment[255], nullptr);
}

// The loader gets the full path of the file that the existence test found:
// a relative name is the file in the folder current at the call.
TEST_F(MusicSlots, AMidiFileIsLoadedByItsFullPathAndMarkedAsMidi)
{
    existing = {"music\\tune.mid"};
    EXPECT_EQ(tovmusicload(3, "music\\tune.mid", 0, 0), 0);
    ASSERT_EQ(dm.loader->loadFiles.size(), 1u);
    EXPECT_EQ(dm.loader->loadFiles[0].classId, CLSID_DirectMusicSegment);
    EXPECT_EQ(dm.loader->loadFiles[0].iid, IID_IDirectMusicSegment8);
    EXPECT_EQ(dm.loader->loadFiles[0].path, L"C:\\games\\tolvo\\music\\tune.mid");
    ASSERT_EQ(dm.segments.size(), 1u);
    EXPECT_EQ(g_lpSegment[3], static_cast<IDirectMusicSegment8*>(dm.segments[0]));
    EXPECT_EQ(dm.segments[0]->moduleRefs(), 1u);
    ASSERT_EQ(dm.segments[0]->setParams.size(), 1u);
    const auto& p = dm.segments[0]->setParams[0];
    EXPECT_EQ(p.type, GUID_StandardMIDIFile);
    EXPECT_EQ(p.groupBits, 0xFFFFFFFFu);
    EXPECT_EQ(p.index, 0u);
    EXPECT_EQ(p.time, 0);
    EXPECT_EQ(p.param, nullptr);
    EXPECT_TRUE(dm.loader->getObjects.empty());
}

// Extensions are compared as Windows compares file names: in any case.
TEST_F(MusicSlots, AMidExtensionOfTheLastComponentMarksWhateverItsCase)
{
    const struct {
        const char* name;
        bool marked;
    } rows[] = {{"a.mid", true},   {"a.MID", true},          {"a.Mid", true},      {"a.wav", false}, {"a.sgt", false},
                {"noext", false},  {"dir.mid\\file", false}, {"a.mid.bak", false}, {"a.midi", false}};
    for (const auto& row : rows) {
        existing = {row.name};
        EXPECT_EQ(tovmusicload(0, row.name, 0, 0), 0) << row.name;
        EXPECT_EQ(segmentIn(0)->setParams.size(), row.marked ? 1u : 0u) << row.name;
    }
    EXPECT_EQ(dm.loader->loadFiles.size(), std::size(rows));
}

TEST_F(MusicSlots, ALoaderRefusalShowsItsBoxAndEmptiesTheSlot)
{
    existing = {"a.mid", "b.mid"};
    ASSERT_EQ(tovmusicload(4, "a.mid", 0, 0), 0);
    FakeSegment* first = segmentIn(4);
    dm.loader->loadObjectFromFileResult = DMUS_E_LOADER_FAILEDOPEN;
    EXPECT_EQ(tovmusicload(4, "b.mid", 0, 0), -1);
    EXPECT_EQ(g_lpSegment[4], nullptr);
    EXPECT_EQ(first->moduleRefs(), 0u);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{kTextMusicLoadSegment});
    EXPECT_EQ(sys.fake().boxes[0].caption, kTextBoxCaption);

    // The box is one of the guarded ones.
    g_nVerbose = 0;
    EXPECT_EQ(tovmusicload(4, "b.mid", 0, 0), -1);
    EXPECT_EQ(sys.fake().boxes.size(), 1u);
}

TEST_F(MusicSlots, AFailedMidiMarkingFailsQuietlyButKeepsTheSegment)
{
    existing = {"a.mid"};
    dm.segmentSetParamResult = E_FAIL;
    EXPECT_EQ(tovmusicload(0, "a.mid", 0, 0), -1);
    ASSERT_NE(g_lpSegment[0], nullptr);
    EXPECT_EQ(segmentIn(0)->setParams.size(), 1u);
    EXPECT_TRUE(sys.fake().boxes.empty());
    EXPECT_EQ(tovmusicplay(0, 0, 0, 0), 0); // it is loaded all the same
}

TEST_F(MusicSlots, ANameTooLongForTwoHundredSixtyWideCharactersIsRefused)
{
    const std::string longName = std::string(300, 'a') + ".mid";
    existing = {longName, "a.mid"};
    ASSERT_EQ(tovmusicload(0, "a.mid", 0, 0), 0);
    FakeSegment* kept = segmentIn(0);
    EXPECT_EQ(tovmusicload(0, longName.c_str(), 0, 0), -1);
    EXPECT_EQ(dm.loader->loadFiles.size(), 1u);
    EXPECT_EQ(segmentIn(0), kept); // a failure before the loader leaves the slot
    EXPECT_TRUE(sys.fake().boxes.empty());

    // The full path counts: "C:\\games\\tolvo\\" and 244 characters make 259.
    const std::string longest = std::string(240, 'b') + ".mid";
    existing = {longest, longest + "x"};
    EXPECT_EQ(tovmusicload(0, (longest + "x").c_str(), 0, 0), -1);
    EXPECT_EQ(tovmusicload(0, longest.c_str(), 0, 0), 0);
    EXPECT_EQ(dm.loader->loadFiles.back().path.size(), 259u);
}

// Loading over music that repeats without end stops it; music with a count
// plays on, and tovmusicstop of the slot still reaches it.
TEST_F(MusicSlots, LoadingAgainStopsEndlessMusicAndTheSlotStillStopsTheRest)
{
    existing = {"a.mid", "b.mid"};
    const struct {
        int32_t repeats;
        ULONG refsAfterLoad; // the retired list's and the performance's while it plays on
    } rows[] = {{-1, 0}, {INT32_MIN, 0}, {2, 2}, {0, 2}};
    for (const auto& row : rows) {
        ASSERT_EQ(tovmusicload(3, "a.mid", 0, 0), 0);
        FakeSegment* first = segmentIn(3);
        ASSERT_EQ(tovmusicplay(3, row.repeats, 0, 0), 0);
        dm.performance->stops.clear();
        ASSERT_EQ(tovmusicload(3, "b.mid", 0, 0), 0);
        EXPECT_NE(segmentIn(3), first);
        EXPECT_EQ(first->moduleRefs(), row.refsAfterLoad) << row.repeats;
        EXPECT_EQ(dm.performance->stops.size(), row.repeats < 0 ? 1u : 0u) << row.repeats;
        ASSERT_EQ(tovmusicstop(3, 0, 0, 0), 0);
        EXPECT_EQ(first->moduleRefs(), 0u) << row.repeats;
    }
}

// --- tovmusicload2 ----------------------------------------------------------

TEST_F(MusicSlots, Load2TestsTheEngineTheSlotAndAnEmptyStorage)
{
    HostVar var(waveFile(64));
    IDirectMusicLoader8* loader = g_lpLoader;
    g_lpLoader = nullptr;
    EXPECT_EQ(tovmusicload2(&var.rec, 0, 0, 0), -9);
    g_lpLoader = loader;
    EXPECT_EQ(tovmusicload2(&var.rec, 256, 0, 0), -1);
    EXPECT_EQ(tovmusicload2(&var.rec, -1, 0, 0), -1);

    // No bytes to look at: refused before anything is allocated or read.
    void* before = g_pWaveImage;
    for (int32_t words : {0, -1, INT32_MIN}) {
        TolvoVar empty{};
        empty.word_count = words;
        empty.data = nullptr; // would fault if read
        EXPECT_EQ(tovmusicload2(&empty, 0, 0, 0), -1) << words;
    }
    // A count no 32-bit storage can hold.
    TolvoVar huge = var.rec;
    huge.word_count = INT32_MAX / 4 + 1;
    EXPECT_EQ(tovmusicload2(&huge, 0, 0, 0), -1);
    EXPECT_EQ(g_pWaveImage, before);
    EXPECT_TRUE(dm.loader->getObjects.empty());
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(MusicSlots, AWaveVariableIsLoadedFromACopyOfItsWholeStorage)
{
    // 44 + 2 x 63 = 170 bytes: the host's storage is 43 words, 172 bytes.
    HostVar var(waveFile(63));
    ASSERT_EQ(var.rec.word_count, 43);
    EXPECT_EQ(tovmusicload2(&var.rec, 9, 0, 0), 0);
    ASSERT_EQ(dm.loader->getObjects.size(), 1u);
    const auto& call = dm.loader->getObjects[0];
    EXPECT_EQ(call.iid, IID_IDirectMusicSegment8);
    EXPECT_EQ(call.desc.llMemLength, 172);
    ASSERT_NE(g_pWaveImage, nullptr);
    EXPECT_EQ(call.desc.pbMemData, g_pWaveImage);
    EXPECT_NE(g_pWaveImage, var.rec.data); // a copy the module owns
    EXPECT_EQ(std::memcmp(g_pWaveImage, var.storage.data(), 172), 0);
    EXPECT_EQ(g_pSlotImage[9], g_pWaveImage);
    EXPECT_TRUE(segmentIn(9)->setParams.empty());

    // The host may change its variable afterwards; the segment's copy stays.
    std::memset(var.storage.data(), 0, 172);
    EXPECT_EQ(std::memcmp(g_pWaveImage, "RIFF", 4), 0);
}

TEST_F(MusicSlots, AMidiVariableIsMarkedAsMidi)
{
    HostVar var(midiFile());
    EXPECT_EQ(tovmusicload2(&var.rec, 0, 0, 0), 0);
    ASSERT_EQ(segmentIn(0)->setParams.size(), 1u);
    EXPECT_EQ(segmentIn(0)->setParams[0].type, GUID_StandardMIDIFile);
    EXPECT_EQ(segmentIn(0)->setParams[0].groupBits, 0xFFFFFFFFu);
    EXPECT_EQ(segmentIn(0)->setParams[0].param, nullptr);
    EXPECT_EQ(dm.loader->getObjects[0].firstBytes.size(), 16u);
    EXPECT_EQ(std::memcmp(dm.loader->getObjects[0].firstBytes.data(), "MThd", 4), 0);

    // "MTh" alone, or "mthd", is not MIDI.
    for (const char* head : {"MThx", "mthd"}) {
        std::vector<unsigned char> bytes = midiFile();
        std::memcpy(bytes.data(), head, 4);
        HostVar other(bytes);
        EXPECT_EQ(tovmusicload2(&other.rec, 1, 0, 0), 0);
        EXPECT_TRUE(segmentIn(1)->setParams.empty()) << head;
    }
}

TEST_F(MusicSlots, ALoaderRefusalOfMemoryShowsItsBoxAndFreesTheCopy)
{
    HostVar var(waveFile(40));
    ASSERT_EQ(tovmusicload2(&var.rec, 0, 0, 0), 0);
    FakeSegment* first = segmentIn(0);
    dm.loader->getObjectResult = DMUS_E_UNSUPPORTED_STREAM;
    EXPECT_EQ(tovmusicload2(&var.rec, 0, 0, 0), -1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{kTextMusicLoad2Load});
    EXPECT_EQ(g_lpSegment[0], nullptr);
    EXPECT_EQ(first->moduleRefs(), 0u);
    // Nothing reads the refused copy: it is gone, and so is the first block.
    EXPECT_EQ(g_pWaveImage, nullptr);
    EXPECT_EQ(g_pSlotImage[0], nullptr);
}

TEST_F(MusicSlots, AFailedMidiMarkingOfMemoryFailsQuietlyAndKeepsTheSegment)
{
    HostVar var(midiFile());
    dm.segmentSetParamResult = E_FAIL;
    EXPECT_EQ(tovmusicload2(&var.rec, 0, 0, 0), -1);
    ASSERT_NE(g_lpSegment[0], nullptr);
    EXPECT_EQ(segmentIn(0)->setParams.size(), 1u);
    EXPECT_TRUE(sys.fake().boxes.empty());
    // The segment keeps its block.
    EXPECT_NE(g_pSlotImage[0], nullptr);
    EXPECT_EQ(g_pSlotImage[0], g_pWaveImage);
}

// --- Ogg Vorbis ---------------------------------------------------------------

// The WAVE image the loader was handed: 46-byte header, 16-bit samples.
void expectWaveImage(const FakeLoader::GetObjectCall& call, uint16_t channels)
{
    ASSERT_EQ(call.firstBytes.size(), 16u);
    EXPECT_EQ(std::memcmp(call.firstBytes.data(), "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(call.firstBytes.data() + 8, "WAVEfmt ", 8), 0);
    const unsigned char* image = call.desc.pbMemData;
    uint32_t riff, fmt, data;
    uint16_t ch, bits;
    std::memcpy(&riff, image + 4, 4);
    std::memcpy(&fmt, image + 16, 4);
    std::memcpy(&ch, image + 22, 2);
    std::memcpy(&bits, image + 34, 2);
    std::memcpy(&data, image + 42, 4);
    EXPECT_EQ(fmt, 18u);
    EXPECT_EQ(ch, channels);
    EXPECT_EQ(bits, 16u);
    EXPECT_EQ(call.desc.llMemLength, 46 + data);
    EXPECT_EQ(riff, data + 38);
    EXPECT_EQ(call.desc.dwValidData, 0x402u);
    EXPECT_EQ(call.desc.guidClass, CLSID_DirectMusicSegment);
}

TEST_F(MusicSlots, AnOggFileIsDecodedAndHandedToTheLoaderAsMemory)
{
    const std::string path = oggFixture("intact.ogg");
    existing = {path};
    EXPECT_EQ(tovmusicload(4, path.c_str(), 0, 0), 0);
    EXPECT_TRUE(dm.loader->loadFiles.empty());
    ASSERT_EQ(dm.loader->getObjects.size(), 1u);
    const auto& call = dm.loader->getObjects[0];
    expectWaveImage(call, 2);
    // 2 s of stereo at 44100 Hz, as the reference decoder gives it.
    EXPECT_EQ(call.desc.llMemLength, 46 + 352800);
    EXPECT_EQ(call.desc.pbMemData, g_pWaveImage);
    EXPECT_EQ(g_pSlotImage[4], g_pWaveImage);
    EXPECT_TRUE(segmentIn(4)->setParams.empty());
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(MusicSlots, AnOggFileThatDoesNotDecodeShowsItsBoxAndLeavesTheSlot)
{
    existing = {"a.mid"};
    ASSERT_EQ(tovmusicload(4, "a.mid", 0, 0), 0);
    FakeSegment* kept = segmentIn(4);
    HostVar wave(waveFile(100));
    ASSERT_EQ(tovmusicload2(&wave.rec, 1, 0, 0), 0);
    void* last = g_pWaveImage;

    // Not Ogg Vorbis at all: refused before anything is allocated.
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string notOgg = std::string(tmp) + "tolvo-not-ogg-" + std::to_string(GetCurrentProcessId()) + ".ogg";
    const std::vector<unsigned char> junk = readFile(oggFixture("notogg.bin"));
    FILE* f = std::fopen(notOgg.c_str(), "wb");
    std::fwrite(junk.data(), 1, junk.size(), f);
    std::fclose(f);
    existing = {notOgg, oggFixture("damaged.ogg")};
    EXPECT_EQ(tovmusicload(4, notOgg.c_str(), 0, 0), -1);
    DeleteFileA(notOgg.c_str());
    EXPECT_EQ(g_pWaveImage, last); // still the last block, still slot 1's
    EXPECT_EQ(segmentIn(4), kept);

    // Damaged in mid-stream: from a file that is a failure, and the block
    // the decoder had filled is gone.
    EXPECT_EQ(tovmusicload(4, oggFixture("damaged.ogg").c_str(), 0, 0), -1);
    EXPECT_EQ(g_pWaveImage, nullptr);
    EXPECT_EQ(segmentIn(4), kept);
    EXPECT_EQ(g_pSlotImage[1], last);
    EXPECT_TRUE(dm.loader->getObjects.size() == 1u); // only slot 1's
    EXPECT_EQ(boxTexts(), std::vector<std::string>(2, kTextMusicLoadOggDecode));
}

TEST_F(MusicSlots, ALoaderRefusalOfAnOggImageShowsItsBoxAndFreesTheImage)
{
    const std::string path = oggFixture("stereo22050.ogg");
    existing = {path, "a.mid"};
    ASSERT_EQ(tovmusicload(4, "a.mid", 0, 0), 0);
    dm.loader->getObjectResult = DMUS_E_UNSUPPORTED_STREAM;
    EXPECT_EQ(tovmusicload(4, path.c_str(), 0, 0), -1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{kTextMusicLoadOgg});
    EXPECT_EQ(g_lpSegment[4], nullptr); // the loader was asked: the slot is empty
    EXPECT_EQ(g_pWaveImage, nullptr);
    EXPECT_EQ(g_pSlotImage[4], nullptr);
}

TEST_F(MusicSlots, OggVariablesAreDecodedByTheirFirstThreeBytes)
{
    HostVar ogg(readFile(oggFixture("stereo22050.ogg")));
    ASSERT_GT(ogg.rec.word_count, 100);
    EXPECT_EQ(tovmusicload2(&ogg.rec, 0, 0, 0), 0);
    ASSERT_EQ(dm.loader->getObjects.size(), 1u);
    expectWaveImage(dm.loader->getObjects[0], 2);
    EXPECT_EQ(dm.loader->getObjects[0].desc.llMemLength, 46 + 47208);
    EXPECT_EQ(g_pSlotImage[0], g_pWaveImage);
    EXPECT_TRUE(segmentIn(0)->setParams.empty());

    // Damaged in mid-stream: from memory the image keeps what came before.
    HostVar damaged(readFile(oggFixture("damaged.ogg")));
    EXPECT_EQ(tovmusicload2(&damaged.rec, 1, 0, 0), 0);
    const LONGLONG part = dm.loader->getObjects.back().desc.llMemLength;
    EXPECT_GT(part, 46);
    EXPECT_LT(part, 46 + 352800);

    // "Ogg" and then nothing a decoder takes.
    std::vector<unsigned char> bytes = {'O', 'g', 'g', 'S', 0, 1, 2, 3, 4, 5, 6, 7};
    HostVar junk(bytes);
    EXPECT_EQ(tovmusicload2(&junk.rec, 2, 0, 0), -1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{kTextMusicLoad2OggDecode});
    EXPECT_EQ(g_lpSegment[2], nullptr);

    // "ogg" in lower case is no Ogg page: the bytes go to the loader as they are.
    bytes[0] = 'o';
    HostVar lower(bytes);
    EXPECT_EQ(tovmusicload2(&lower.rec, 3, 0, 0), 0);
    EXPECT_EQ(dm.loader->getObjects.back().firstBytes[0], 'o');
    EXPECT_EQ(dm.loader->getObjects.back().desc.llMemLength, 12);

    dm.loader->getObjectResult = E_FAIL;
    EXPECT_EQ(tovmusicload2(&ogg.rec, 0, 0, 0), -1);
    EXPECT_EQ(boxTexts().back(), kTextMusicLoad2Load);
    EXPECT_EQ(g_lpSegment[0], nullptr);
}

// --- tovmusicplay / tovmusicplay2 -------------------------------------------

TEST_F(MusicSlots, AnEmptySlotIsTestedBeforeTheEngine)
{
    IDirectMusicLoader8* loader = g_lpLoader;
    g_lpLoader = nullptr;
    for (int32_t slot : {0, 255, 256, -1}) {
        EXPECT_EQ(tovmusicplay(slot, 0, 0, 0), -1) << slot;
        EXPECT_EQ(tovmusicplay2(slot, 0, 0, 0), -2) << slot;
    }
    g_lpLoader = loader;
    for (int32_t slot : {0, 256, -1}) {
        EXPECT_EQ(tovmusicplay(slot, 0, 0, 0), -1) << slot;
        EXPECT_EQ(tovmusicplay2(slot, 0, 0, 0), -2) << slot;
    }

    // A loaded slot with the engine down answers -9.
    existing = {"a.mid"};
    ASSERT_EQ(tovmusicload(0, "a.mid", 0, 0), 0);
    g_lpLoader = nullptr;
    EXPECT_EQ(tovmusicplay(0, 0, 0, 0), -9);
    EXPECT_EQ(tovmusicplay2(0, 0, 0, 0), -9);
    g_lpLoader = loader;
    EXPECT_TRUE(dm.performance->plays.empty());
}

TEST_F(MusicSlots, PlayDownloadsTheBandAndStartsASecondarySegmentOnThe3DPath)
{
    existing = {"a.mid"};
    ASSERT_EQ(tovmusicload(5, "a.mid", 0, 0), 0);
    dm.calls.clear();
    EXPECT_EQ(tovmusicplay(5, 0, 0, 0), 0);
    FakeSegment* seg = segmentIn(5);
    ASSERT_EQ(seg->downloads.size(), 1u);
    EXPECT_EQ(seg->downloads[0], static_cast<IUnknown*>(dm.performance));
    ASSERT_EQ(dm.performance->plays.size(), 1u);
    const auto& p = dm.performance->plays[0];
    EXPECT_EQ(p.source, static_cast<IUnknown*>(seg));
    EXPECT_EQ(p.segmentName, nullptr);
    EXPECT_EQ(p.transition, nullptr);
    EXPECT_EQ(p.flags, 0x4080u); // DMUS_SEGF_SECONDARY | DMUS_SEGF_DEFAULT
    EXPECT_EQ(p.startTime, 0);
    EXPECT_EQ(p.state, nullptr);
    EXPECT_EQ(p.from, nullptr);
    EXPECT_EQ(p.audioPath, static_cast<IUnknown*>(dm.audioPath));
    const std::vector<std::string> order = {"Segment1.Download", "Segment1.SetRepeats", "Performance.PlaySegmentEx"};
    std::vector<std::string> got;
    for (const auto& c : dm.calls)
        if (c == order[0] || c == order[1] || c == order[2])
            got.push_back(c);
    EXPECT_EQ(got, order);
}

TEST_F(MusicSlots, RepeatsMapNegativeCountsToEndless)
{
    existing = {"a.mid"};
    ASSERT_EQ(tovmusicload(0, "a.mid", 0, 0), 0);
    const struct {
        int32_t given;
        DWORD passed;
    } rows[] = {{0, 0}, {2, 2}, {INT32_MAX, 0x7FFFFFFF}, {-1, 0xFFFFFFFF}, {-5, 0xFFFFFFFF}, {INT32_MIN, 0xFFFFFFFF}};
    for (const auto& row : rows) {
        EXPECT_EQ(tovmusicplay(0, row.given, 0, 0), 0);
        EXPECT_EQ(segmentIn(0)->repeats.back(), row.passed) << row.given;
        EXPECT_EQ(tovmusicplay2(0, row.given, 0, 0), -1); // still playing
        dm.performance->isPlaying = [](IDirectMusicSegment*) { return S_FALSE; };
        EXPECT_EQ(tovmusicplay2(0, row.given, 0, 0), 0);
        EXPECT_EQ(segmentIn(0)->repeats.back(), row.passed) << row.given;
        dm.performance->isPlaying = nullptr;
    }
}

TEST_F(MusicSlots, PlayingAPlayingSlotStartsItOnceMore)
{
    existing = {"a.mid"};
    ASSERT_EQ(tovmusicload(0, "a.mid", 0, 0), 0);
    EXPECT_EQ(tovmusicplay(0, 0, 0, 0), 0);
    EXPECT_EQ(tovmusicplay(0, 0, 0, 0), 0);
    EXPECT_EQ(dm.performance->plays.size(), 2u);
    EXPECT_EQ(dm.count("Performance.IsPlaying"), 0);
}

TEST_F(MusicSlots, AFailedDownloadShowsItsBoxAndPlaysNothing)
{
    existing = {"a.mid"};
    ASSERT_EQ(tovmusicload(0, "a.mid", 0, 0), 0);
    segmentIn(0)->downloadResult = DMUS_E_NOT_INIT;
    EXPECT_EQ(tovmusicplay(0, 1, 0, 0), 0);
    EXPECT_EQ(tovmusicplay2(0, 1, 0, 0), 0);
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{kTextMusicPlayBand, kTextMusicPlay2Band}));
    EXPECT_TRUE(segmentIn(0)->repeats.empty());
    EXPECT_TRUE(dm.performance->plays.empty());
    EXPECT_NE(g_lpSegment[0], nullptr); // still loaded
}

TEST_F(MusicSlots, ThePlayResultIsNotLookedAt)
{
    existing = {"a.mid"};
    ASSERT_EQ(tovmusicload(0, "a.mid", 0, 0), 0);
    dm.performance->playResult = E_FAIL;
    EXPECT_EQ(tovmusicplay(0, 0, 0, 0), 0);
    EXPECT_EQ(tovmusicplay2(0, 0, 0, 0), 0);
}

TEST_F(MusicSlots, Play2AsksWhetherTheSlotPlaysFirst)
{
    existing = {"a.mid"};
    ASSERT_EQ(tovmusicload(0, "a.mid", 0, 0), 0);
    FakeSegment* seg = segmentIn(0);

    dm.performance->isPlaying = [](IDirectMusicSegment*) { return S_OK; };
    EXPECT_EQ(tovmusicplay2(0, 0, 0, 0), -1);
    dm.performance->isPlaying = [](IDirectMusicSegment*) { return E_FAIL; };
    EXPECT_EQ(tovmusicplay2(0, 0, 0, 0), -2);
    EXPECT_TRUE(seg->downloads.empty());
    EXPECT_TRUE(dm.performance->plays.empty());

    dm.performance->isPlaying = [](IDirectMusicSegment*) { return S_FALSE; };
    EXPECT_EQ(tovmusicplay2(0, 0, 0, 0), 0);
    EXPECT_EQ(dm.performance->plays.size(), 1u);
    const auto& asked = dm.performance->isPlayings.back();
    EXPECT_EQ(asked.segment, static_cast<IDirectMusicSegment*>(seg));
    EXPECT_EQ(asked.state, nullptr);
}

TEST_F(MusicSlots, WithoutAnAudioPathSegmentsPlayOnTheDefaultPath)
{
    releaseDMusic();
    dm.performance->createAudioPathResult = E_FAIL;
    ASSERT_EQ(initDMusic(), 1);
    existing = {"a.mid"};
    ASSERT_EQ(tovmusicload(0, "a.mid", 0, 0), 0);
    EXPECT_EQ(tovmusicplay(0, 0, 0, 0), 0);
    ASSERT_EQ(dm.performance->plays.size(), 1u);
    EXPECT_EQ(dm.performance->plays[0].audioPath, nullptr);
}

// --- tovmusicstop / tovmusiccheck -------------------------------------------

TEST_F(MusicSlots, StopTakesTheSlotsSegmentOrStopsAllMusic)
{
    existing = {"a.mid"};
    ASSERT_EQ(tovmusicload(2, "a.mid", 0, 0), 0);
    IDirectMusicSegment* seg = static_cast<IDirectMusicSegment*>(segmentIn(2));
    const struct {
        int32_t slot;
        IDirectMusicSegment* passed;
    } rows[] = {{2, seg}, {-1, nullptr}, {INT32_MIN, nullptr}, {3, nullptr}, {256, nullptr}};
    for (const auto& row : rows) {
        EXPECT_EQ(tovmusicstop(row.slot, 0, 0, 0), 0) << row.slot;
        const auto& s = dm.performance->stops.back();
        EXPECT_EQ(s.segment, row.passed) << row.slot;
        EXPECT_EQ(s.state, nullptr);
        EXPECT_EQ(s.time, 0);
        EXPECT_EQ(s.flags, 0u);
    }
    EXPECT_TRUE(sys.fake().boxes.empty());

    dm.performance->stopResult = E_FAIL;
    EXPECT_EQ(tovmusicstop(2, 0, 0, 0), -1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{kTextMusicStop});

    IDirectMusicLoader8* loader = g_lpLoader;
    g_lpLoader = nullptr;
    EXPECT_EQ(tovmusicstop(2, 0, 0, 0), -9);
    g_lpLoader = loader;
}

TEST_F(MusicSlots, CheckAnswersMinusOneWhilePlayingAndZeroWhenSilent)
{
    existing = {"a.mid"};
    ASSERT_EQ(tovmusicload(1, "a.mid", 0, 0), 0);
    EXPECT_EQ(tovmusiccheck(1, 0, 0, 0), 0);
    ASSERT_EQ(tovmusicplay(1, 0, 0, 0), 0);
    EXPECT_EQ(tovmusiccheck(1, 0, 0, 0), -1);
    ASSERT_EQ(tovmusicstop(1, 0, 0, 0), 0);
    EXPECT_EQ(tovmusiccheck(1, 0, 0, 0), 0);
    const auto& asked = dm.performance->isPlayings.back();
    EXPECT_EQ(asked.segment, static_cast<IDirectMusicSegment*>(segmentIn(1)));
    EXPECT_EQ(asked.state, nullptr);

    dm.performance->isPlaying = [](IDirectMusicSegment*) { return E_FAIL; };
    EXPECT_EQ(tovmusiccheck(1, 0, 0, 0), -2);

    // An empty slot is a failed test, whatever the platform would answer
    // for a missing segment (one platform says "not playing").
    dm.performance->isPlaying = [](IDirectMusicSegment*) { return S_FALSE; };
    for (int32_t slot : {0, 255, 256, -1})
        EXPECT_EQ(tovmusiccheck(slot, 0, 0, 0), -2) << slot;

    IDirectMusicLoader8* loader = g_lpLoader;
    g_lpLoader = nullptr;
    EXPECT_EQ(tovmusiccheck(1, 0, 0, 0), -9);
    g_lpLoader = loader;
}

} // namespace

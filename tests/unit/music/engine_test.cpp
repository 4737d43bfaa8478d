// initDMusic and releaseDMusic on fake DirectMusic objects.
#include "music_fixture.h"

#include "unit/case_trace.h"

namespace {

bool isZero(const void* p, size_t n)
{
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i])
            return false;
    return true;
}

float asFloat(const unsigned char* v)
{
    float f;
    std::memcpy(&f, v, 4);
    return f;
}

int32_t asInt(const unsigned char* v)
{
    int32_t i;
    std::memcpy(&i, v, 4);
    return i;
}

using MusicEngine = MusicTest;

TEST_F(MusicEngine, StartsPerformanceLoaderAndThe3DPathWithTheirExactArguments)
{
    EXPECT_EQ(initDMusic(), 1);
    EXPECT_TRUE(sys.fake().boxes.empty());

    ASSERT_EQ(dm.creates.size(), 2u);
    EXPECT_EQ(dm.creates[0].clsid, CLSID_DirectMusicPerformance);
    EXPECT_EQ(dm.creates[0].outer, nullptr);
    EXPECT_EQ(dm.creates[0].context, 3u); // CLSCTX_INPROC
    EXPECT_EQ(dm.creates[0].iid, IID_IDirectMusicPerformance8);
    EXPECT_EQ(dm.creates[1].clsid, CLSID_DirectMusicLoader);
    EXPECT_EQ(dm.creates[1].outer, nullptr);
    EXPECT_EQ(dm.creates[1].context, 3u);
    EXPECT_EQ(dm.creates[1].iid, IID_IDirectMusicLoader8);

    ASSERT_EQ(dm.performance->initAudios.size(), 1u);
    const auto& init = dm.performance->initAudios[0];
    EXPECT_EQ(init.music, nullptr);
    EXPECT_EQ(init.sound, nullptr);
    EXPECT_EQ(init.window, nullptr);
    EXPECT_EQ(init.pathType, 1u); // DMUS_APATH_SHARED_STEREOPLUSREVERB
    EXPECT_EQ(init.pchannels, 64u);
    EXPECT_EQ(init.flags, 0x3Fu); // DMUS_AUDIOF_ALL
    EXPECT_EQ(init.params, nullptr);

    // Segments are not cached by the loader: each load makes its own.
    ASSERT_EQ(dm.loader->enableCaches.size(), 1u);
    EXPECT_EQ(dm.loader->enableCaches[0].classId, CLSID_DirectMusicSegment);
    EXPECT_FALSE(dm.loader->enableCaches[0].enable);

    ASSERT_EQ(dm.loader->searchDirectories.size(), 1u);
    EXPECT_EQ(dm.loader->searchDirectories[0].classId, GUID_DirectMusicAllTypes);
    EXPECT_EQ(dm.loader->searchDirectories[0].path, L"C:\\games\\tolvo");
    EXPECT_FALSE(dm.loader->searchDirectories[0].clear);

    ASSERT_EQ(dm.performance->audioPaths.size(), 1u);
    EXPECT_EQ(dm.performance->audioPaths[0].type, 6u); // DMUS_APATH_DYNAMIC_3D
    EXPECT_EQ(dm.performance->audioPaths[0].pchannels, 64u);
    EXPECT_TRUE(dm.performance->audioPaths[0].activate);

    const auto& globals = dm.performance->setGlobals;
    ASSERT_EQ(globals.size(), 2u);
    EXPECT_EQ(globals[0].type, GUID_PerfMasterTempo);
    EXPECT_EQ(globals[0].size, 4u);
    EXPECT_EQ(asFloat(globals[0].value), 1.0f);
    EXPECT_EQ(globals[1].type, GUID_PerfMasterVolume);
    EXPECT_EQ(globals[1].size, 4u);
    EXPECT_EQ(asInt(globals[1].value), 0);

    const std::vector<std::string> order = {
        "Performance.InitAudio",          "Loader.EnableCache",           "Loader.SetSearchDirectory",
        "Performance.CreateStandardAudioPath", "Performance.SetGlobalParam", "Performance.SetGlobalParam",
    };
    std::vector<std::string> got;
    for (const auto& c : dm.calls)
        if (c.find(".Release") == std::string::npos)
            got.push_back(c);
    EXPECT_EQ(got, order);
    ASSERT_EQ(sys.fake().count("GetCurrentDirectoryA"), 1);

    EXPECT_EQ(g_lpPerformance, static_cast<IDirectMusicPerformance8*>(dm.performance));
    EXPECT_EQ(g_lpLoader, static_cast<IDirectMusicLoader8*>(dm.loader));
    EXPECT_EQ(g_lpAudioPath, static_cast<IDirectMusicAudioPath*>(dm.audioPath));
    EXPECT_EQ(dm.performance->moduleRefs(), 1u);
    EXPECT_EQ(dm.loader->moduleRefs(), 1u);
    EXPECT_EQ(dm.audioPath->moduleRefs(), 1u);
}

TEST_F(MusicEngine, TheCurrentDirectoryIsReadIntoTwoHundredSixtyCharacters)
{
    DWORD asked = 0;
    sys.fake().getCurrentDirectoryA = [&](DWORD n, LPSTR buf) -> DWORD {
        asked = n;
        std::memset(buf, 'd', 259);
        buf[0] = 'C', buf[1] = ':', buf[2] = '\\';
        buf[259] = '\0';
        return 259; // the longest that fits
    };
    EXPECT_EQ(initDMusic(), 1);
    EXPECT_EQ(asked, 260u);
    ASSERT_EQ(dm.loader->searchDirectories.size(), 1u);
    EXPECT_EQ(dm.loader->searchDirectories[0].path.size(), 259u);
}

// What each failing step leaves: its box (whatever the verbose flag says),
// the result, what exists and whether the music commands find an engine.
TEST_F(MusicEngine, EachFailingStepShowsItsBoxAndLeavesWhatWasMade)
{
    struct Row {
        const char* step;
        std::function<void(MusicTest&)> fail;
        int result;
        const char* box;
        bool performance, loader, audioPath, up, tempoAndVolume;
    };
    const Row rows[] = {
        {"performance", [](MusicTest& t) { t.dm.createPerformanceResult = REGDB_E_CLASSNOTREG; }, 0,
         kTextInitDMusicPerformance, false, false, false, false, false},
        {"InitAudio", [](MusicTest& t) { t.dm.performance->initAudioResult = E_INVALIDARG; }, 0,
         kTextInitDMusicInitAudio, true, false, false, false, false},
        {"loader", [](MusicTest& t) { t.dm.createLoaderResult = E_OUTOFMEMORY; }, 0, kTextInitDMusicLoader, true,
         false, false, false, false},
        {"no directory",
         [](MusicTest& t) { t.sys.fake().getCurrentDirectoryA = [](DWORD, LPSTR) -> DWORD { return 0; }; }, 0,
         kTextInitDMusicCurrentDir, true, true, false, true, false},
        {"directory too long",
         [](MusicTest& t) { t.sys.fake().getCurrentDirectoryA = [](DWORD, LPSTR) -> DWORD { return 261; }; }, 0,
         kTextInitDMusicCurrentDir, true, true, false, true, false},
        {"search directory", [](MusicTest& t) { t.dm.loader->setSearchDirectoryResult = E_FAIL; }, 0,
         kTextInitDMusicSearchPath, true, true, false, true, false},
        {"audio path", [](MusicTest& t) { t.dm.performance->createAudioPathResult = E_NOTIMPL; }, 1,
         kTextInitDMusicAudioPath, true, true, false, true, true},
    };
    for (const Row& row : rows) {
        CASE_TRACE(row.step);
        dm.createPerformanceResult = dm.createLoaderResult = S_OK;
        dm.performance->initAudioResult = dm.performance->createAudioPathResult = S_OK;
        dm.loader->setSearchDirectoryResult = S_OK;
        SetUp();
        sys.fake().boxes.clear();
        dm.performance->setGlobals.clear();
        row.fail(*this);
        g_nVerbose = 0; // engine boxes do not depend on it
        EXPECT_EQ(initDMusic(), row.result);
        g_nVerbose = 1;
        ASSERT_EQ(sys.fake().boxes.size(), 1u);
        EXPECT_EQ(sys.fake().boxes[0].text, row.box);
        EXPECT_EQ(sys.fake().boxes[0].caption, kTextBoxCaption);
        EXPECT_EQ(sys.fake().boxes[0].owner, nullptr);
        EXPECT_EQ(sys.fake().boxes[0].style, 0u);
        EXPECT_EQ(g_lpPerformance != nullptr, row.performance);
        EXPECT_EQ(g_lpLoader != nullptr, row.loader);
        EXPECT_EQ(g_lpAudioPath != nullptr, row.audioPath);
        EXPECT_EQ(musicEngineUp(), row.up);
        EXPECT_EQ(dm.performance->setGlobals.size(), row.tempoAndVolume ? 2u : 0u);
        int32_t v = 77;
        EXPECT_EQ(tovmusicgetvol(&v, 0, 0, 0), row.up ? 0 : -9);
        // The teardown takes whatever the failed start left.
        releaseDMusic();
        EXPECT_EQ(dm.performance->moduleRefs(), 0u);
        EXPECT_EQ(dm.loader->moduleRefs(), 0u);
        EXPECT_EQ(dm.audioPath->moduleRefs(), 0u);
    }
}

TEST_F(MusicEngine, TeardownStopsReleasesInOrderAndClosesDown)
{
    start();
    existing = {"a.mid", "b.wav"};
    ASSERT_EQ(tovmusicload(7, "a.mid", 0, 0), 0);
    ASSERT_EQ(tovmusicload(2, "b.wav", 0, 0), 0);
    ASSERT_EQ(tovmusicfx(1, 0, 0, 0), 0);
    ASSERT_EQ(tovmusicsetpos(1, 100, 0, 0), 0);
    dm.calls.clear();

    releaseDMusic();
    const std::vector<std::string> expected = {
        "Performance.Stop", "DSBuffer.Release", "3DBuffer.Release", "AudioPath.Release", "Loader.Release",
        "Segment2.Release", // slot 2 before slot 7
        "Segment1.Release", "Performance.CloseDown", "Performance.Release",
    };
    EXPECT_EQ(dm.calls, expected);
    ASSERT_EQ(dm.performance->stops.size(), 1u);
    const auto& stop = dm.performance->stops[0];
    EXPECT_EQ(stop.segment, nullptr);
    EXPECT_EQ(stop.state, nullptr);
    EXPECT_EQ(stop.time, 0);
    EXPECT_EQ(stop.flags, 0u);

    EXPECT_EQ(g_lpPerformance, nullptr);
    EXPECT_EQ(g_lpLoader, nullptr);
    EXPECT_EQ(g_lpAudioPath, nullptr);
    EXPECT_EQ(g_lp3DBuffer, nullptr);
    EXPECT_EQ(g_lpDSBuffer, nullptr);
    for (int slot = 0; slot < MUSIC_SLOT_COUNT; ++slot)
        EXPECT_EQ(g_lpSegment[slot], nullptr) << slot;
    for (FakeSegment* s : dm.segments)
        EXPECT_EQ(s->moduleRefs(), 0u) << s->name();
    EXPECT_EQ(dm.performance->moduleRefs(), 0u);
    EXPECT_EQ(dm.loader->moduleRefs(), 0u);
    EXPECT_EQ(dm.audioPath->moduleRefs(), 0u);
    EXPECT_EQ(dm.buffer3D->moduleRefs(), 0u);
    EXPECT_EQ(dm.dsBuffer->moduleRefs(), 0u);

    // A second teardown finds nothing to do.
    dm.calls.clear();
    releaseDMusic();
    EXPECT_TRUE(dm.calls.empty());
}

TEST_F(MusicEngine, TeardownWithoutAStartTouchesNothing)
{
    releaseDMusic();
    EXPECT_TRUE(dm.calls.empty());
    EXPECT_TRUE(dm.creates.empty());
}

TEST_F(MusicEngine, AStartedEngineReadsNormalTempoAndFullVolume)
{
    start();
    int32_t v = 77;
    EXPECT_EQ(tovmusicgettenpo(&v, 0, 0, 0), 0);
    EXPECT_EQ(v, 10);
    EXPECT_EQ(tovmusicgetvol(&v, 0, 0, 0), 0);
    EXPECT_EQ(v, 0);
}

// tovinit and tovbye with the real engine table.
TEST_F(MusicEngine, AMaskWithoutMusicLeavesEveryMusicCommandWithoutAnEngine)
{
    TolvoWindowInfo info{};
    ASSERT_EQ(tovinit(&info, 5, 0, 0), 0); // input and movie
    for (const auto& c : dm.creates) {
        EXPECT_NE(c.clsid, CLSID_DirectMusicPerformance);
        EXPECT_NE(c.clsid, CLSID_DirectMusicLoader);
    }
    existing = {"a.mid"};
    HostVar var(midiFile());
    int32_t v = 77;
    EXPECT_EQ(tovmusicload(0, "a.mid", 0, 0), -9);
    EXPECT_EQ(tovmusicload2(&var.rec, 0, 0, 0), -9);
    EXPECT_EQ(tovmusicplay(0, 0, 0, 0), -1); // the empty slot comes first
    EXPECT_EQ(tovmusicplay2(0, 0, 0, 0), -2);
    EXPECT_EQ(tovmusicstop(0, 0, 0, 0), -9);
    EXPECT_EQ(tovmusiccheck(0, 0, 0, 0), -9);
    EXPECT_EQ(tovmusicsetpos(1, 100, 0, 0), -9);
    EXPECT_EQ(tovmusicgetvol(&v, 0, 0, 0), -9);
    EXPECT_EQ(tovmusicsetvol(0, -100, 0, 0), -9);
    EXPECT_EQ(tovmusicgettenpo(&v, 0, 0, 0), -9);
    EXPECT_EQ(tovmusicsettenpo(20, 0, 0, 0), -9);
    EXPECT_EQ(tovmusicfx(1, 0, 0, 0), -9);
    EXPECT_EQ(v, 77);
    EXPECT_EQ(tovbye(0, 0, 0, 0), 0);
    EXPECT_TRUE(callsOf("Performance.").empty());
}

TEST_F(MusicEngine, TovinitStartsMusicAndTovbyeReleasesIt)
{
    TolvoWindowInfo info{};
    ASSERT_EQ(tovinit(&info, 2, 0, 0), 0);
    EXPECT_TRUE(musicEngineUp());
    existing = {"a.mid"};
    EXPECT_EQ(tovmusicload(0, "a.mid", 0, 0), 0);
    // A second tovinit releases the running engine before starting anew.
    ASSERT_EQ(tovinit(&info, 2, 0, 0), 0);
    EXPECT_EQ(dm.performance->closeDowns, 1);
    EXPECT_EQ(dm.segments[0]->moduleRefs(), 0u);
    EXPECT_EQ(dm.performance->moduleRefs(), 1u);
    EXPECT_EQ(tovbye(0, 0, 0, 0), 0);
    EXPECT_EQ(dm.performance->closeDowns, 2);
    EXPECT_EQ(dm.performance->moduleRefs(), 0u);
    EXPECT_EQ(dm.loader->moduleRefs(), 0u);
    EXPECT_FALSE(musicEngineUp());
}

TEST_F(MusicEngine, NoObjectDescriptionFieldIsLeftUnset)
{
    // The memory description is zero but for its five fields.
    start();
    HostVar var(waveFile(100));
    ASSERT_EQ(tovmusicload2(&var.rec, 0, 0, 0), 0);
    ASSERT_EQ(dm.loader->getObjects.size(), 1u);
    DMUS_OBJECTDESC d = dm.loader->getObjects[0].desc;
    EXPECT_EQ(d.dwSize, sizeof(DMUS_OBJECTDESC));
    EXPECT_EQ(d.dwValidData, 0x402u);
    EXPECT_EQ(d.guidClass, CLSID_DirectMusicSegment);
    EXPECT_EQ(d.pbMemData, g_pWaveImage);
    EXPECT_EQ(d.llMemLength, var.rec.word_count * 4);
    d.dwSize = d.dwValidData = 0;
    d.guidClass = GUID_NULL;
    d.pbMemData = nullptr;
    d.llMemLength = 0;
    EXPECT_TRUE(isZero(&d, sizeof d));
}

} // namespace

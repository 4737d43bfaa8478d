// Master volume and tempo, 3D position and effects on fake objects.
#include "music_fixture.h"

#include <cmath>

namespace {

class MusicControls : public MusicTest {
protected:
    void SetUp() override
    {
        MusicTest::SetUp();
        start();
    }
};

TEST_F(MusicControls, WithoutAnEngineAllSixAnswerMinusNineAndTouchNothing)
{
    IDirectMusicPerformance8* performance = g_lpPerformance;
    g_lpPerformance = nullptr;
    int32_t v = 77;
    EXPECT_EQ(tovmusicgetvol(&v, 0, 0, 0), -9);
    EXPECT_EQ(tovmusicsetvol(0, -100, 0, 0), -9);
    EXPECT_EQ(tovmusicgettenpo(&v, 0, 0, 0), -9);
    EXPECT_EQ(tovmusicsettenpo(20, 0, 0, 0), -9);
    EXPECT_EQ(tovmusicsetpos(1, 100, 0, 0), -9);
    EXPECT_EQ(tovmusicfx(4, 0, 0, 0), -9);
    g_lpPerformance = performance;
    EXPECT_EQ(v, 77);
    EXPECT_TRUE(dm.calls.empty());
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(MusicControls, VolumeIsSetFromArgumentTwoAndReadBack)
{
    dm.performance->setGlobals.clear();
    EXPECT_EQ(tovmusicsetvol(555, -1000, 0, 0), 0);
    ASSERT_EQ(dm.performance->setGlobals.size(), 1u);
    const auto& set = dm.performance->setGlobals[0];
    EXPECT_EQ(set.type, GUID_PerfMasterVolume);
    EXPECT_EQ(set.size, 4u);
    int32_t passed;
    std::memcpy(&passed, set.value, 4);
    EXPECT_EQ(passed, -1000);

    int32_t v = 77;
    EXPECT_EQ(tovmusicgetvol(&v, 0, 0, 0), 0);
    EXPECT_EQ(v, -1000);
    EXPECT_EQ(dm.performance->getGlobals.back().type, GUID_PerfMasterVolume);
    EXPECT_EQ(dm.performance->getGlobals.back().size, 4u);

    // No clamping: the platform gets what the script gives.
    EXPECT_EQ(tovmusicsetvol(0, 123456, 0, 0), 0);
    EXPECT_EQ(tovmusicgetvol(&v, 0, 0, 0), 0);
    EXPECT_EQ(v, 123456);
}

TEST_F(MusicControls, FailedVolumeCallsAnswerMinusOneAndLeaveTheResult)
{
    dm.performance->setGlobalParamResult = E_INVALIDARG;
    EXPECT_EQ(tovmusicsetvol(0, -100, 0, 0), -1);
    EXPECT_EQ(tovmusicsettenpo(15, 0, 0, 0), -1);
    dm.performance->getGlobalParamResult = E_FAIL;
    int32_t v = 77;
    EXPECT_EQ(tovmusicgetvol(&v, 0, 0, 0), -1);
    EXPECT_EQ(tovmusicgettenpo(&v, 0, 0, 0), -1);
    EXPECT_EQ(v, 77);
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(MusicControls, TempoIsGivenInTenthsOfTheFactor)
{
    EXPECT_EQ(tovmusicsettenpo(15, 99, 99, 99), 0);
    const auto& set = dm.performance->setGlobals.back();
    EXPECT_EQ(set.type, GUID_PerfMasterTempo);
    EXPECT_EQ(set.size, 4u);
    float passed;
    std::memcpy(&passed, set.value, 4);
    EXPECT_EQ(passed, 1.5f);
    int32_t v = 0;
    EXPECT_EQ(tovmusicgettenpo(&v, 0, 0, 0), 0);
    EXPECT_EQ(v, 15);
    EXPECT_EQ(dm.performance->getGlobals.back().type, GUID_PerfMasterTempo);

    // 0 and negative values reach the platform unchanged.
    EXPECT_EQ(tovmusicsettenpo(0, 0, 0, 0), 0);
    EXPECT_EQ(dm.performance->tempo, 0.0f);
    EXPECT_EQ(tovmusicsettenpo(-5, 0, 0, 0), 0);
    EXPECT_EQ(dm.performance->tempo, -0.5f);
}

// Every tenth reads back as itself, and a factor that is not a whole number
// of tenths reads as the nearest one.
TEST_F(MusicControls, TempoReadsBackAsTheNearestTenth)
{
    for (int32_t tenths = -100; tenths <= 1000; ++tenths) {
        ASSERT_EQ(tovmusicsettenpo(tenths, 0, 0, 0), 0);
        int32_t v = 0;
        ASSERT_EQ(tovmusicgettenpo(&v, 0, 0, 0), 0);
        EXPECT_EQ(v, tenths);
    }
    const struct {
        float tempo;
        int32_t tenths;
    } rows[] = {{1.2499f, 12}, {1.2501f, 13}, {0.99999f, 10}, {1.0999999f, 11}, {-0.26f, -3}, {0.04f, 0}};
    for (const auto& row : rows) {
        dm.performance->tempo = row.tempo;
        int32_t v = 77;
        EXPECT_EQ(tovmusicgettenpo(&v, 0, 0, 0), 0);
        EXPECT_EQ(v, row.tenths) << row.tempo;
    }
    // What no integer holds stays defined.
    dm.performance->tempo = 1e30f;
    int32_t v = 0;
    EXPECT_EQ(tovmusicgettenpo(&v, 0, 0, 0), 0);
    EXPECT_EQ(v, INT32_MAX);
    dm.performance->tempo = std::nanf("");
    EXPECT_EQ(tovmusicgettenpo(&v, 0, 0, 0), 0);
    EXPECT_EQ(v, 0);
}

TEST_F(MusicControls, APositionSetsOneAxisAndAppliesTheWholePosition)
{
    g_fPosX = g_fPosY = g_fPosZ = 0.0f;
    EXPECT_EQ(tovmusicsetpos(1, 250, 0, 0), 0);
    ASSERT_EQ(dm.audioPath->getObjects.size(), 1u);
    const auto& get = dm.audioPath->getObjects[0];
    EXPECT_EQ(get.pchannel, 0xFFFFFFFBu); // DMUS_PCHANNEL_ALL
    EXPECT_EQ(get.stage, 0x6000u);        // DMUS_PATH_BUFFER
    EXPECT_EQ(get.buffer, 0u);
    EXPECT_EQ(get.object, GUID_NULL);
    EXPECT_EQ(get.index, 0u);
    EXPECT_EQ(get.iid, IID_IDirectSound3DBuffer);

    EXPECT_EQ(tovmusicsetpos(2, -100, 0, 0), 0);
    EXPECT_EQ(tovmusicsetpos(3, 1, 0, 0), 0);
    EXPECT_EQ(tovmusicsetpos(7, 999, 0, 0), 0); // applies the position unchanged
    EXPECT_EQ(tovmusicsetpos(0, 999, 0, 0), 0); // back to the origin
    const auto& p = dm.buffer3D->positions;
    ASSERT_EQ(p.size(), 5u);
    const float expected[5][3] = {{2.5f, 0, 0}, {2.5f, -1, 0}, {2.5f, -1, 0.01f}, {2.5f, -1, 0.01f}, {0, 0, 0}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(p[i].x, expected[i][0]) << i;
        EXPECT_EQ(p[i].y, expected[i][1]) << i;
        EXPECT_EQ(p[i].z, expected[i][2]) << i;
        EXPECT_EQ(p[i].apply, 0u) << i; // DS3D_IMMEDIATE
    }
    // Each call fetches the interface anew and lets go of the old one.
    EXPECT_EQ(dm.audioPath->getObjects.size(), 5u);
    EXPECT_EQ(dm.buffer3D->moduleRefs(), 1u);
}

TEST_F(MusicControls, AFailedPositionKeepsTheCoordinateForTheNextCall)
{
    g_fPosX = g_fPosY = g_fPosZ = 0.0f;
    dm.audioPath->get3DBufferResult = E_NOINTERFACE;
    EXPECT_EQ(tovmusicsetpos(1, 300, 0, 0), -1);
    EXPECT_EQ(g_fPosX, 0.0f); // failed before the coordinate was taken
    EXPECT_EQ(g_lp3DBuffer, nullptr);

    dm.audioPath->get3DBufferResult = S_OK;
    dm.buffer3D->setPositionResult = S_FALSE; // anything but S_OK fails
    EXPECT_EQ(tovmusicsetpos(1, 300, 0, 0), -1);
    EXPECT_EQ(g_fPosX, 3.0f);
    dm.buffer3D->setPositionResult = S_OK;
    EXPECT_EQ(tovmusicsetpos(2, 100, 0, 0), 0);
    EXPECT_EQ(dm.buffer3D->positions.back().x, 3.0f);
    EXPECT_EQ(dm.buffer3D->positions.back().y, 1.0f);
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(MusicControls, EachEffectNumberPutsItsClassAloneOnTheBuffer)
{
    const GUID* classes[] = {
        &GUID_DSFX_STANDARD_CHORUS,     &GUID_DSFX_STANDARD_COMPRESSOR, &GUID_DSFX_STANDARD_DISTORTION,
        &GUID_DSFX_STANDARD_ECHO,       &GUID_DSFX_STANDARD_I3DL2REVERB, &GUID_DSFX_STANDARD_FLANGER,
        &GUID_DSFX_STANDARD_GARGLE,     &GUID_DSFX_STANDARD_PARAMEQ,    &GUID_DSFX_WAVES_REVERB,
    };
    for (int effect = 1; effect <= 9; ++effect) {
        dm.calls.clear();
        EXPECT_EQ(tovmusicfx(effect, 0, 0, 0), 0);
        const auto& fx = dm.dsBuffer->setFXs.back();
        EXPECT_EQ(fx.count, 1u);
        ASSERT_EQ(fx.descs.size(), 1u);
        EXPECT_EQ(fx.descs[0].dwSize, sizeof(DSEFFECTDESC));
        EXPECT_EQ(fx.descs[0].dwFlags, 0u);
        EXPECT_EQ(fx.descs[0].guidDSFXClass, *classes[effect - 1]) << effect;
        EXPECT_EQ(fx.descs[0].dwReserved1, 0u);
        EXPECT_EQ(fx.descs[0].dwReserved2, 0u);
        EXPECT_EQ(fx.resultCodes, nullptr);
        const std::vector<std::string> order = {"AudioPath.GetObjectInPath", "AudioPath.Activate(FALSE)",
                                                "DSBuffer.SetFX", "AudioPath.Activate(TRUE)"};
        std::vector<std::string> got;
        for (const auto& c : dm.calls)
            if (c.find(".Release") == std::string::npos)
                got.push_back(c);
        EXPECT_EQ(got, order) << effect;
    }
    const auto& get = dm.audioPath->getObjects.back();
    EXPECT_EQ(get.pchannel, 0xFFFFFFFBu);
    EXPECT_EQ(get.stage, 0x6000u);
    EXPECT_EQ(get.buffer, 0u);
    EXPECT_EQ(get.object, GUID_NULL);
    EXPECT_EQ(get.index, 0u);
    EXPECT_EQ(get.iid, IID_IDirectSoundBuffer8);
    EXPECT_EQ(dm.dsBuffer->moduleRefs(), 1u);
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(MusicControls, EffectZeroRemovesEveryEffectAndOthersChangeNothing)
{
    EXPECT_EQ(tovmusicfx(0, 0, 0, 0), 0);
    ASSERT_EQ(dm.dsBuffer->setFXs.size(), 1u);
    EXPECT_EQ(dm.dsBuffer->setFXs[0].count, 0u);
    EXPECT_FALSE(dm.dsBuffer->setFXs[0].descsGiven);
    EXPECT_EQ(dm.dsBuffer->setFXs[0].resultCodes, nullptr);

    for (int32_t effect : {10, -1, INT32_MIN}) {
        EXPECT_EQ(tovmusicfx(effect, 0, 0, 0), 0) << effect;
    }
    EXPECT_EQ(dm.dsBuffer->setFXs.size(), 1u);
    // The path is still switched off and on around the nothing.
    EXPECT_EQ(dm.audioPath->activations, (std::vector<BOOL>{FALSE, TRUE, FALSE, TRUE, FALSE, TRUE, FALSE, TRUE}));
}

TEST_F(MusicControls, ARefusedEffectStillAnswersZero)
{
    dm.dsBuffer->setFXResult = DSERR_FXUNAVAILABLE;
    EXPECT_EQ(tovmusicfx(5, 0, 0, 0), 0);
    EXPECT_EQ(dm.audioPath->activations.back(), TRUE);
}

TEST_F(MusicControls, WithoutTheBufferTheEffectBoxAppearsWhateverTheVerboseFlag)
{
    dm.audioPath->getDSBufferResult = E_NOINTERFACE;
    g_nVerbose = 0;
    EXPECT_EQ(tovmusicfx(4, 0, 0, 0), -1);
    g_nVerbose = 1;
    ASSERT_EQ(sys.fake().boxes.size(), 1u);
    EXPECT_EQ(sys.fake().boxes[0].text, kTextMusicFx);
    EXPECT_EQ(sys.fake().boxes[0].caption, kTextBoxCaption);
    EXPECT_TRUE(dm.audioPath->activations.empty());
    EXPECT_EQ(g_lpDSBuffer, nullptr);
}

TEST_F(MusicControls, WithoutAnAudioPathPositionAndEffectsFail)
{
    releaseDMusic();
    dm.performance->createAudioPathResult = E_FAIL;
    ASSERT_EQ(initDMusic(), 1);
    sys.fake().boxes.clear();
    EXPECT_EQ(tovmusicsetpos(1, 100, 0, 0), -1);
    EXPECT_TRUE(sys.fake().boxes.empty());
    EXPECT_EQ(tovmusicfx(1, 0, 0, 0), -1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{kTextMusicFx});
    // Volume and tempo need no path.
    EXPECT_EQ(tovmusicsetvol(0, -200, 0, 0), 0);
    EXPECT_EQ(tovmusicsettenpo(20, 0, 0, 0), 0);
}

} // namespace

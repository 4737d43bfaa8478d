#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fakes/fake_system.h"
#include "fakes/fault_plan.h"
#include "pack/pack.h"
#include "plugin/globals.h"
#include "plugin/lifecycle.h"
#include "plugin/messages.h"

namespace {

std::vector<std::string>* s_engineCalls = nullptr;

bool fakeInitDInput() { s_engineCalls->push_back("initDInput"); return true; }
bool fakeInitDMusic() { s_engineCalls->push_back("initDMusic"); return true; }
bool fakeInitDShow() { s_engineCalls->push_back("initDShow"); return true; }
void fakeReleaseDInput() { s_engineCalls->push_back("releaseDInput"); }
void fakeReleaseDMusic() { s_engineCalls->push_back("releaseDMusic"); }
void fakeReleaseDShow() { s_engineCalls->push_back("releaseDShow"); }

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        s_engineCalls = &engineCalls;
        saved = g_engines;
        g_engines = {fakeInitDInput, fakeInitDMusic, fakeInitDShow,
                     fakeReleaseDInput, fakeReleaseDMusic, fakeReleaseDShow};
        g_nVerbose = 1;
        g_bScreenSaveActive = g_bPowerOffActive = g_bLowPowerActive = 0;
        g_bSettingsSaved = g_bSettingsSuppressed = 0;
        g_nComInitCount = 0;
        info.hwnd = reinterpret_cast<void*>(0x1234);
        info.hinstance = reinterpret_cast<void*>(0x5678);
    }
    void TearDown() override
    {
        g_engines = saved;
        s_engineCalls = nullptr;
        g_nVerbose = 1;
    }

    FakeSystemScope sys;
    std::vector<std::string> engineCalls;
    EngineTable saved;
    TolvoWindowInfo info{};
};

TEST_F(Lifecycle, KeepsWords13And14)
{
    for (int i = 0; i < 13; ++i)
        info.words[i] = 0x11111111 * (i % 7);
    EXPECT_EQ(tovinit(&info, 1, 0, 0), 0);
    EXPECT_EQ(g_hWnd, reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(g_hInstance, reinterpret_cast<HINSTANCE>(0x5678));
}

TEST_F(Lifecycle, InitMaskSelectsEnginesInTheOrderInputMusicMovie)
{
    struct Row {
        int32_t mask;
        std::vector<std::string> starts;
    };
    const std::vector<std::string> all = {"initDInput", "initDMusic", "initDShow"};
    const Row rows[] = {
        {1, {"initDInput"}},
        {2, {"initDMusic"}},
        {3, {"initDInput", "initDMusic"}},
        {4, {"initDShow"}},
        {5, {"initDInput", "initDShow"}},
        {6, {"initDMusic", "initDShow"}},
        {7, all},
        {0, all},
        {8, all},
        {9, all},
        {-1, all},
        {INT32_MIN, all},
        {INT32_MAX, all},
    };
    for (const Row& row : rows) {
        engineCalls.clear();
        EXPECT_EQ(tovinit(&info, row.mask, 0, 0), 0);
        std::vector<std::string> starts;
        for (const auto& c : engineCalls)
            if (c.rfind("init", 0) == 0)
                starts.push_back(c);
        EXPECT_EQ(starts, row.starts) << "mask " << row.mask;
    }
}

// A second tovinit without tovbye must not leave the first engines behind:
// each engine about to start is released first.
TEST_F(Lifecycle, EachStartedEngineIsReleasedFirst)
{
    EXPECT_EQ(tovinit(&info, 5, 0, 0), 0);
    const std::vector<std::string> expected = {"releaseDInput", "initDInput", "releaseDShow", "initDShow"};
    EXPECT_EQ(engineCalls, expected);
}

TEST_F(Lifecycle, SavesThePowerSettingsInOrder)
{
    sys.fake().spiValue[0] = 1;
    sys.fake().spiValue[1] = 0;
    sys.fake().spiValue[2] = 1;
    EXPECT_EQ(tovinit(&info, 7, 0, 0), 0);
    const auto& spi = sys.fake().spi;
    ASSERT_EQ(spi.size(), 3u);
    EXPECT_EQ(spi[0].action, 16u);
    EXPECT_EQ(spi[1].action, 84u);
    EXPECT_EQ(spi[2].action, 83u);
    for (const auto& c : spi) {
        EXPECT_NE(c.pvParam, nullptr);
        EXPECT_EQ(c.uiParam, 0u);
        EXPECT_EQ(c.winIni, 1u);
    }
    EXPECT_EQ(g_bScreenSaveActive, 1);
    EXPECT_EQ(g_bPowerOffActive, 0);
    EXPECT_EQ(g_bLowPowerActive, 1);
}

TEST_F(Lifecycle, AlreadyInitialisedComCountsAsSuccess)
{
    sys.fake().coInitializeResult = S_FALSE;
    EXPECT_EQ(tovinit(&info, 7, 0, 0), 0);
    EXPECT_EQ(engineCalls.size(), 6u);
    EXPECT_EQ(sys.fake().spi.size(), 3u);
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(Lifecycle, ComFailureStartsNothingAndSavesNothing)
{
    sys.fake().coInitializeResult = RPC_E_CHANGED_MODE; // thread is multithreaded
    g_bScreenSaveActive = 1;
    EXPECT_EQ(tovinit(&info, 7, 0, 0), -1);
    EXPECT_TRUE(engineCalls.empty());
    EXPECT_TRUE(sys.fake().spi.empty());
    EXPECT_EQ(g_bScreenSaveActive, 1);
    ASSERT_EQ(sys.fake().boxes.size(), 1u);
    const auto& box = sys.fake().boxes[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.style, 0u);
    EXPECT_EQ(box.text, kTextTovinitCom);
    EXPECT_EQ(box.caption, kTextBoxCaption);
}

TEST_F(Lifecycle, ComFailureBoxOnlyWhileVerbose)
{
    sys.fake().coInitializeResult = E_FAIL;
    g_nVerbose = 0; // nothing in the plug-in clears it; only a test can
    EXPECT_EQ(tovinit(&info, 7, 0, 0), -1);
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(Lifecycle, OnlyOneSetsTheVerboseFlagAndNothingClearsIt)
{
    EXPECT_EQ(tovinit(&info, 7, 0, 0), 0);
    EXPECT_EQ(g_nVerbose, 1); // third argument 0 leaves it at 1
    g_nVerbose = 0;
    EXPECT_EQ(tovinit(&info, 7, 2, 0), 0);
    EXPECT_EQ(g_nVerbose, 0);
    EXPECT_EQ(tovinit(&info, 7, -1, 0), 0);
    EXPECT_EQ(g_nVerbose, 0);
    EXPECT_EQ(tovinit(&info, 7, 1, 0), 0);
    EXPECT_EQ(g_nVerbose, 1);
}

TEST_F(Lifecycle, NullRecordGivesNoWindowInsteadOfACrash)
{
    EXPECT_EQ(tovinit(nullptr, 7, 0, 0), 0);
    EXPECT_EQ(g_hWnd, nullptr);
    EXPECT_EQ(g_hInstance, nullptr);
}

TEST_F(Lifecycle, ByeReleasesInOrderAndFreesBothBuffers)
{
    g_lpReadBuffer = std::malloc(16);
    g_pWaveImage = std::malloc(16);
    EXPECT_EQ(tovbye(1, 2, 3, 4), 0);
    const std::vector<std::string> expected = {"releaseDInput", "releaseDMusic", "releaseDShow"};
    EXPECT_EQ(engineCalls, expected);
    EXPECT_EQ(g_lpReadBuffer, nullptr);
    EXPECT_EQ(g_pWaveImage, nullptr);
}

class SysMode : public Lifecycle {};

TEST_F(SysMode, RestoreSetsTheSavedValuesInOrder)
{
    sys.fake().spiValue[0] = 1;
    sys.fake().spiValue[1] = 0;
    sys.fake().spiValue[2] = 1;
    tovinit(&info, 7, 0, 0);
    sys.fake().spi.clear();
    EXPECT_EQ(tovsysmode(0, 9, 9, 9), 0);
    const auto& spi = sys.fake().spi;
    ASSERT_EQ(spi.size(), 3u);
    EXPECT_EQ(spi[0].action, 17u);
    EXPECT_EQ(spi[1].action, 86u);
    EXPECT_EQ(spi[2].action, 85u);
    EXPECT_EQ(spi[0].uiParam, 1u);
    EXPECT_EQ(spi[1].uiParam, 0u);
    EXPECT_EQ(spi[2].uiParam, 1u);
    for (const auto& c : spi) {
        EXPECT_EQ(c.pvParam, nullptr);
        EXPECT_EQ(c.winIni, 1u);
    }
}

TEST_F(SysMode, SuppressSwitchesAllThreeOff)
{
    sys.fake().spiValue[0] = sys.fake().spiValue[1] = sys.fake().spiValue[2] = 1;
    tovinit(&info, 7, 0, 0);
    sys.fake().spi.clear();
    EXPECT_EQ(tovsysmode(1, 0, 0, 0), 0);
    const auto& spi = sys.fake().spi;
    ASSERT_EQ(spi.size(), 3u);
    const UINT actions[] = {17, 86, 85};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(spi[i].action, actions[i]);
        EXPECT_EQ(spi[i].uiParam, 0u);
        EXPECT_EQ(spi[i].pvParam, nullptr);
        EXPECT_EQ(spi[i].winIni, 1u);
    }
}

// Whatever order a game calls in, COM ends as often as tovinit started it
// (S_FALSE included; a host's own initialisation stays), and only the
// user's own settings are written back, by tovbye too. The user has the
// screen saver and low power on, power-off off. Steps: i tovinit, s one
// answered S_FALSE, f one whose COM fails, b tovbye, 0 and 1 tovsysmode, r
// tovsysmode 1 whose reading of the settings fails.
TEST_F(SysMode, ComAndTheUsersSettingsSurviveAnyOrder)
{
    const struct {
        const char* steps;
        int uninits;
        size_t writes;
        bool off; // all three are left off
    } rows[] = {
        {"b", 0, 0, false},   {"fb", 0, 0, false},  {"ib", 1, 0, false},   {"sb", 1, 0, false},
        {"iib", 2, 0, false}, {"ibb", 1, 0, false}, {"ifb", 1, 0, false},  {"0", 0, 0, false},
        {"i0", 0, 3, false},  {"i1", 0, 3, true},   {"i10", 0, 6, false},  {"i1b", 1, 6, false},
        {"i10b", 1, 6, false}, {"i1i0", 0, 6, false}, {"i1ib", 2, 6, false}, {"1", 0, 3, true},
        {"10", 0, 6, false},  {"1b", 0, 6, false},  {"r0", 0, 3, true},
    };
    for (const auto& row : rows) {
        g_bSettingsSaved = g_bSettingsSuppressed = g_nComInitCount = 0;
        sys.fake().spiValue[0] = sys.fake().spiValue[2] = 1;
        sys.fake().spiValue[1] = 0;
        sys.fake().calls.clear();
        sys.fake().spi.clear();
        FaultPlan failFirstCall;
        failFirstCall.target = 1;
        for (const char* c = row.steps; *c; ++c) {
            sys.fake().coInitializeResult = *c == 's' ? S_FALSE : *c == 'f' ? E_FAIL : S_OK;
            g_faultPlan = *c == 'r' ? &failFirstCall : nullptr;
            if (*c == 'b')
                EXPECT_EQ(tovbye(0, 0, 0, 0), 0);
            else if (*c == '0' || *c == '1' || *c == 'r')
                EXPECT_EQ(tovsysmode(*c == '0' ? 0 : 1, 0, 0, 0), 0);
            else
                tovinit(&info, 7, 0, 0);
        }
        g_faultPlan = nullptr;
        size_t writes = 0;
        for (const auto& c : sys.fake().spi)
            writes += c.action == 17 || c.action == 86 || c.action == 85;
        EXPECT_EQ(sys.fake().count("CoUninitialize"), row.uninits) << row.steps;
        EXPECT_EQ(writes, row.writes) << row.steps;
        EXPECT_EQ(sys.fake().spiValue[0], !row.off) << row.steps;
        EXPECT_EQ(sys.fake().spiValue[1], 0) << row.steps;
        EXPECT_EQ(sys.fake().spiValue[2], !row.off) << row.steps;
    }
}

TEST_F(SysMode, OtherModesCallNothing)
{
    for (int32_t mode : {2, -1, 100, INT32_MIN}) {
        EXPECT_EQ(tovsysmode(mode, 0, 0, 0), 0);
    }
    EXPECT_TRUE(sys.fake().calls.empty());
}

} // namespace

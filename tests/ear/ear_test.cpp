// Music by ear, on a platform whose DirectMusic sounds (Wine 10): the test
// runs under `scripts/wine-run --capture`, which records what this process
// plays and names the growing recording in TOLVO_CAPTURE. Each case plays
// something, waits, and measures the part of the recording made meanwhile
// against the source: pitch, level, sounding time, channel balance.
//
// Where the platform does not do what DirectMusic does on Windows, for a
// reason of its own, the case expects what the platform does and says why in
// one line (kWine10); an upgrade that changes it makes the case fail.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ear/listen.h"
#include "fakes/fake_system.h"
#include "music/music.h"
#include "platform/platform.h"
#include "plugin/globals.h"
#include "plugin/syscalls.h"
#include "soak/figures.h"
#include "unit/case_trace.h"
#include "unit/music/music_media.h"

namespace {

const std::string kFixtures = TOLVO_FIXTURES;

const bool kWine10 = platformName() == "wine10";

bool within(double a, double b, double tolerance)
{
    return std::fabs(a - b) <= tolerance;
}

// The recording that wine-run makes while this process runs.
class Recording {
public:
    Recording()
    {
        const char* p = std::getenv("TOLVO_CAPTURE");
        path = p ? p : "";
    }
    bool ready() const { return !path.empty() && frames() > 0; }
    size_t frames() const
    {
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f)
            return 0;
        std::fseek(f, 0, SEEK_END);
        const long size = std::ftell(f);
        std::fclose(f);
        return size > 0 ? size_t(size) / 4 : 0;
    }
    // Everything recorded from frame `first` on.
    Sound since(size_t first) const
    {
        std::vector<unsigned char> bytes;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            std::fseek(f, long(first * 4), SEEK_SET);
            unsigned char buf[65536];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
                bytes.insert(bytes.end(), buf, buf + n);
            std::fclose(f);
        }
        return soundFromRaw(bytes, 48000, 2);
    }
    std::string path;
};

// A RIFF WAVE file of a sine: 16-bit mono at 22050 Hz.
std::vector<unsigned char> sineWave(double hz, double seconds, double amplitude)
{
    const uint32_t frames = uint32_t(seconds * 22050);
    std::vector<unsigned char> v = waveFile(frames);
    for (uint32_t i = 0; i < frames; ++i) {
        const int16_t s = int16_t(std::lround(amplitude * 32767 * std::sin(6.283185307179586 * hz * i / 22050)));
        std::memcpy(&v[44 + 2 * i], &s, 2);
    }
    return v;
}

Figures figuresOf(const std::vector<unsigned char>& wave)
{
    Sound s;
    EXPECT_TRUE(soundFromWave(wave, s));
    return measure(s);
}

std::vector<std::string>* s_boxes = nullptr;

int WINAPI recordBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    s_boxes->push_back(cp932Of(text));
    return IDOK;
}

class MusicEar : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(rec.ready()) << "no recording: run under scripts/wine-run --capture (TOLVO_PLATFORM=wine10)";
        saved = g_sys;
        s_boxes = &boxes;
        g_sys.MessageBoxW = recordBox;
        g_nVerbose = 1;
        CoInitialize(nullptr);
        ASSERT_EQ(initDMusic(), 1);
        threadsWithEngine = processThreads();
        tone = readFile(kFixtures + "/music/tone.wav");
        toneFigures = figuresOf(tone);
    }
    void TearDown() override
    {
        releaseDMusic();
        std::free(g_pWaveImage);
        g_pWaveImage = nullptr;
        CoUninitialize();
        g_sys = saved;
        s_boxes = nullptr;
        EXPECT_TRUE(boxes.empty()) << boxes.front();
    }

    // Waits until the recording has been silent for a while (what an
    // earlier play left is over), then runs `play` and records for `ms`.
    Sound hear(const std::function<void()>& play, DWORD ms)
    {
        for (int i = 0; i < 30; ++i) {
            const size_t n = rec.frames();
            if (n > 9600 && !measure(rec.since(n - 9600)).heard)
                break;
            Sleep(100);
        }
        const size_t from = rec.frames();
        play();
        Sleep(ms);
        return rec.since(from);
    }

    typedef std::function<bool(const Figures&, const Sound&)> Good;

    // hear() until `good` holds, or three tries heard whole missed. A loaded
    // machine starves the platform's mixer now and then: the sink plays
    // silence (underruns) and the sound comes in more bursts than it has, as
    // a bare DirectSound buffer's does (exit-after-sound --dsound under
    // --capture). Such a try says nothing about the plug-in and is heard
    // again, up to kMostTries in all. `whole`: the bursts of the sound heard
    // uncut (0: not known, every try counts). The figures of the last try.
    Figures hearUntil(const std::function<void()>& play, DWORD ms, const Good& good, int whole = 1)
    {
        const int kMostTries = 8;
        Figures f;
        for (int attempt = 1, judged = 0; attempt <= kMostTries && judged < 3; ++attempt) {
            const Sound s = hear(play, ms);
            f = measure(s);
            const bool cut = whole > 0 && f.bursts > whole;
            std::printf("heard (try %d, %.2f s recorded%s): %s\n", attempt, s.seconds(),
                        cut ? ", cut by underruns" : "", describe(f).c_str());
            // Whether the platform's mixer threads still run, for a silence.
            if (!f.heard)
                std::printf("nothing heard: %lld threads in the process, %lld once the engine had started\n",
                            static_cast<long long>(processThreads()), static_cast<long long>(threadsWithEngine));
            if (good(f, s))
                break;
            if (!cut)
                ++judged;
        }
        return f;
    }

    // What differs between the figures heard and the source's beyond the
    // tolerances (pitch 1 %, level 0.5 dB, sounding time 50 ms); empty if
    // nothing does.
    static std::string unlike(const Figures& got, const Figures& want)
    {
        if (!got.heard)
            return "nothing was heard";
        std::string what;
        for (int c = 0; c < 2; ++c)
            if (std::fabs(got.channelHz[c] / want.channelHz[c] - 1) > 0.01)
                what += " pitch of channel " + std::to_string(c);
        if (!within(got.rmsDb, want.rmsDb, 0.5))
            what += " level";
        if (!within(got.soundingSec, want.soundingSec, 0.05))
            what += " length";
        return what.empty() ? what : "differs in" + what + ": heard " + describe(got) + "; source " + describe(want);
    }
    static bool like(const Figures& got, const Figures& want) { return unlike(got, want).empty(); }

    // The tone in slot 0, played once (then `after`) and heard until it is
    // over.
    Figures playTone(const Good& good, const std::function<void()>& after = [] {})
    {
        HostVar wave(tone);
        EXPECT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
        return hearUntil(
            [&] {
                EXPECT_EQ(tovmusicplay(0, 0, 0, 0), 0);
                after();
            },
            1300, good);
    }

    Recording rec;
    SysCalls saved;
    std::vector<std::string> boxes;
    std::vector<unsigned char> tone; // a 441 Hz square wave, 0.5 s
    Figures toneFigures;
    int64_t threadsWithEngine = 0;
};

// --- What the sources sound like --------------------------------------------

struct Source {
    const char* name;
    int (*load)(); // into slot 0
    const char* reference; // the source's samples under the fixtures
    int rate, channels;    // raw samples; 0: a WAVE file
};

void PrintTo(const Source& s, std::ostream* os)
{
    *os << s.name;
}

int loadWaveFile()
{
    return tovmusicload(0, (kFixtures + "/music/tone.wav").c_str(), 0, 0);
}

int loadOggFile()
{
    return tovmusicload(0, (kFixtures + "/ogg/intact.ogg").c_str(), 0, 0);
}

// The entry stays in the pack reader's buffer, which the variable points at.
int loadOggFromPack()
{
    std::string pack = kFixtures + "/music/music.dpm,0";
    if (tovdpmload(0, pack.data(), 0, 0) != 0)
        return -100;
    static HostVar entry(std::vector<unsigned char>(64));
    if (tovdpmread(&entry.rec, "theme.ogg", 0, 0) != 0)
        return -101;
    return tovmusicload2(&entry.rec, 0, 0, 0);
}

class MusicEarSource : public MusicEar, public ::testing::WithParamInterface<Source> {};

// intact.ogg is two seconds of stereo: a 220 Hz tone on the left, 443 Hz on
// the right, under a slow swell.
TEST_P(MusicEarSource, SoundsAtTheSourcesPitchLevelAndLength)
{
    const Source& src = GetParam();
    Sound ref;
    const std::string refPath = kFixtures + src.reference;
    ASSERT_TRUE(src.rate ? readRaw(refPath, src.rate, src.channels, ref) : readWave(refPath, ref)) << refPath;
    const Figures want = measure(ref);
    std::printf("source: %s\n", describe(want).c_str());
    ASSERT_EQ(src.load(), 0);
    const Figures got = hearUntil([] { EXPECT_EQ(tovmusicplay(0, 0, 0, 0), 0); },
                                  DWORD(want.soundingSec * 1000) + 900,
                                  [&](const Figures& f, const Sound&) { return like(f, want); }, want.bursts);
    EXPECT_EQ(unlike(got, want), "");
}

INSTANTIATE_TEST_SUITE_P(Sources, MusicEarSource,
                         ::testing::Values(Source{"WaveFile", loadWaveFile, "/music/tone.wav", 0, 0},
                                           Source{"OggFile", loadOggFile, "/ogg/intact.raw", 44100, 2},
                                           Source{"OggFromAPack", loadOggFromPack, "/ogg/intact.raw", 44100, 2}),
                         [](const ::testing::TestParamInfo<Source>& i) { return std::string(i.param.name); });

TEST_F(MusicEar, TwoSlotsPlayingAtOnceAreBothHeard)
{
    const std::vector<unsigned char> sine = sineWave(660, 0.5, 0.25);
    HostVar a(tone), b(sine);
    ASSERT_EQ(tovmusicload2(&a.rec, 0, 0, 0), 0);
    ASSERT_EQ(tovmusicload2(&b.rec, 1, 0, 0), 0);
    Sound toneAlone, sineAlone;
    ASSERT_TRUE(soundFromWave(tone, toneAlone));
    ASSERT_TRUE(soundFromWave(sine, sineAlone));
    const double want441 = levelAtDb(toneAlone, 441), want660 = levelAtDb(sineAlone, 660);
    double got441 = 0, got660 = 0;
    hearUntil(
        [] {
            EXPECT_EQ(tovmusicplay(0, 0, 0, 0), 0);
            EXPECT_EQ(tovmusicplay(1, 0, 0, 0), 0);
        },
        1300,
        [&](const Figures&, const Sound& both) {
            got441 = levelAtDb(both, 441);
            got660 = levelAtDb(both, 660);
            std::printf("at 441 Hz %.2f dB (alone %.2f), at 660 Hz %.2f dB (alone %.2f)\n", got441, want441, got660,
                        want660);
            return within(got441, want441, 1) && within(got660, want660, 1);
        });
    EXPECT_NEAR(got441, want441, 1.0);
    EXPECT_NEAR(got660, want660, 1.0);
}

// --- What the platform does with the controls --------------------------------

TEST_F(MusicEar, HardLeftAndHardRightMoveTheBalance)
{
    double balance[2] = {0, 0}; // left minus right, dB
    const int x[2] = {-100, 100}; // hundredths: one unit left, one unit right
    for (int side = 0; side < 2; ++side) {
        ASSERT_EQ(tovmusicsetpos(1, x[side], 0, 0), 0);
        const Figures f = playTone(
            [&](const Figures& f, const Sound&) { return within(f.soundingSec, toneFigures.soundingSec, 0.05); });
        balance[side] = f.channelDb[0] - f.channelDb[1];
    }
    std::printf("balance at x = -1: %.2f dB, at x = +1: %.2f dB\n", balance[0], balance[1]);
    if (kWine10) {
        // Wine 10.0 plays a wave track in a DirectSound buffer of its own, outside the audio path's 3D buffer.
        EXPECT_NEAR(balance[0], 0.0, 0.5);
        EXPECT_NEAR(balance[1], 0.0, 0.5);
    } else {
        EXPECT_GE(balance[0], 6.0);
        EXPECT_LE(balance[1], -6.0);
    }
}

TEST_F(MusicEar, MasterVolume)
{
    const Figures full = playTone([&](const Figures& f, const Sound&) { return like(f, toneFigures); });
    ASSERT_EQ(tovmusicsetvol(0, -1000, 0, 0), 0);
    // Wine 10.0 keeps the master volume for GetGlobalParam but never applies it.
    const double drop = kWine10 ? 0.0 : 10.0;
    const Figures quiet =
        playTone([&](const Figures& f, const Sound&) { return f.heard && within(full.rmsDb - f.rmsDb, drop, 0.5); });
    EXPECT_NEAR(full.rmsDb - quiet.rmsDb, drop, 0.5);
}

TEST_F(MusicEar, StopOnAPlayingTone)
{
    for (int slot : {0, -1}) {
        CASE_TRACE("slot " << slot);
        // Wine 10.0's Stop drops the messages not yet sent; a wave buffer already playing runs to its end.
        const double want = kWine10 ? toneFigures.soundingSec : 0.15;
        const Figures f = playTone([&](const Figures& f, const Sound&) { return within(f.soundingSec, want, 0.05); },
                                   [&] {
                                       Sleep(150);
                                       EXPECT_EQ(tovmusicstop(slot, 0, 0, 0), 0);
                                   });
        EXPECT_NEAR(f.soundingSec, want, kWine10 ? 0.05 : 0.1);
    }
}

TEST_F(MusicEar, CheckAndPlay2WhileATonePlays)
{
    int check = 1, again = 1;
    const Figures f = playTone([&](const Figures& f, const Sound&) { return like(f, toneFigures); },
                               [&] {
                                   Sleep(100);
                                   check = tovmusiccheck(0, 0, 0, 0);
                                   again = tovmusicplay2(0, 0, 0, 0);
                               });
    // Wine 10.0's IsPlaying is a stub that always answers "not playing".
    EXPECT_EQ(check, kWine10 ? 0 : -1);
    EXPECT_EQ(again, kWine10 ? 0 : -1);
    // Played again on Wine 10, the wave's buffer is already playing and goes on as it was.
    EXPECT_EQ(unlike(f, toneFigures), "");
}

TEST_F(MusicEar, RepeatsPlayTheToneAgain)
{
    HostVar wave(tone);
    ASSERT_EQ(tovmusicload2(&wave.rec, 0, 0, 0), 0);
    // Wine 10.0's segment state starts each repeat of a wave segment late and loses the last one.
    const int plays = kWine10 ? 2 : 3;
    const double gap = kWine10 ? 0.39 : 0.0;
    auto good = [&](const Figures& f, const Sound&) {
        return within(f.soundingSec, plays * toneFigures.soundingSec, 0.05) && within(f.longestGapSec, gap, 0.1);
    };
    const Figures f = hearUntil([] { EXPECT_EQ(tovmusicplay(0, 2, 0, 0), 0); }, 2500, good, kWine10 ? plays : 0);
    EXPECT_NEAR(f.soundingSec, plays * toneFigures.soundingSec, 0.05);
    EXPECT_NEAR(f.longestGapSec, gap, 0.1);
}

TEST_F(MusicEar, EffectsOnThePath)
{
    for (int effect = 1; effect <= 9; ++effect) {
        CASE_TRACE("effect " << effect);
        ASSERT_EQ(tovmusicfx(effect, 0, 0, 0), 0);
        if (kWine10) {
            // Wine 10.0 plays a wave track in a DirectSound buffer of its own, outside the path's effects.
            const Figures f = playTone([&](const Figures& f, const Sound&) { return like(f, toneFigures); });
            EXPECT_EQ(unlike(f, toneFigures), "");
        } else if (effect == 4) {
            const Figures f = playTone([&](const Figures& f, const Sound&) {
                return f.soundingSec > toneFigures.soundingSec + 0.1;
            });
            EXPECT_GT(f.soundingSec, toneFigures.soundingSec + 0.1) << "an echo lengthens the tone";
        }
    }
}

TEST_F(MusicEar, Midi)
{
    ASSERT_EQ(tovmusicload(0, (kFixtures + "/music/tune.mid").c_str(), 0, 0), 0);
    // Wine 10.0 ships no default instrument set and never connects a MIDI file's instruments to one: notes stay silent.
    const bool heard = !kWine10;
    const Figures f = hearUntil([] { EXPECT_EQ(tovmusicplay(0, 0, 0, 0), 0); }, 2500,
                                [&](const Figures& f, const Sound&) { return f.heard == heard; }, 0);
    EXPECT_EQ(f.heard, heard) << describe(f);
    // The silence is MIDI's alone: the same performance sounds the tone.
    EXPECT_EQ(unlike(playTone([&](const Figures& f, const Sound&) { return like(f, toneFigures); }), toneFigures), "");
}

} // namespace

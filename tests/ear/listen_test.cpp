// The measuring of the by-ear tests, on sounds made here whose figures are
// known.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ear/listen.h"
#include "unit/case_trace.h"

namespace {

const double kTwoPi = 6.283185307179586;

// A piece of a sound: `seconds` of a sine per channel (0 Hz: silence).
struct Piece {
    double seconds;
    double hz[2];
    double amplitude[2];
};

Sound make(int rate, int channels, std::initializer_list<Piece> pieces)
{
    Sound s;
    s.rate = rate;
    s.channels = channels;
    long at = 0;
    for (const Piece& p : pieces)
        for (long i = 0; i < long(p.seconds * rate); ++i, ++at)
            for (int c = 0; c < channels; ++c)
                s.samples.push_back(p.hz[c] ? float(p.amplitude[c] * std::sin(kTwoPi * p.hz[c] * at / rate)) : 0.0f);
    return s;
}

double db(double amplitude)
{
    return 20 * std::log10(amplitude);
}

struct Case {
    const char* name;
    Sound sound;
    bool heard;
    double startSec, spanSec, soundingSec;
    int bursts;
    double longestGapSec;
    double rmsDb, leftDb, rightDb, leftHz, rightHz;
};

TEST(Listen, MeasuresPitchLevelTimesAndBursts)
{
    const double sine = db(std::sqrt(0.5)); // a full-scale sine's RMS
    const Case cases[] = {
        {"a mono tone", make(22050, 1, {{0.5, {441}, {0.5}}}), true, 0, 0.5, 0.5, 1, 0, sine + db(0.5),
         sine + db(0.5), sine + db(0.5), 441, 441},
        {"stereo, a tone per channel", make(44100, 2, {{1.0, {220, 443}, {0.5, 0.25}}}), true, 0, 1.0, 1.0, 1, 0,
         db(std::sqrt((0.125 + 0.03125) / 2)), sine + db(0.5), sine + db(0.25), 220, 443},
        {"silence around a tone", make(48000, 2, {{0.2, {0, 0}, {0, 0}}, {0.3, {660, 660}, {0.1, 0.1}}, {0.2, {0, 0}, {0, 0}}}),
         true, 0.2, 0.3, 0.3, 1, 0, sine + db(0.1), sine + db(0.1), sine + db(0.1), 660, 660},
        // A gap (a sound card fed late) counts in the span, not in the rest.
        {"a gap of 50 ms", make(48000, 2, {{0.2, {441, 441}, {0.5, 0.5}}, {0.05, {0, 0}, {0, 0}}, {0.2, {441, 441}, {0.5, 0.5}}}),
         true, 0, 0.45, 0.4, 2, 0.05, sine + db(0.5), sine + db(0.5), sine + db(0.5), 441, 441},
        // 40 dB below the peak is not sounding.
        {"a faint tail", make(48000, 1, {{0.3, {441}, {0.5}}, {0.2, {441}, {0.005}}}), true, 0, 0.3, 0.3, 1, 0,
         sine + db(0.5), sine + db(0.5), sine + db(0.5), 441, 441},
        {"below -60 dBFS", make(48000, 2, {{0.3, {441, 441}, {0.0009, 0.0009}}}), false, 0, 0, 0, 0, 0, -200, -200,
         -200, 0, 0},
    };
    for (const Case& c : cases) {
        CASE_TRACE(c.name);
        const Figures f = measure(c.sound);
        EXPECT_EQ(f.heard, c.heard);
        EXPECT_EQ(f.bursts, c.bursts);
        const double frame = 4.0 / c.sound.rate; // a sine starts and ends below the threshold
        EXPECT_NEAR(f.startSec, c.startSec, frame);
        EXPECT_NEAR(f.spanSec, c.spanSec, frame);
        EXPECT_NEAR(f.soundingSec, c.soundingSec, frame * c.bursts + 1e-9);
        EXPECT_NEAR(f.longestGapSec, c.longestGapSec, frame);
        EXPECT_NEAR(f.rmsDb, c.rmsDb, 0.05);
        EXPECT_NEAR(f.channelDb[0], c.leftDb, 0.05);
        EXPECT_NEAR(f.channelDb[1], c.rightDb, 0.05);
        EXPECT_NEAR(f.channelHz[0], c.leftHz, c.leftHz * 0.001);
        EXPECT_NEAR(f.channelHz[1], c.rightHz, c.rightHz * 0.001);
    }
}

TEST(Listen, TellsTheLevelOfEachToneOfAMixture)
{
    Sound s = make(48000, 1, {{0.5, {441}, {0.3}}});
    const Sound other = make(48000, 1, {{0.5, {660}, {0.1}}});
    for (size_t i = 0; i < s.samples.size(); ++i)
        s.samples[i] += other.samples[i];
    EXPECT_NEAR(levelAtDb(s, 441), db(0.3), 0.1);
    EXPECT_NEAR(levelAtDb(s, 660), db(0.1), 0.1);
    EXPECT_NEAR(levelAtDb(s, 664), db(0.1), 0.1); // within 1 % of the pitch asked for
    EXPECT_LT(levelAtDb(s, 1000), db(0.1) - 30);
    EXPECT_EQ(levelAtDb(make(48000, 1, {{0.5, {0}, {0}}}), 441), -200);
    EXPECT_EQ(measure(Sound{}).heard, false);
}

std::vector<unsigned char> wave(int channels, int bits, const std::vector<int>& samples, uint16_t format = 1)
{
    const uint32_t data = uint32_t(samples.size() * bits / 8);
    std::vector<unsigned char> v(44 + data);
    auto u32 = [&](size_t at, uint32_t x) { std::memcpy(&v[at], &x, 4); };
    auto u16 = [&](size_t at, uint16_t x) { std::memcpy(&v[at], &x, 2); };
    std::memcpy(&v[0], "RIFF", 4);
    u32(4, 36 + data);
    std::memcpy(&v[8], "WAVEfmt ", 8);
    u32(16, 16);
    u16(20, format);
    u16(22, uint16_t(channels));
    u32(24, 8000);
    u32(28, 8000 * channels * bits / 8);
    u16(32, uint16_t(channels * bits / 8));
    u16(34, uint16_t(bits));
    std::memcpy(&v[36], "data", 4);
    u32(40, data);
    for (size_t i = 0; i < samples.size(); ++i) {
        if (bits == 8)
            v[44 + i] = uint8_t(samples[i] + 128);
        else
            u16(44 + 2 * i, uint16_t(int16_t(samples[i])));
    }
    return v;
}

TEST(Listen, ReadsWaveFilesAndRawSamples)
{
    Sound s;
    ASSERT_TRUE(soundFromWave(wave(2, 16, {16384, -32768, 0, 32767}), s));
    EXPECT_EQ(s.rate, 8000);
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.samples, (std::vector<float>{0.5f, -1.0f, 0.0f, 32767 / 32768.0f}));
    ASSERT_TRUE(soundFromWave(wave(1, 8, {64, -128, 0}), s));
    EXPECT_EQ(s.samples, (std::vector<float>{0.5f, -1.0f, 0.0f}));

    std::vector<unsigned char> odd = wave(2, 16, {1, 2, 3, 4});
    odd.resize(odd.size() - 2); // the data chunk ends inside a frame
    ASSERT_TRUE(soundFromWave(odd, s));
    EXPECT_EQ(s.samples.size(), 2u);
    EXPECT_FALSE(soundFromWave(wave(1, 16, {1}, 3), s)) << "not PCM";
    EXPECT_FALSE(soundFromWave(wave(1, 24, {1}), s)) << "24-bit";
    std::vector<unsigned char> cut = wave(1, 16, {1});
    cut.resize(30); // inside the format chunk
    EXPECT_FALSE(soundFromWave(cut, s));

    const std::vector<unsigned char> raw = {0x00, 0x40, 0x00, 0x80, 0xff, 0x7f, 0x01}; // a partial frame at the end
    s = soundFromRaw(raw, 48000, 2);
    EXPECT_EQ(s.samples, (std::vector<float>{0.5f, -1.0f}));
    EXPECT_DOUBLE_EQ(slice(make(1000, 2, {{1.0, {0, 0}, {0, 0}}}), 0.25, 0.5).seconds(), 0.25);
    EXPECT_DOUBLE_EQ(slice(make(1000, 2, {{1.0, {0, 0}, {0, 0}}}), 0.75, 9).seconds(), 0.25);
}

} // namespace

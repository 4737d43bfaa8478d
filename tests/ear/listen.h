// Measuring what was heard: the figures that the by-ear tests compare a
// captured sound with (its pitch, level, length, stereo balance and how many
// times it sounded). Portable: built and tested natively, with the
// sanitizers and under Wine.
#pragma once

#include <string>
#include <vector>

struct Sound {
    int rate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved, full scale = 1.0
    double seconds() const { return channels && rate ? double(samples.size()) / channels / rate : 0.0; }
};

// What a capture holds: 16-bit signed little-endian interleaved frames.
// A trailing partial frame is dropped. False if the file cannot be read.
bool readRaw(const std::string& path, int rate, int channels, Sound& out);
Sound soundFromRaw(const std::vector<unsigned char>& bytes, int rate, int channels);
// A RIFF WAVE file of 8- or 16-bit PCM. False if it is not one.
bool readWave(const std::string& path, Sound& out);
bool soundFromWave(const std::vector<unsigned char>& bytes, Sound& out);

// The frames from `fromSec` to `toSec` (clipped to the sound).
Sound slice(const Sound& s, double fromSec, double toSec);

// A sample counts as sounding when its magnitude reaches this fraction of the
// sound's peak (-30 dB) and is above the quietest level worth hearing.
constexpr double kSoundingFraction = 0.0316;
constexpr double kSilentPeak = 0.001; // -60 dBFS: below this nothing sounds

// The sound is cut into bursts: stretches of sounding samples, a new one
// beginning after at least kGapSec of silence. A loaded machine that feeds
// the sound card late makes such gaps inside one sound; the level, the
// pitch and the sounding time are taken over the bursts alone, so a gap
// shows in `bursts` and `spanSec` but not in them.
constexpr double kGapSec = 0.005;

struct Figures {
    bool heard = false;                 // anything above kSilentPeak
    double startSec = 0;                // first sounding sample
    double spanSec = 0;                 // from the first sounding sample to the last
    double soundingSec = 0;             // the bursts' lengths added up
    int bursts = 0;
    double longestGapSec = 0;           // the longest silence between two bursts
    double rmsDb = -200;                // over the bursts, every channel, dBFS
    double channelDb[2] = {-200, -200}; // the same per channel (the first two)
    double channelHz[2] = {0, 0};       // each channel's strongest frequency
};

Figures measure(const Sound& s);

// The level at `hz` over the bursts of the channels' mix, in dB
// relative to a full-scale sine (0 dB) — how loudly one tone of a mixture is
// heard.
double levelAtDb(const Sound& s, double hz);

// "12.3 dB" style summary of the figures, for a test's log.
std::string describe(const Figures& f);

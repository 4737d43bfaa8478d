// Small music files and helpers shared by the music tests and the memory
// benchmark: no test framework here.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tolvo.h"

// A RIFF WAVE file of `frames` 16-bit mono samples at 22050 Hz.
inline std::vector<unsigned char> waveFile(uint32_t frames)
{
    std::vector<unsigned char> v(44 + frames * 2);
    auto u32 = [&](size_t at, uint32_t x) { std::memcpy(&v[at], &x, 4); };
    auto u16 = [&](size_t at, uint16_t x) { std::memcpy(&v[at], &x, 2); };
    std::memcpy(&v[0], "RIFF", 4);
    u32(4, 36 + frames * 2);
    std::memcpy(&v[8], "WAVEfmt ", 8);
    u32(16, 16);
    u16(20, 1);
    u16(22, 1);
    u32(24, 22050);
    u32(28, 44100);
    u16(32, 2);
    u16(34, 16);
    std::memcpy(&v[36], "data", 4);
    u32(40, frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const int16_t s = (i / 25) % 2 ? -8000 : 8000;
        std::memcpy(&v[44 + 2 * i], &s, 2);
    }
    return v;
}

// A Standard MIDI File, format 0: four notes.
inline std::vector<unsigned char> midiFile()
{
    const unsigned char bytes[] = {
        'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,                            //
        'M', 'T', 'r', 'k', 0, 0, 0, 39,                                              //
        0, 0xC0, 0,                                                                   // piano
        0, 0x90, 60, 100, 48, 0x80, 60, 0, 0, 0x90, 64, 100, 48, 0x80, 64, 0,        //
        0, 0x90, 67, 100, 48, 0x80, 67, 0, 0, 0x90, 72, 100, 96, 0x80, 72, 0,        //
        0, 0xFF, 0x2F, 0,                                                             // end of track
    };
    return std::vector<unsigned char>(bytes, bytes + sizeof bytes);
}

#ifdef TOLVO_OGG_FIXTURES
// An Ogg Vorbis stream that tests/fixtures/ogg made at build time.
inline std::string oggFixture(const char* name)
{
    return std::string(TOLVO_OGG_FIXTURES) + "/" + name;
}
#endif

inline std::vector<unsigned char> readFile(const std::string& path)
{
    std::vector<unsigned char> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        unsigned char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(f);
    }
    return bytes;
}

// A host variable over words of its own: word_count words of storage that
// hold `bytes` (zero padded).
struct HostVar {
    explicit HostVar(const std::vector<unsigned char>& bytes, int32_t extraWords = 0)
        : storage((bytes.size() + 3) / 4 + extraWords, 0)
    {
        if (!bytes.empty())
            std::memcpy(storage.data(), bytes.data(), bytes.size());
        rec.type = 4;
        rec.word_count = static_cast<int32_t>(storage.size());
        rec.data = storage.data();
    }
    std::vector<uint32_t> storage;
    TolvoVar rec{};
};

// Private bytes: PrivateUsage where the platform fills it in (Wine leaves it
// at 0), otherwise the commit charge, which is the same figure.
inline size_t privateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX pm{};
    pm.cb = sizeof pm;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pm), sizeof pm);
    return pm.PrivateUsage ? pm.PrivateUsage : pm.PagefileUsage;
}

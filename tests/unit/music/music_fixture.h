// What the music suites share: a started engine on fake DirectMusic objects,
// small file images, and a count of the heap blocks still alive.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_dmusic.h"
#include "fakes/fake_system.h"
#include "music/music.h"
#include "plugin/frame.h"
#include "plugin/messages.h"

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

// An Ogg Vorbis stream that tests/fixtures/ogg made at build time.
inline std::string oggFixture(const char* name)
{
    return std::string(TOLVO_OGG_FIXTURES) + "/" + name;
}

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

// Heap blocks of the C runtime whose size lies in [size, size + 16): the
// images of a test are sized so that nothing else matches.
inline int liveBlocks(size_t size)
{
    int n = 0;
    _HEAPINFO info{};
    info._pentry = nullptr;
    while (_heapwalk(&info) == _HEAPOK)
        if (info._useflag == _USEDENTRY && info._size >= size && info._size < size + 16)
            ++n;
    return n;
}

// The engine started on fakes; torn down (and every block freed) after
// each case.
class MusicTest : public ::testing::Test {
public:
    void SetUp() override
    {
        g_nVerbose = 1;
        sys.fake().getCurrentDirectoryA = [](DWORD n, LPSTR buf) -> DWORD {
            const char dir[] = "C:\\games\\tolvo";
            if (n < sizeof dir)
                return sizeof dir;
            std::memcpy(buf, dir, sizeof dir);
            return sizeof dir - 1;
        };
        sys.fake().getFileAttributesA = [this](LPCSTR name) -> DWORD {
            return existing.count(name) ? FILE_ATTRIBUTE_NORMAL : INVALID_FILE_ATTRIBUTES;
        };
    }
    void TearDown() override
    {
        releaseDMusic();
        EXPECT_TRUE(dm.overReleases.empty()) << dm.overReleases.front();
        std::free(g_pWaveImage);
        g_pWaveImage = nullptr;
        g_nVerbose = 1;
    }
    // Starts the engine and forgets the calls of the start.
    void start()
    {
        ASSERT_EQ(initDMusic(), 1);
        dm.calls.clear();
        sys.fake().calls.clear();
    }
    std::vector<std::string> boxTexts()
    {
        std::vector<std::string> texts;
        for (const auto& b : sys.fake().boxes)
            texts.push_back(b.text);
        return texts;
    }
    // Calls of the fake objects that start with `prefix` ("Performance.").
    std::vector<std::string> callsOf(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const auto& c : dm.calls)
            if (c.rfind(prefix, 0) == 0)
                out.push_back(c);
        return out;
    }

    FakeSystemScope sys;
    FakeDMusic dm{sys.fake()};
    std::set<std::string> existing; // the files GetFileAttributesA finds
};

// What the music suites share: a started engine on fake DirectMusic objects
// and a count of the heap blocks still alive (files: music_media.h).
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
#include "music_media.h"
#include "fakes/fake_system.h"
#include "music/music.h"
#include "plugin/globals.h"
#include "plugin/messages.h"

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
        sys.fake().getCurrentDirectoryA = nullptr;
        sys.fake().currentDirectory = "C:\\games\\tolvo";
        // Files named relative to the current directory, or by a path of their own.
        sys.fake().getFileAttributesA = [this](LPCSTR name) -> DWORD {
            const std::string here = "C:\\games\\tolvo\\";
            const std::string file = std::string(name).rfind(here, 0) == 0 ? name + here.size() : name;
            return existing.count(file) ? FILE_ATTRIBUTE_NORMAL : INVALID_FILE_ATTRIBUTES;
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

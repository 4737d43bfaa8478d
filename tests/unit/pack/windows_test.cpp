// The pack commands with the platform: tovdpmload cuts its text where the
// process may write it, and tovbye frees only the last read buffer.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "fakes/fake_system.h"
#include "pack/pack.h"
#include "pack_files.h"
#include "plugin/lifecycle.h"
#include "plugin/syscalls.h"

namespace {

SIZE_T WINAPI noAnswer(LPCVOID, PMEMORY_BASIC_INFORMATION, SIZE_T)
{
    return 0;
}

// A host's variable is cut at its first comma, whether the pack opens or
// not; a text the process may not write (a C string literal), or one the
// platform tells nothing about, opens the same pack and stays whole.
TEST(PackText, IsCutWhereThePlatformSaysItMayBeWritten)
{
    writeFile("pack_windows_test.dpm", dpmxPack({{"a", "first"}}));
    const SysCalls saved = g_sys;
    const struct {
        const char* text; // passed as it stands (read-only) or in a copy
        bool copy, told;
        int result;
        const char* after;
    } rows[] = {
        {"pack_windows_test.dpm,0,junk", true, true, 0, "pack_windows_test.dpm"},
        {"missing.dpm,0", true, true, -1, "missing.dpm"},
        {"pack_windows_test.dpm,0", false, true, 0, "pack_windows_test.dpm,0"},
        {"missing.dpm,0", false, true, -1, "missing.dpm,0"},
        {"pack_windows_test.dpm,0", true, false, 0, "pack_windows_test.dpm,0"},
    };
    for (const auto& row : rows) {
        resetPackState();
        g_sys.VirtualQuery = row.told ? saved.VirtualQuery : noAnswer;
        std::string copy = row.text;
        char* text = row.copy ? copy.data() : const_cast<char*>(row.text);
        EXPECT_EQ(tovdpmload(0, text, 0, 0), row.result) << row.text;
        EXPECT_STREQ(text, row.after);
    }
    g_sys = saved;
    std::string later = "missing.dpm,0"; // a pack with entries does not even look
    EXPECT_EQ(tovdpmload(0, later.data(), 0, 0), 0);
    EXPECT_EQ(later, "missing.dpm,0");
    resetPackState();
    std::remove("pack_windows_test.dpm");
}

void noRelease() {}
bool noInit() { return false; }

TEST(PackBye, FreesOnlyTheLastReadBuffer)
{
    FakeSystemScope sys;
    const EngineTable saved = g_engines;
    g_engines = {noInit, noInit, noInit, noRelease, noRelease, noRelease};
    resetPackState();

    const std::string pack = scratchName("pack.dpm");
    writeFile(pack, dpmxPack({{"a", "first"}, {"b", "second"}}));
    std::string text = pack + ",0";
    ASSERT_EQ(tovdpmload(0, text.data(), 0, 0), 0);
    unsigned char storage[64];
    TolvoVar v1{}, v2{};
    v1.data = v2.data = storage;
    ASSERT_EQ(tovdpmread(&v1, "a", 0, 0), 0);
    ASSERT_EQ(tovdpmread(&v2, "b", 0, 0), 0);
    EXPECT_EQ(g_lpReadBuffer, v2.data);

    EXPECT_EQ(tovbye(0, 0, 0, 0), 0);
    EXPECT_EQ(g_lpReadBuffer, nullptr);
    // The first buffer is still the variable's: readable and writable.
    EXPECT_EQ(std::memcmp(v1.data, "first", 5), 0);
    std::memset(v1.data, 0, 64);
    std::free(v1.data);

    // The pack stays open across tovbye.
    EXPECT_EQ(g_bPackOpen, 1);
    g_engines = saved;
    resetPackState();
}

} // namespace

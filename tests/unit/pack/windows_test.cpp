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
// not; a text the process may not write (a C string literal) opens the same
// pack and stays as it is; a pack with entries does not even look.
TEST(PackText, IsCutWhereThePlatformSaysItMayBeWritten)
{
    resetPackState();
    writeFile("pack_windows_test.dpm", dpmxPack({{"a", "first"}}));
    std::string host = "pack_windows_test.dpm,0,junk";
    const char* const literal = "pack_windows_test.dpm,0";
    EXPECT_EQ(tovdpmload(0, const_cast<char*>(literal), 0, 0), 0);
    EXPECT_STREQ(literal, "pack_windows_test.dpm,0");
    EXPECT_EQ(g_bPackOpen, 1);
    EXPECT_EQ(tovdpmload(0, host.data(), 0, 0), 0); // stays open: not looked at
    EXPECT_STREQ(host.c_str(), "pack_windows_test.dpm,0,junk");

    resetPackState();
    EXPECT_EQ(tovdpmload(0, host.data(), 0, 0), 0);
    EXPECT_STREQ(host.c_str(), "pack_windows_test.dpm");
    resetPackState();
    host = "missing.dpm,0";
    EXPECT_EQ(tovdpmload(0, host.data(), 0, 0), -1);
    EXPECT_STREQ(host.c_str(), "missing.dpm");
    const char* const missing = "missing.dpm,0";
    EXPECT_EQ(tovdpmload(0, const_cast<char*>(missing), 0, 0), -1);
    EXPECT_STREQ(missing, "missing.dpm,0");

    // Without the platform's answer the text is left alone.
    const SysCalls saved = g_sys;
    g_sys.VirtualQuery = noAnswer;
    host = "pack_windows_test.dpm,0";
    EXPECT_EQ(tovdpmload(0, host.data(), 0, 0), 0);
    EXPECT_STREQ(host.c_str(), "pack_windows_test.dpm,0");
    g_sys = saved;
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

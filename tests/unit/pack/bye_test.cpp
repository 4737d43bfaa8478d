// tovbye and the read buffers: only the last one is the module's to free.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "fakes/fake_system.h"
#include "pack/pack.h"
#include "pack_files.h"
#include "plugin/lifecycle.h"

namespace {

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

#include <gtest/gtest.h>

#include "fakes/fake_system.h"
#include "util/util.h"

namespace {

class Fps : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_dwFpsLastTime = 0;
        g_dwFpsCount = 0;
    }
    int32_t call()
    {
        EXPECT_EQ(tovfps(&var, 1, 2, 3), 0);
        return var;
    }
    FakeSystemScope sys;
    int32_t var = -7;
};

TEST_F(Fps, FirstCallAfterLoadingReportsOne)
{
    sys.fake().clock = 123456;
    EXPECT_EQ(call(), 1);
    EXPECT_EQ(sys.fake().count("timeGetTime"), 1);
}

TEST_F(Fps, ReportsOncePerWindowCountingTheClosingCall)
{
    sys.fake().clock = 50000;
    call(); // closes the window started at load
    var = -7;
    // Calls every 16 ms: the 63rd call is the first at >= 1000 ms (1008 ms).
    for (int i = 1; i <= 62; ++i) {
        sys.fake().clock += 16;
        EXPECT_EQ(call(), -7) << "call " << i << " stored while the window was open";
    }
    sys.fake().clock += 16;
    EXPECT_EQ(call(), 63);
    // The next window starts at that call.
    var = -7;
    sys.fake().clock += 999;
    EXPECT_EQ(call(), -7);
    sys.fake().clock += 1;
    EXPECT_EQ(call(), 2);
}

TEST_F(Fps, ClockWrapStillClosesTheWindowAfter1000ms)
{
    sys.fake().clock = 0xFFFFFC00u; // 1024 ms before the wrap
    call();
    var = -7;
    sys.fake().clock = 0xFFFFFC00u + 500;
    EXPECT_EQ(call(), -7);
    sys.fake().clock = 0x00000010u; // past the wrap, 1040 ms after the report
    EXPECT_EQ(call(), 2);
    var = -7;
    sys.fake().clock += 998;
    EXPECT_EQ(call(), -7);
}

TEST_F(Fps, APauseReportsTheCallsSinceTheLastReport)
{
    sys.fake().clock = 10000;
    call();
    sys.fake().clock += 10;
    call();
    sys.fake().clock += 10;
    call();
    sys.fake().clock += 60000;
    EXPECT_EQ(call(), 3);
}

} // namespace

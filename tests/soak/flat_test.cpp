// The checker that decides whether a soak's figure stayed flat, on series
// whose answer is known: noise and one-off steps pass, a leak of one object
// per step fails however small the object is against the allowance.
#include <gtest/gtest.h>

#include <functional>

#include "flat.h"

namespace {

struct Case {
    const char* what;
    std::function<int64_t(int)> sampleAt; // sample i of 110, the first 10 are the warm-up
    FlatBound bound;
    bool flat;
};

TEST(FlatChecker, KnownSeries)
{
    const FlatBound handles{8, 0};
    const FlatBound heap{16 << 10, 256};
    const Case cases[] = {
        {"constant", [](int) { return 500; }, handles, true},
        {"noise of a few handles either way", [](int i) { return 500 + (i * 7919) % 5 - 2; }, handles, true},
        {"growth during the warm-up only", [](int i) { return i < 10 ? 100 * i : 1000; }, handles, true},
        {"one busy moment at the end", [](int i) { return i == 109 ? 900 : 500; }, handles, true},
        {"a cache filled once, within the allowance", [](int i) { return i < 60 ? 500 : 507; }, handles, true},
        {"shrinking", [](int i) { return 1000 - i; }, handles, true},
        {"one handle per step", [](int i) { return 500 + i; }, handles, false},
        {"one handle every fourth step", [](int i) { return 500 + i / 4; }, handles, false},
        {"a step beyond the allowance", [](int i) { return i < 60 ? 500 : 509; }, handles, false},
        {"heap: 100 bytes per step", [](int i) { return 1000000 + 100 * i; }, heap, true},
        {"heap: one 1 KB object per step", [](int i) { return 1000000 + 1024 * i; }, heap, false},
        {"heap: one 64 KB block every tenth step", [](int i) { return 1000000 + (64 << 10) * (i / 10); }, heap, false},
    };
    for (const Case& c : cases) {
        std::vector<int64_t> samples;
        for (int i = 0; i < 110; ++i)
            samples.push_back(c.sampleAt(i));
        const FlatVerdict v = checkFlat(samples, 10, c.bound);
        EXPECT_EQ(v.flat, c.flat) << c.what << ": " << describe("figure", v);
    }
}

// The bound grows with the steps between the first and the last tenth of
// what is left after the warm-up: 100 samples, tenths of 10, 90 steps.
TEST(FlatChecker, GrowthAndBoundAreMeasuredBetweenTheTenths)
{
    std::vector<int64_t> samples(10, 0);
    for (int i = 0; i < 100; ++i)
        samples.push_back(1000 + 3 * i);
    const FlatVerdict v = checkFlat(samples, 10, FlatBound{5, 2});
    EXPECT_EQ(v.growth, 3 * 90);
    EXPECT_EQ(v.bound, 5 + 2 * 90);
    EXPECT_FALSE(v.flat);
    EXPECT_EQ(describe("handles", v), "handles: +270 (bound 185) GREW");
}

} // namespace

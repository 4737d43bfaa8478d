#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "tolvo.h"

namespace {

int32_t sinOf(int32_t angle, int32_t size = 0)
{
    int32_t r = 12345;
    EXPECT_EQ(tovsin(&r, angle, size, 77), 0);
    return r;
}

int32_t cosOf(int32_t angle, int32_t size = 0)
{
    int32_t r = 12345;
    EXPECT_EQ(tovcos(&r, angle, size, 77), 0);
    return r;
}

int32_t atanOf(int32_t x, int32_t y)
{
    int32_t r = 12345;
    EXPECT_EQ(tovatan(&r, x, y, 77), 0);
    return r;
}

int32_t sqrOf(int32_t v)
{
    int32_t r = 12345;
    EXPECT_EQ(tovsqr(&r, v, 1, 2), 0);
    return r;
}

TEST(Sine, DefaultSizeKnownValues)
{
    EXPECT_EQ(sinOf(0), 0);
    EXPECT_EQ(sinOf(32), 181);
    EXPECT_EQ(sinOf(64), 256);
    EXPECT_EQ(sinOf(128), 0); // about -0.00000003, truncated toward zero
    EXPECT_EQ(sinOf(192), -256);
    EXPECT_EQ(sinOf(255), -6);
    EXPECT_EQ(sinOf(-1), sinOf(255));
    EXPECT_EQ(sinOf(256), sinOf(0));
}

TEST(Cosine, DefaultSizeIsNegatedCosine)
{
    EXPECT_EQ(cosOf(0), -256);
    EXPECT_EQ(cosOf(32), -181);
    EXPECT_EQ(cosOf(64), 0);
    EXPECT_EQ(cosOf(128), 256);
    EXPECT_EQ(cosOf(192), 0);
}

// Every default angle against the shortened constants: a full-precision pi
// or a rounding instead of truncation changes some of these values.
TEST(SineCosine, AllDefaultAnglesFollowTheShortenedConstants)
{
    for (int32_t a = 0; a < 256; ++a) {
        const double t = a / 40.74366543;
        EXPECT_EQ(sinOf(a), static_cast<int32_t>(std::sin(t) * 256.0)) << "angle " << a;
        EXPECT_EQ(cosOf(a), static_cast<int32_t>(std::cos(t - 3.1415926535) * 256.0)) << "angle " << a;
    }
}

TEST(SineCosine, SizeOf256MatchesTheDefaultsForAnyAngle)
{
    for (int32_t a = -600; a <= 600; ++a) {
        EXPECT_EQ(sinOf(a, 256), sinOf(a, 0)) << "angle " << a;
        EXPECT_EQ(cosOf(a, 256), cosOf(a, 0)) << "angle " << a;
    }
}

TEST(SineCosine, OtherSizes)
{
    EXPECT_EQ(sinOf(256, 1024), 1024);
    EXPECT_EQ(cosOf(0, 1024), -1024);
    EXPECT_EQ(cosOf(512, 1024), 1024);
    // 90 AND 359 is 66: the angle folds onto the bits of size - 1.
    EXPECT_EQ(sinOf(90, 360), 328);
}

TEST(SineCosine, SizeOneOrMinusOneHasNoFiniteAngle)
{
    for (int32_t a : {0, 1, 5, -7, 255, INT_MAX, INT_MIN}) {
        EXPECT_EQ(sinOf(a, 1), 0);
        EXPECT_EQ(sinOf(a, -1), 0);
        EXPECT_EQ(cosOf(a, 1), 0);
        EXPECT_EQ(cosOf(a, -1), 0);
    }
}

TEST(SineCosine, ExtremeSizesStayDefined)
{
    // size - 1 wraps in 32 bits; the product stays within the integer range.
    EXPECT_EQ(sinOf(0, INT_MIN), 0);
    // -2^31 x cos(-pi) is 2^31, one past the top: held at INT_MAX.
    EXPECT_EQ(cosOf(0, INT_MIN), INT_MAX);
    // 1518500250.16 with pi as it stands; 1518500249.97 with its next digit.
    EXPECT_EQ(cosOf(1 << 28, INT_MIN), 1518500250);
    const int32_t s = sinOf(12345, INT_MAX);
    EXPECT_LE(std::abs(static_cast<long long>(s)), INT_MAX);
}

TEST(Arctangent, AxesAndDiagonalsComeOutOneStepLow)
{
    EXPECT_EQ(atanOf(1, 0), 127);
    EXPECT_EQ(atanOf(0, -1), 191);
    EXPECT_EQ(atanOf(-1, 0), 255);
    EXPECT_EQ(atanOf(0, 1), 63);
    EXPECT_EQ(atanOf(1, 1), 95);
    EXPECT_EQ(atanOf(1, -1), 159);
    EXPECT_EQ(atanOf(-1, 1), 31);
    EXPECT_EQ(atanOf(-1, -1), 223);
    EXPECT_EQ(atanOf(0, 0), 127);
}

TEST(Arctangent, NearTheNegativeXAxis)
{
    EXPECT_EQ(atanOf(-100, 1), 0);
    EXPECT_EQ(atanOf(-100, -1), 255);
}

TEST(Arctangent, AlwaysWithinOneTurn)
{
    const int32_t values[] = {INT_MIN, INT_MIN + 1, -100000, -3, -1, 0, 1, 2, 99999, INT_MAX};
    for (int32_t x : values)
        for (int32_t y : values) {
            const int32_t r = atanOf(x, y);
            EXPECT_GE(r, 0) << x << "," << y;
            EXPECT_LE(r, 255) << x << "," << y;
        }
    // Negating INT_MIN gives INT_MIN in 32 bits, so (0, INT_MIN) points the
    // way (0, 1) does, not the way (0, -1) does.
    EXPECT_EQ(atanOf(0, INT_MIN), 63);
}

TEST(SquareRoot, TruncatesAndRefusesNegatives)
{
    EXPECT_EQ(sqrOf(99), 9);
    EXPECT_EQ(sqrOf(100), 10);
    EXPECT_EQ(sqrOf(2147483647), 46340);
    EXPECT_EQ(sqrOf(0), 0);
    EXPECT_EQ(sqrOf(-4), 0);
    EXPECT_EQ(sqrOf(INT_MIN), 0);
}

} // namespace

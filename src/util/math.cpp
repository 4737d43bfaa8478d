// Integer sine, cosine, arctangent and square root for scripts that compute
// only in integers. All intermediate values are IEEE doubles (the module is
// built without -ffast-math and with SSE2 math on 32-bit x86).
#include <cmath>

#include "util.h"
#include "plugin/records.h"

const int32_t g_nAngleSize = 256;
const double g_dRadius = 256.0;
const double g_dPi = 3.1415926535;
const double g_dStepsPerRadian = 40.74366543;

int32_t truncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483648.0)
        return INT32_MAX;
    if (v <= -2147483649.0)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Angle in radians for step i of a turn of `size` steps (0: the default 256).
// Sizes other than powers of two fold the angle onto the bits of size - 1.
static double angleRadians(int32_t angle, int32_t size)
{
    if (size == 0) {
        const int32_t i = angle & (g_nAngleSize - 1);
        return i / g_dStepsPerRadian;
    }
    // 32-bit wrap of size - 1, as the host's integers do (INT32_MIN - 1).
    const int32_t i = angle & static_cast<int32_t>(static_cast<uint32_t>(size) - 1u);
    const int32_t h = size / 2; // 0 for sizes 1 and -1: no finite angle, result 0
    return i / (h / g_dPi);
}

extern "C" int TOLVO_CALL tovsin(int32_t* result, int32_t angle, int32_t size, int32_t)
{
    const double t = angleRadians(angle, size);
    const double v = size == 0 ? std::sin(t) * g_dRadius : size * std::sin(t);
    if (hasResult(result))
        *result = truncToInt(v);
    return 0;
}

// Half a turn is taken off before the cosine: angle 0 gives -radius, so that
// (tovsin, tovcos) of angle 0 is the vector pointing up the screen.
extern "C" int TOLVO_CALL tovcos(int32_t* result, int32_t angle, int32_t size, int32_t)
{
    const double t = angleRadians(angle, size) - g_dPi;
    const double v = size == 0 ? std::cos(t) * g_dRadius : size * std::cos(t);
    if (hasResult(result))
        *result = truncToInt(v);
    return 0;
}

extern "C" int TOLVO_CALL tovatan(int32_t* result, int32_t x, int32_t y, int32_t)
{
    // -INT32_MIN stays INT32_MIN, as 32-bit two's-complement negation does.
    const int32_t negY = y == INT32_MIN ? INT32_MIN : -y;
    const double theta = std::atan2(static_cast<double>(negY), static_cast<double>(x));
    double r = (theta + g_dPi) * g_dStepsPerRadian;
    if (r == 256.0)
        r = 0.0;
    if (hasResult(result))
        *result = truncToInt(r);
    return 0;
}

extern "C" int TOLVO_CALL tovsqr(int32_t* result, int32_t value, int32_t, int32_t)
{
    // sqrt of a negative value is not a number, which stores 0.
    if (hasResult(result))
        *result = truncToInt(std::sqrt(static_cast<double>(value)));
    return 0;
}

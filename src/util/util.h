// Internal header of the utilities: integer math constants, frame counter.
#pragma once

#include <cstdint>

#include "tolvo.h"

// The results depend on these exact values (pi and 128/pi shortened), so they
// are used as they stand, never replaced by full-precision ones.
extern const int32_t g_nAngleSize;     // 256 steps per turn by default
extern const double g_dRadius;         // 256.0
extern const double g_dPi;             // 3.1415926535
extern const double g_dStepsPerRadian; // 40.74366543

// Frame counter (tovfps).
extern uint32_t g_dwFpsLastTime;
extern uint32_t g_dwFpsCount;

// A double as a C cast to a 32-bit integer would give it (toward zero); a
// value that is not a number gives 0, and one outside the range is held at
// its end instead of being undefined.
int32_t truncToInt(double v);

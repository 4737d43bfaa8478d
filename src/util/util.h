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

// DirectX version probe (tovdxver). The decision logic is portable; the three
// platform operations it needs come in through DxProbeOps, so that it runs
// with the real platform in the DLL and with substitute answers in tests.

// Major, minor and a letter; a space as the letter means none.
struct DxVersion {
    uint32_t major;
    uint32_t minor;
    char letter;
};

// The version text: at most 9 characters and the terminator.
const int kDxVersionTextSize = 10;
// The buffer handed to getSystemDirectory.
const uint32_t kSystemDirSize = 260;

struct DxProbeOps {
    // The diagnostic service: writes each property it accepts into the
    // version at once and answers true only when all three were accepted.
    bool (*queryDiagnostics)(DxVersion* version);
    // A file's version a.b.c.d as a * 2^48 + b * 2^32 + c * 2^16 + d; false
    // when the file is missing or has no version information.
    bool (*readFileVersion)(const char* path, uint64_t* version);
    // The system directory, terminated, into `size` bytes; false on failure.
    bool (*getSystemDirectory)(char* dir, uint32_t size);
};

uint64_t composeFileVersion(uint16_t a, uint16_t b, uint16_t c, uint16_t d);
// -1, 0 or +1 as x is older than, the same as or newer than y.
int compareFileVersion(uint64_t x, uint64_t y);
// The file version fallback: the last of the known system libraries whose
// version qualifies decides; (0, 0, space) when none does.
void fallbackDxVersion(const DxProbeOps& ops, DxVersion* version);
// "%d%d" or "%d%d%c" with the letter lowered, cut to the buffer.
void formatDxVersion(const DxVersion& version, char text[kDxVersionTextSize]);
// The whole probe: the diagnostic service first, the fallback when it does
// not yield all three facts, then the text.
void probeDxVersion(const DxProbeOps& ops, DxVersion* version, char text[kDxVersionTextSize]);

#ifdef _WIN32
// The platform's answers: DxDiag, the version-information calls and the
// system directory, all through the system-call seam.
extern const DxProbeOps kRealDxProbeOps;
#endif

// Whether a figure of the process (private bytes, heap bytes, handles,
// threads) stayed flat along a soak. Portable, so that the checker is
// tested everywhere.
//
// The samples are taken at regular points: after each tovinit/tovbye
// cycle, or after each tovbye of a session. The first `warmup` samples are
// left out (the platform fills its caches then). Of the rest, the growth is
// the median of the last tenth minus the median of the first tenth:
// medians, so that one busy moment of a shared machine decides nothing,
// while a leak of one object per step moves every later sample. The figure
// is flat when the growth stays within the allowance plus perStep for each
// step between the middles of the two tenths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FlatBound {
    int64_t allowance;
    int64_t perStep;
};

struct FlatVerdict {
    int64_t growth;
    int64_t bound;
    bool flat;
};

FlatVerdict checkFlat(const std::vector<int64_t>& samples, size_t warmup, FlatBound bound);

// "handles: +3 (bound 8) flat" or "... GREW".
std::string describe(const char* figure, const FlatVerdict& v);

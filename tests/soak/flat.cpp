#include "flat.h"

#include <algorithm>

namespace {

int64_t median(std::vector<int64_t>::const_iterator from, std::vector<int64_t>::const_iterator to)
{
    std::vector<int64_t> v(from, to);
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

} // namespace

FlatVerdict checkFlat(const std::vector<int64_t>& samples, size_t warmup, FlatBound bound)
{
    FlatVerdict v{0, bound.allowance, true};
    if (samples.size() <= warmup)
        return v;
    const auto first = samples.begin() + static_cast<std::ptrdiff_t>(warmup);
    const size_t kept = samples.size() - warmup;
    const std::ptrdiff_t tenth = static_cast<std::ptrdiff_t>(std::max<size_t>(1, kept / 10));
    v.growth = median(samples.end() - tenth, samples.end()) - median(first, first + tenth);
    v.bound = bound.allowance + bound.perStep * static_cast<int64_t>(kept - static_cast<size_t>(tenth));
    v.flat = v.growth <= v.bound;
    return v;
}

std::string describe(const char* figure, const FlatVerdict& v)
{
    return std::string(figure) + ": " + (v.growth >= 0 ? "+" : "") + std::to_string(v.growth) + " (bound " +
           std::to_string(v.bound) + ") " + (v.flat ? "flat" : "GREW");
}

#include "sweep_heap.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fakes/fault_plan.h"

namespace {

// Every block carries guard bytes behind its end.
constexpr size_t kGuardBytes = 8;
constexpr unsigned char kGuardByte = 0xFD;

std::map<void*, size_t> s_blocks;
std::vector<std::string> s_problems;

std::string describe(const char* what, const void* block)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s %p", what, block);
    return text;
}

bool guardIntact(const unsigned char* block, size_t n)
{
    for (size_t i = 0; i < kGuardBytes; ++i)
        if (block[n + i] != kGuardByte)
            return false;
    return true;
}

void* allocate(size_t n)
{
    if (n > SIZE_MAX - kGuardBytes)
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(n + kGuardBytes));
    if (!block)
        return nullptr;
    std::memset(block + n, kGuardByte, kGuardBytes);
    s_blocks[block] = n;
    return block;
}

} // namespace

extern "C" void* sweepMalloc(size_t n)
{
    if (faultAt("heap", "malloc", kFaultError))
        return nullptr;
    return allocate(n);
}

extern "C" void* sweepCalloc(size_t count, size_t size)
{
    if (faultAt("heap", "calloc", kFaultError))
        return nullptr;
    if (size != 0 && count > SIZE_MAX / size)
        return nullptr;
    void* block = allocate(count * size);
    if (block)
        std::memset(block, 0, count * size);
    return block;
}

extern "C" void* sweepRealloc(void* block, size_t n)
{
    // A failed realloc leaves the old block as it was.
    if (faultAt("heap", "realloc", kFaultError))
        return nullptr;
    if (!block)
        return allocate(n);
    auto it = s_blocks.find(block);
    if (it == s_blocks.end()) {
        s_problems.push_back(describe("realloc of a block the plug-in does not hold:", block));
        return nullptr;
    }
    void* grown = allocate(n);
    if (!grown)
        return nullptr;
    std::memcpy(grown, block, it->second < n ? it->second : n);
    sweepFree(block);
    return grown;
}

extern "C" void sweepFree(void* block)
{
    if (!block)
        return;
    auto it = s_blocks.find(block);
    if (it == s_blocks.end()) {
        // Not handed back to the C runtime: it may be a block freed twice.
        s_problems.push_back(describe("free of a block the plug-in does not hold (freed twice?):", block));
        return;
    }
    if (!guardIntact(static_cast<unsigned char*>(block), it->second))
        s_problems.push_back(describe("bytes written past the end of a block:", block));
    s_blocks.erase(it);
    std::free(block);
}

const std::map<void*, size_t>& pluginBlocks()
{
    return s_blocks;
}

std::vector<std::string> takeHeapProblems()
{
    std::vector<std::string> out;
    out.swap(s_problems);
    return out;
}

void checkHeapGuards()
{
    for (const auto& [block, n] : s_blocks)
        if (!guardIntact(static_cast<unsigned char*>(block), n))
            s_problems.push_back(describe("bytes written past the end of a block:", block));
}

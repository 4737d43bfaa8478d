// The pack fuzz target's seed corpus, replayed through its entry function
// in every build (natively, with sanitizers and under Wine).
#include <gtest/gtest.h>

#include <cstdio>

#include "fuzz/pack/pack_fuzz_entry.h"
#include "pack_files.h"

namespace {

// Here the packs are real files, written for each seed.
void storeOnDisk(const char* name, const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(name, "wb");
    ASSERT_NE(f, nullptr) << name;
    EXPECT_EQ(std::fwrite(data, 1, size, f), size);
    std::fclose(f);
}

} // namespace

TEST(PackFuzzCorpus, EverySeedKeepsTheInvariants)
{
    const auto seeds = packFuzzSeeds();
    ASSERT_GE(seeds.size(), 10u);
    const std::string scratch = scratchName("fuzz.dpm");
    for (const auto& seed : seeds)
        packFuzzOne(seed.data(), seed.size(), scratch.c_str(), storeOnDisk);
    std::remove(scratch.c_str());
}

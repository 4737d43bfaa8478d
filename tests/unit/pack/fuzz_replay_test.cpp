// The pack fuzz target's seed corpus, replayed through its entry function
// in every build (natively, with sanitizers and under Wine).
#include <gtest/gtest.h>

#include "fuzz/pack/pack_fuzz_entry.h"
#include "pack_files.h"

TEST(PackFuzzCorpus, EverySeedKeepsTheInvariants)
{
    const auto seeds = packFuzzSeeds();
    ASSERT_GE(seeds.size(), 10u);
    const std::string scratch = scratchName("fuzz.dpm");
    for (const auto& seed : seeds)
        packFuzzOne(seed.data(), seed.size(), scratch.c_str());
}

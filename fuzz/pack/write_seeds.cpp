// Writes the seed corpus into a folder: write_seeds DIR
#include <cstdio>
#include <string>

#include "pack_fuzz_entry.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_seeds DIR\n");
        return 2;
    }
    int n = 0;
    for (const auto& seed : packFuzzSeeds()) {
        const std::string name = std::string(argv[1]) + "/seed-" + std::to_string(n++);
        FILE* f = std::fopen(name.c_str(), "wb");
        if (!f || std::fwrite(seed.data(), 1, seed.size(), f) != seed.size()) {
            std::fprintf(stderr, "write_seeds: cannot write %s\n", name.c_str());
            return 1;
        }
        std::fclose(f);
    }
    return 0;
}

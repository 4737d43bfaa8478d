// Writes the packtool fuzz seeds into a folder: write_seeds DIR. They are
// the files of the pack fuzz target's seeds, each as a pack at its own
// position and at position 0.
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
        // flags, position, name length, name, file
        const size_t fileAt = 3 + size_t{seed[2]};
        if (seed.size() < fileAt)
            continue;
        for (int withPosition = 0; withPosition < 2; ++withPosition) {
            std::string input;
            input += static_cast<char>(withPosition ? 1 : 0);
            input += static_cast<char>(withPosition ? seed[1] : 0);
            input.append(seed.begin() + fileAt, seed.end());
            const std::string name = std::string(argv[1]) + "/seed-" + std::to_string(n++);
            FILE* f = std::fopen(name.c_str(), "wb");
            if (!f || std::fwrite(input.data(), 1, input.size(), f) != input.size()) {
                std::fprintf(stderr, "write_seeds: cannot write %s\n", name.c_str());
                return 1;
            }
            std::fclose(f);
        }
    }
    return 0;
}

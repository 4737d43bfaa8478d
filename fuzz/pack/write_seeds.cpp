// Writes the seed corpus into a folder:
//   write_seeds DIR           the pack target's inputs (see pack_fuzz_entry.h)
//   write_seeds --files DIR   the packtool target's: each seed's file as a
//                             pack at its own position and at position 0
#include <cstdio>
#include <cstring>
#include <string>

#include "pack_fuzz_entry.h"

namespace {

bool save(const std::string& name, const std::string& bytes)
{
    FILE* f = std::fopen(name.c_str(), "wb");
    const bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f)
        std::fclose(f);
    if (!ok)
        std::fprintf(stderr, "write_seeds: cannot write %s\n", name.c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const bool files = argc == 3 && std::strcmp(argv[1], "--files") == 0;
    if (argc != 2 && !files) {
        std::fprintf(stderr, "usage: write_seeds [--files] DIR\n");
        return 2;
    }
    const std::string dir = argv[argc - 1];
    int n = 0;
    for (const auto& seed : packFuzzSeeds()) {
        // flags, position, name length, name, file
        const std::string whole(seed.begin(), seed.end());
        const size_t fileAt = 3 + size_t{seed[2]};
        if (!files) {
            if (!save(dir + "/seed-" + std::to_string(n++), whole))
                return 1;
            continue;
        }
        for (const char withPosition : {0, 1}) {
            const char position = withPosition ? static_cast<char>(seed[1]) : '\0';
            const std::string input = std::string(1, withPosition) + position + whole.substr(fileAt);
            if (!save(dir + "/seed-" + std::to_string(n++), input))
                return 1;
        }
    }
    return 0;
}

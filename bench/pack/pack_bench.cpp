// The pack reader against plain stdio reads of the same bytes, measured side
// by side in one run (rounds alternate, medians compared):
//   - tovdpmread of a 64 MiB entry against fopen + malloc + fread of the
//     same 64 MiB (goal: at least 0.9 times the speed of fread);
//   - tovdpmsize and tovdpmread of the last name of a 10,000-entry pack (a
//     one-byte entry, so that the lookup is what costs) against reading the
//     same directory bytes once (goal: at most 1.1 times the time each).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "pack/format.h"
#include "pack/pack.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string le32(uint32_t v)
{
    std::string s(4, '\0');
    storeLe32(reinterpret_cast<unsigned char*>(&s[0]), v);
    return s;
}

std::string record(const std::string& name, uint32_t offset, uint32_t size)
{
    std::string field = name;
    field.resize(24, '\0');
    return field + le32(offset) + le32(size);
}

void writeOrDie(FILE* f, const void* p, size_t n)
{
    if (std::fwrite(p, 1, n, f) != n) {
        std::perror("pack_bench: write");
        std::exit(1);
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F>
double seconds(F f)
{
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void loadPack(const std::string& file)
{
    resetPackState();
    if (!openPack((file + ",0").c_str())) {
        std::fprintf(stderr, "pack_bench: cannot open %s\n", file.c_str());
        std::exit(1);
    }
}

} // namespace

int main()
{
    char dirTemplate[] = "/tmp/tolvo-bench-XXXXXX";
    if (!mkdtemp(dirTemplate)) {
        std::perror("pack_bench: mkdtemp");
        return 1;
    }
    const std::string dir = dirTemplate;
    const std::string big = dir + "/big.dpm";
    const std::string many = dir + "/many.dpm";

    // One 64 MiB entry.
    const uint32_t bigSize = 64u << 20;
    {
        FILE* f = std::fopen(big.c_str(), "wb");
        const std::string head = "DPMX" + le32(48) + le32(1) + le32(0) + record("big.bin", 0, bigSize);
        writeOrDie(f, head.data(), head.size());
        std::vector<unsigned char> block(1 << 20);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<unsigned char>(i * 131 + 7);
        for (uint32_t i = 0; i < bigSize / block.size(); ++i)
            writeOrDie(f, block.data(), block.size());
        std::fclose(f);
    }
    // 10,000 entries of one byte each.
    const uint32_t count = 10000;
    {
        FILE* f = std::fopen(many.c_str(), "wb");
        std::string image = "DPMX" + le32(16 + 32 * count) + le32(count) + le32(0);
        char name[24];
        for (uint32_t i = 0; i < count; ++i) {
            std::snprintf(name, sizeof name, "entry%05u.dat", i);
            image += record(name, i, 1);
        }
        image += std::string(count, 'd');
        writeOrDie(f, image.data(), image.size());
        std::fclose(f);
    }

    unsigned char host[64];
    TolvoVar var{};
    var.data = host;

    // 64 MiB: the reader against a plain read of the same bytes into a new
    // block, both from the page cache.
    loadPack(big);
    std::vector<double> tRead, tFread;
    for (int round = 0; round < 11; ++round) {
        tRead.push_back(seconds([&] {
            var.data = host;
            if (tovdpmread(&var, "big.bin", 0, 0) != 0)
                std::exit(1);
        }));
        std::free(g_lpReadBuffer);
        g_lpReadBuffer = nullptr;
        tFread.push_back(seconds([&] {
            FILE* f = std::fopen(big.c_str(), "rb");
            std::fseek(f, 48, SEEK_SET);
            void* p = std::malloc(bigSize);
            if (std::fread(p, 1, bigSize, f) != bigSize)
                std::exit(1);
            std::fclose(f);
            std::free(p);
        }));
    }

    // The last of 10,000 names against one read of the directory's bytes.
    // The three take turns at going first, so that none is always the one
    // that finds the caches as the one before left them.
    loadPack(many);
    std::vector<double> tLookup, tLastRead, tOnce;
    std::vector<char> directory(32 * count);
    const std::function<void()> runs[3] = {
        [&] {
            tLookup.push_back(seconds([&] {
                var.data = host;
                if (tovdpmsize(&var, "ENTRY09999.DAT", 0, 0) != 0)
                    std::exit(1);
            }));
        },
        [&] {
            tLastRead.push_back(seconds([&] {
                var.data = host;
                if (tovdpmread(&var, "ENTRY09999.DAT", 0, 0) != 0)
                    std::exit(1);
            }));
            std::free(g_lpReadBuffer);
            g_lpReadBuffer = nullptr;
        },
        [&] {
            tOnce.push_back(seconds([&] {
                FILE* f = std::fopen(many.c_str(), "rb");
                std::fseek(f, 16, SEEK_SET);
                if (std::fread(directory.data(), 1, directory.size(), f) != directory.size())
                    std::exit(1);
                std::fclose(f);
            }));
        },
    };
    for (int round = 0; round < 600; ++round)
        for (int i = 0; i < 3; ++i)
            runs[(round + i) % 3]();

    std::remove(big.c_str());
    std::remove(many.c_str());
    rmdir(dir.c_str());

    const double read = median(tRead), fread = median(tFread);
    const double lookup = median(tLookup), lastRead = median(tLastRead), once = median(tOnce);
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    std::printf("tovdpmread of a 64 MiB entry:    %8.2f ms; fread of the same bytes %8.2f ms: "
                "%.2fx the speed of fread (goal >= 0.9x)\n",
                read * 1e3, fread * 1e3, fread / read);
    std::printf("tovdpmsize of the last of 10000: %8.1f us; one read of the directory %6.1f us: "
                "%.2fx its time (goal <= 1.1x)\n",
                lookup * 1e6, once * 1e6, lookup / once);
    std::printf("tovdpmread of the last of 10000: %8.1f us; one read of the directory %6.1f us: "
                "%.2fx its time (goal <= 1.1x)\n",
                lastRead * 1e6, once * 1e6, lastRead / once);
    std::printf("peak memory: %ld MiB\n", ru.ru_maxrss / 1024);
    return 0;
}

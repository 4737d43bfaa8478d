// command-lock: the time of one command called through the DLL's export,
// which takes the command lock and leaves it again, against the same
// command of the plug-in's objects linked into this program, which takes
// none; both through a pointer, on one thread, in alternating rounds; the
// medians compared. Three commands: tovsin (a few arithmetic operations),
// tovkeystate with no engine (a test and a store) and tovdpmsize of a
// one-entry pack (the file opened, read and closed).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "pack/pack.h"
#include "tolvo.h"

namespace {

typedef int(__stdcall* Cmd)(uintptr_t, uintptr_t, uintptr_t, uintptr_t);

double now()
{
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Nanoseconds a call, by the median of 15 rounds of `calls` calls each.
struct Pair {
    double plain, locked;
};
Pair measure(Cmd plain, Cmd locked, uintptr_t a, uintptr_t b, int calls)
{
    std::vector<double> p, l;
    for (int round = 0; round < 15; ++round) {
        // Each goes first in every other round.
        for (int k = 0; k < 2; ++k) {
            const int which = (round + k) % 2;
            const Cmd f = which ? locked : plain;
            const double t0 = now();
            for (int i = 0; i < calls; ++i)
                f(a, b, 0, 0);
            (which ? l : p).push_back((now() - t0) * 1e9 / calls);
        }
    }
    return {median(p), median(l)};
}

} // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    HMODULE dll = LoadLibraryA("tolvo.dll");
    if (!dll) {
        std::printf("tolvo.dll did not load\n");
        return 1;
    }
    auto exported = [&](const char* name) {
        return reinterpret_cast<Cmd>(
            reinterpret_cast<void*>(GetProcAddress(dll, (std::string("_") + name + "@16").c_str())));
    };

    // A pack of one entry for both copies of the reader.
    const char* file = "command-lock.dpm";
    const unsigned char pack[] = {'D', 'P', 'M', 'X', 48, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                  'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 'd', 'a', 't', 'a'};
    if (FILE* f = std::fopen(file, "wb")) {
        std::fwrite(pack, 1, sizeof pack, f);
        std::fclose(f);
    }
    std::string text = std::string(file) + ",0";
    exported("tovdpmload")(0, reinterpret_cast<uintptr_t>(text.data()), 0, 0);
    openPack(file);

    int32_t result = 0, word = 0;
    TolvoVar var{};
    var.word_count = 1;
    var.data = &word;
    const uintptr_t r = reinterpret_cast<uintptr_t>(&result), v = reinterpret_cast<uintptr_t>(&var);
    struct Row {
        const char* command;
        const char* what;
        Cmd plain;
        uintptr_t a, b;
        int calls;
    } rows[] = {
        {"tovsin", "", reinterpret_cast<Cmd>(reinterpret_cast<void*>(&tovsin)), r, 64, 1000000},
        {"tovkeystate", " (no engine)", reinterpret_cast<Cmd>(reinterpret_cast<void*>(&tovkeystate)), r, 0, 1000000},
        {"tovdpmsize", " (opens the pack)", reinterpret_cast<Cmd>(reinterpret_cast<void*>(&tovdpmsize)), v, reinterpret_cast<uintptr_t>("a"), 2000},
    };
    std::printf("%-30s %10s %10s %7s\n", "one thread, ns a call", "no lock", "the export", "ratio");
    for (const Row& row : rows) {
        const Pair t = measure(row.plain, exported(row.command), row.a, row.b, row.calls);
        std::printf("%-30s %10.1f %10.1f %7.2f\n", (std::string(row.command) + row.what).c_str(), t.plain, t.locked,
                    t.locked / t.plain);
    }
    std::remove(file);
    return 0;
}

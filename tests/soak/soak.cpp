// tolvo-soak: the plug-in's commands for a long time on the real platform
// (Wine's DirectInput, DirectMusic, DirectShow and DxDiag; only the boxes
// are counted instead of shown), sampling the process's private bytes, heap
// bytes, handles and threads after each tovbye.
//
//   tolvo-soak cycles N [--leak KIND]         N tovinit/tovbye cycles with every
//                                             engine, each using every engine
//   tolvo-soak session N SEED [--leak KIND]   a random game session of N commands
//
// --leak handle|thread|object|block keeps one event handle, one thread, one
// reference to the music performance or one 64 KiB block before every
// tovbye, to show that the checker catches it. Exit status: 0 every figure
// flat and every result as documented, 1 not, 2 wrong usage or no window.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "figures.h"
#include "flat.h"
#include "music/music.h"
#include "platform_floor.h"
#include "session.h"
#include "soak_host.h"

namespace {

// What a run may grow by after its warm-up, once what the design and the
// platform keep is taken off: an allowance, and a little per step (cycle,
// or restart of a session) for what the platform's floor was measured
// short by. One handle or thread per step fails at once. Heap bytes are
// exact, so an object of a few hundred bytes per step fails too. Private
// bytes move in pages, and what Wine's GStreamer keeps of a movie outside
// the heaps varies by a hundred KB and more from run to run: they catch
// large blocks and what lies outside the heaps.
constexpr FlatBound kPrivateBytesBound{4 << 20, 2 << 10};
constexpr FlatBound kHeapBytesBound{16 << 10, 256};
constexpr FlatBound kHandlesBound{8, 0};
constexpr FlatBound kThreadsBound{2, 0};

enum class Leak { none, handle, thread, object, block };

DWORD WINAPI sleepForever(void*)
{
    Sleep(INFINITE);
    return 0;
}

// One object of the kind, never given back. Called while the engines run,
// just before tovbye.
void leakOne(Leak leak)
{
    switch (leak) {
    case Leak::handle:
        CreateEventA(nullptr, TRUE, FALSE, nullptr);
        break;
    case Leak::thread:
        CloseHandle(CreateThread(nullptr, 0, sleepForever, nullptr, 0, nullptr));
        break;
    case Leak::object:
        // The performance outlives tovbye with its synthesizer and buffers.
        if (g_lpPerformance)
            g_lpPerformance->AddRef();
        break;
    case Leak::block: {
        static std::vector<void*> blocks;
        blocks.push_back(std::malloc(64 << 10));
        break;
    }
    case Leak::none:
        break;
    }
}

// The figures along a soak, less what is kept by design (pack buffers) and
// what the platform keeps of what the plug-in made it do.
struct Series {
    std::vector<int64_t> privateBytes, heapBytes, handles, threads;

    void sample(int64_t keptBytes, const ProcessFigures& platform)
    {
        const ProcessFigures f = sampleProcess();
        privateBytes.push_back(f.privateBytes - keptBytes - platform.privateBytes);
        heapBytes.push_back(f.heapBytes - keptBytes - platform.heapBytes);
        handles.push_back(f.handles - platform.handles);
        threads.push_back(f.threads - platform.threads);
    }
};

// One cycle: every engine started, used and stopped. The movie engine is
// used without a movie: rendering one is left to the session, since Wine 8
// keeps so much of each that a few hundred would hide what the plug-in
// keeps (see platform_floor.h).
void cycle(TolvoWindowInfo* info, ResultCheck& check, HostVariable& theme, HostVariable& packed, int n, Leak leak)
{
    static const std::string wave = fixture("music/tone.wav");
    static const std::string movie = fixture("movie/missing.avi");
    static const std::string pack = fixture("music/music.dpm,0");
    HostInteger r;
    check.expect("tovinit", tovinit(info, 7, 1, 0), {0});
    check.expect("tovkeystate", tovkeystate(r.pointer(), 0, 0, 0), {0});
    check.expect("tovkeytrigger", tovkeytrigger(r.pointer(), 0, 0, 0), {0});
    check.expect("tovmousestate", tovmousestate(r.pointer(), 0, 0, 0), {0});
    check.expect("tovjoynum", tovjoynum(r.pointer(), 0, 0, 0), {0, -1});
    check.expect("tovmusicload2", tovmusicload2(theme.record(), 0, 0, 0), {0});
    check.expect("tovmusicplay", tovmusicplay(0, -1, 0, 0), {0});
    check.expect("tovmusicload", tovmusicload(1, wave.c_str(), 0, 0), {0});
    check.expect("tovmusicplay2", tovmusicplay2(1, 0, 0, 0), {0});
    check.expect("tovmusicsetvol", tovmusicsetvol(0, -100 * (n % 10), 0, 0), {0});
    check.expect("tovmusicsetpos", tovmusicsetpos(1 + n % 3, 250, 0, 0), {0});
    check.expect("tovmusicfx", tovmusicfx(n % 10, 0, 0, 0), {0});
    check.expect("tovmovieload", tovmovieload(movie.c_str(), 0, 0, 0), {-1});
    check.expect("tovmovieplay", tovmovieplay(0, 0, 0, 0), {-1});
    check.expect("tovmoviecheck", tovmoviecheck(0, 0, 0, 0), {-1});
    check.expect("tovmoviefree", tovmoviefree(0, 0, 0, 0), {-1});
    std::string text = pack;
    check.expect("tovdpmload", tovdpmload(0, text.data(), 0, 0), {0});
    packed.reset();
    check.expect("tovdpmread", tovdpmread(packed.record(), "tune.mid", 0, 0), {0});
    check.expect("tovmusicstop", tovmusicstop(-1, 0, 0, 0), {0});
    leakOne(leak);
    check.expect("tovbye", tovbye(0, 0, 0, 0), {0});
    check.guards("a cycle", theme.guardsIntact() && packed.guardsIntact() && r.guardsIntact());
    pumpMessages();
}

int usage()
{
    std::fprintf(stderr, "usage: tolvo-soak cycles N [--leak KIND] | session N SEED [--leak KIND]\n"
                         "       KIND: handle, thread, object, block\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 3)
        return usage();
    const std::string mode = argv[1];
    const long n = std::atol(argv[2]);
    int next = 3;
    unsigned long long seed = 1;
    if (mode == "session") {
        if (argc < 4)
            return usage();
        seed = std::strtoull(argv[3], nullptr, 0);
        next = 4;
    } else if (mode != "cycles") {
        return usage();
    }
    Leak leak = Leak::none;
    if (next + 1 < argc && std::strcmp(argv[next], "--leak") == 0) {
        const std::string kind = argv[next + 1];
        leak = kind == "handle" ? Leak::handle
               : kind == "thread" ? Leak::thread
               : kind == "object" ? Leak::object
               : kind == "block"  ? Leak::block
                                  : Leak::none;
        if (leak == Leak::none)
            return usage();
        next += 2;
    }
    if (n <= 0 || next != argc)
        return usage();

    TolvoWindowInfo info;
    if (!createHostWindow(info)) {
        std::fprintf(stderr, "tolvo-soak: no window\n");
        return 2;
    }
    countBoxes();

    const PlatformFloor floor = measurePlatformFloor(mode == "session" ? fixture("movie/raw.avi") : "");
    ResultCheck check;
    Series series;
    PlatformCounts counts;
    const DWORD start = GetTickCount();
    if (mode == "cycles") {
        HostVariable theme(0, TOLVO_TYPE_INT, readFile(fixture("ogg/stereo22050.ogg")));
        HostVariable packed(16, TOLVO_TYPE_INT);
        series.sample(0, platformKeeps(floor, counts));
        for (long i = 0; i < n; ++i) {
            cycle(&info, check, theme, packed, static_cast<int>(i), leak);
            ++counts.musicStarts;
            ++counts.graphs;
            series.sample(0, platformKeeps(floor, counts));
        }
        std::printf("%ld tovinit/tovbye cycles with every engine\n", n);
    } else {
        // Samples are taken after each tovbye of the session.
        Session session(seed, &info, check, [leak] { leakOne(leak); });
        series.sample(0, platformKeeps(floor, counts));
        for (long i = 1; i <= n; ++i) {
            if (session.step() || i == n) {
                if (i == n)
                    session.end();
                pumpMessages();
                series.sample(session.keptBytes(), platformKeeps(floor, session.platformCounts()));
            }
        }
        counts = session.platformCounts();
        std::printf("a session of %ld commands, seed %llu; %lld pack reads keep %lld bytes by design\n", n, seed,
                    static_cast<long long>(session.packReads()), static_cast<long long>(session.keptBytes()));
        for (const auto& [name, results] : session.calls()) {
            std::printf("  %-18s", name.c_str());
            for (const auto& [result, count] : results)
                std::printf(" %d:%d", result, count);
            std::printf("\n");
        }
    }
    const size_t warmup = series.handles.size() / 10 > 5 ? series.handles.size() / 10 : 5;
    const double seconds = (GetTickCount() - start) / 1000.0;

    const ProcessFigures last = sampleProcess();
    std::printf("%lld commands in %.1f s; %zu samples, the first %zu left out\n", static_cast<long long>(check.commands()),
                seconds, series.handles.size(), warmup);
    auto floorLine = [](const char* what, const PlatformCost& c, int64_t n) {
        std::printf("  %-31s %7.0f private %7.0f heap %5.1f handles %4.1f threads, %lld times\n", what,
                    c.privateBytes, c.heapBytes, c.handles, c.threads, static_cast<long long>(n));
    };
    std::printf("what the platform keeps of each, taken off the samples:\n");
    floorLine("DirectMusic start with 3D path", floor.musicStart, counts.musicStarts);
    floorLine("filter graph", floor.graph, counts.graphs);
    floorLine("DirectX diagnosis", floor.diagnosis, counts.diagnoses);
    floorLine("movie rendered", floor.render, counts.renders);
    std::printf("at the end: %lld private bytes, %lld heap bytes, %lld handles, %lld threads\n",
                static_cast<long long>(last.privateBytes), static_cast<long long>(last.heapBytes),
                static_cast<long long>(last.handles),
                static_cast<long long>(last.threads));
    const FlatVerdict verdicts[] = {
        checkFlat(series.privateBytes, warmup, kPrivateBytesBound),
        checkFlat(series.heapBytes, warmup, kHeapBytesBound),
        checkFlat(series.handles, warmup, kHandlesBound),
        checkFlat(series.threads, warmup, kThreadsBound),
    };
    const char* names[] = {"private bytes", "heap bytes", "handles", "threads"};
    bool flat = true;
    for (int i = 0; i < 4; ++i) {
        std::printf("%s\n", describe(names[i], verdicts[i]).c_str());
        flat = flat && verdicts[i].flat;
    }
    for (const auto& [text, count] : boxesSeen())
        std::printf("box (%d times): %s\n", count, text.c_str());
    // Every command of a cycle succeeds or fails quietly.
    if (mode == "cycles" && !boxesSeen().empty())
        check.fail("a box in a cycle");
    check.report();
    if (std::getenv("TOLVO_SOAK_SAMPLES")) {
        for (size_t i = 0; i < series.handles.size(); ++i)
            std::printf("sample %zu: %lld %lld %lld %lld\n", i, static_cast<long long>(series.privateBytes[i]),
                        static_cast<long long>(series.heapBytes[i]),
                        static_cast<long long>(series.handles[i]), static_cast<long long>(series.threads[i]));
    }
    return flat && check.failures() == 0 ? 0 : 1;
}

// bench_ogg: what the Ogg Vorbis to WAVE conversion costs beside its peers,
// measured side by side in one run (rounds alternate; medians compared).
//
//   bench_ogg STREAM.ogg [ROUNDS]
//       the peak memory of one conversion against the image size (goal:
//       <= image + 4 MiB); the file conversion on the machine's cores
//       against the same conversion on one decoder (goal: >= 1.6x on two
//       cores); the machine's own parallel capacity in the same run (as many
//       one-decoder conversions side by side as the split has ranges,
//       against one) and the split's efficiency against it (goal: >= 80 %,
//       which is 1.6x of two idle cores); and the one-decoder conversion
//       against a bare ov_read loop into a buffer allocated beforehand, on
//       the same build (goal: >= 0.98x)
//   bench_ogg STREAM.ogg ROUNDS TOOL OGGDEC WORKDIR      (not on Windows)
//       also tolvo-ogg2wav against oggdec, each writing a WAVE file (goal:
//       >= 1.6x by the median on two cores), and the peak memory
//       of tolvo-ogg2wav against the image size (goal: <= image + 4 MiB)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include "ogg/decoding.h"

namespace {

typedef std::chrono::steady_clock Clock;

double secondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double best(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

// One line per pair: the times of both and the speed of `a` against `b`
// (b's time over a's), by the best and by the median round.
void report(const char* what, const char* a, const std::vector<double>& ta, const char* b,
            const std::vector<double>& tb, const char* goal)
{
    std::printf("%-34s best %.3f s, median %.3f s\n", a, best(ta), median(ta));
    std::printf("%-34s best %.3f s, median %.3f s\n", b, best(tb), median(tb));
    std::printf("%s: %.3fx by the best round, %.3fx by the median (goal %s)\n", what, best(tb) / best(ta),
                median(tb) / median(ta), goal);
}

int32_t g_imageSize = 0;
int g_ranges = 0;

// One file conversion with at most `jobs` ranges (0: the machine's cores);
// the image's size, or the program ends when the stream does not convert.
int32_t convertOnce(const char* path, int jobs, OggSplit* split)
{
    void* image = nullptr;
    int32_t size = 0;
    split->jobs = jobs;
    if (!oggFileToWaveSplit(path, 2, &image, &size, split)) {
        std::fprintf(stderr, "bench_ogg: %s does not convert\n", path);
        std::exit(1);
    }
    std::free(image);
    return size;
}

double timeConversion(const char* path, int jobs)
{
    const Clock::time_point t0 = Clock::now();
    OggSplit split;
    g_imageSize = convertOnce(path, jobs, &split);
    const double t = secondsSince(t0);
    if (jobs != 1)
        g_ranges = split.ranges;
    return t;
}

// The machine's own capacity for this work: `n` one-decoder conversions at
// once, each on a thread of its own, as long as they take together. On an
// idle machine with n free cores this is one conversion's time; where the
// cores are shared or slower together (memory, turbo, other work), longer.
double timeSideBySide(const char* path, int n)
{
    const Clock::time_point t0 = Clock::now();
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i)
        threads.emplace_back([path] {
            OggSplit split;
            convertOnce(path, 1, &split);
        });
    for (std::thread& t : threads)
        t.join();
    return secondsSince(t0);
}

// The process's resident memory (working set) in bytes now, and its
// high-water mark.
double currentBytes()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS pm{};
    GetProcessMemoryInfo(GetCurrentProcess(), &pm, sizeof pm);
    return double(pm.WorkingSetSize);
#else
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE));
#endif
}

double peakBytes()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS pm{};
    GetProcessMemoryInfo(GetCurrentProcess(), &pm, sizeof pm);
    return double(pm.PeakWorkingSetSize);
#else
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss * 1024.0;
#endif
}

// The decoder alone: the same open, the same reads, into a buffer that was
// allocated before the clock started.
double timeBareLoop(const char* path, char* buffer, size_t room)
{
    const Clock::time_point t0 = Clock::now();
    FILE* f = std::fopen(path, "rb");
    OggVorbis_File vf;
    if (!f || ov_open(f, &vf, nullptr, 0) < 0) {
        std::fprintf(stderr, "bench_ogg: %s does not open\n", path);
        std::exit(1);
    }
    long done = 0;
    for (;;) {
        int link;
        const long got = ov_read(&vf, buffer + done, int(room - done), 0, 2, 1, &link);
        if (got <= 0)
            break;
        done += got;
    }
    ov_clear(&vf);
    const double t = secondsSince(t0);
    if (done + WAVE_HEADER_BYTES != g_imageSize) {
        std::fprintf(stderr, "bench_ogg: the bare loop decoded %ld bytes, the conversion %ld\n", done,
                     long(g_imageSize) - WAVE_HEADER_BYTES);
        std::exit(1);
    }
    return t;
}

#ifndef _WIN32
// Wall time of a child process and its peak resident set in KiB.
double timeProcess(const std::vector<std::string>& args, long* peakKiB, bool quiet = false)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const Clock::time_point t0 = Clock::now();
    pid_t pid;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "bench_ogg: cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    struct rusage ru;
    if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_ogg: %s failed\n", argv[0]);
        std::exit(1);
    }
    const double t = secondsSince(t0);
    if (peakKiB)
        *peakKiB = ru.ru_maxrss;
    return t;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3 && argc != 6) {
        std::fprintf(stderr, "usage: bench_ogg STREAM.ogg [ROUNDS [TOOL OGGDEC WORKDIR]]\n");
        return 2;
    }
    const char* stream = argv[1];
    const int rounds = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 15;
    std::printf("stream: %s, %d rounds in alternating order, %u cores\n", stream, rounds,
                std::thread::hardware_concurrency());

#ifndef _WIN32
    // The processes first, while this one is still small: a child's peak
    // resident set counts its parent's at the time it was started.
    if (argc == 6) {
        const std::string tool = argv[3], oggdec = argv[4], work = argv[5];
        const std::string ours = work + "/bench-ogg2wav.wav", theirs = work + "/bench-oggdec.wav";
        std::vector<double> tt, t1, to;
        long peak = 0;
        for (int i = 0; i < rounds; ++i) {
            long p = 0;
            // Three in a rotating order, so that none always runs first.
            for (int k = 0; k < 3; ++k) {
                switch ((i + k) % 3) {
                case 0:
                    tt.push_back(timeProcess({tool, stream, ours}, &p));
                    peak = std::max(peak, p);
                    break;
                case 1:
                    t1.push_back(timeProcess({tool, "--jobs", "1", stream, ours}, nullptr));
                    break;
                default:
                    to.push_back(timeProcess({oggdec, "-Q", "-o", theirs, stream}, nullptr));
                }
            }
        }
        report("tolvo-ogg2wav against oggdec", "tolvo-ogg2wav writing a file", tt, "oggdec writing a file", to,
               ">= 1.6x by the median on 2 cores");
        report("tolvo-ogg2wav --jobs 1 against oggdec", "tolvo-ogg2wav --jobs 1 writing a file", t1,
               "oggdec writing a file", to, "none: one decoder and the whole image in memory, for scale");
        struct stat st;
        if (stat(ours.c_str(), &st) != 0) {
            std::fprintf(stderr, "bench_ogg: tolvo-ogg2wav wrote nothing\n");
            return 1;
        }
        // What the tool's process holds before it reads anything, for scale.
        long bare = 0;
        timeProcess({tool, "--version"}, &bare, true);
        const double image = st.st_size / 1048576.0, peakMiB = peak / 1024.0;
        // The goal is the conversion's: what the process holds beyond its
        // own code and libraries, which it holds before it reads.
        std::printf("peak memory of tolvo-ogg2wav: %.2f MiB for an image of %.2f MiB, %.2f MiB of it the process "
                    "before it reads FILE: the conversion image + %.2f MiB (goal <= image + 4 MiB)\n",
                    peakMiB, image, bare / 1024.0, peakMiB - image - bare / 1024.0);
        std::remove(ours.c_str());
        std::remove(theirs.c_str());
    }
#endif

    // While this process is still small: how far one conversion on the
    // machine's cores raises its high-water mark above what it holds now.
    {
        const double before = currentBytes();
        timeConversion(stream, 0);
        const double grown = (peakBytes() - before) / 1048576.0, image = g_imageSize / 1048576.0;
        std::printf("peak memory of the conversion: image + %.2f MiB, for an image of %.2f MiB in %d ranges "
                    "(goal <= image + 4 MiB)\n",
                    grown - image, image, g_ranges);
    }

    // The conversion on the machine's cores against the same on one
    // decoder, and the one decoder against a bare loop. The bare loop writes
    // once into a buffer allocated and touched once for all rounds, and once
    // into one allocated afresh, untouched, before each round's clock starts:
    // the image is a new block each time, and where the allocator hands out
    // fresh pages, their first touch costs the same in the bare loop.
    timeConversion(stream, 1);
    const size_t room = size_t(g_imageSize) + 65536;
    std::vector<char> warm(room, 1);
    // As many conversions side by side as the split uses ranges.
    const int width = std::max(2, g_ranges);
    std::vector<double> split, one, bare, fresh, side;
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            split.push_back(timeConversion(stream, 0));
            one.push_back(timeConversion(stream, 1));
            side.push_back(timeSideBySide(stream, width));
        }
        bare.push_back(timeBareLoop(stream, warm.data(), room));
        char* block = static_cast<char*>(std::malloc(room));
        fresh.push_back(timeBareLoop(stream, block, room));
        std::free(block);
        if (i % 2 == 1) {
            side.push_back(timeSideBySide(stream, width));
            one.push_back(timeConversion(stream, 1));
            split.push_back(timeConversion(stream, 0));
        }
    }
    std::printf("image: %d bytes, %d ranges\n", g_imageSize, g_ranges);
    report("the conversion on the machine's cores against one decoder", "conversion, machine's cores", split,
           "conversion, one decoder", one, ">= 1.6x on 2 cores");
    // What the machine gives in this run: n conversions side by side do n
    // times the work of one in `side` seconds. The split can at best reach
    // that; its efficiency is how much of it the split reaches, which reads
    // the same on a quiet and a busy machine.
    const double capacity = width * median(one) / median(side),
                 speedup = median(one) / median(split);
    std::printf("%-34s best %.3f s, median %.3f s\n", "one-decoder conversions side by side", best(side),
                median(side));
    std::printf("the machine's parallel capacity: %d conversions side by side do %.3fx the work of one in the "
                "same time, by the median (an idle machine with %d free cores: %d.000x)\n",
                width, capacity, width, width);
    std::printf("the split's efficiency: %.3fx of %.3fx = %.0f%% of what the machine gave this run "
                "(goal >= 80%%)\n",
                speedup, capacity, 100 * speedup / capacity);
    report("one decoder against the bare loop", "conversion, one decoder", one, "bare ov_read loop, buffer reused",
           bare, ">= 0.98x");
    report("one decoder against the bare loop into a new block", "conversion, one decoder", one,
           "bare ov_read loop, new block", fresh, ">= 0.98x");
    return 0;
}

// The converters decoding in ranges side by side against one decoder from
// start to end: the same result, byte for byte, from a file and from memory,
// however the stream is cut; and streams whose pages do not place their
// samples exactly are left to the one decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#ifdef __linux__
#include <dirent.h>
#endif

#include "music/oggwave.h"
#include "unit/music/ogg_outcome.h"

namespace {

enum From { FROM_FILE, FROM_MEMORY };
const char* const kFrom[] = {"from a file", "from memory"};

// One conversion of a fixture, and how many ranges it was decoded in.
struct Conversion {
    Outcome out;
    int ranges = -1;
};

Outcome fromVar(const HostVar& var, OggSplit& split, int bps = 2)
{
    void* image = kUntouched;
    int32_t size = -7;
    const int rc = oggMemToWaveSplit(&var.rec, bps, &image, &size, &split);
    return finish(rc, image, size);
}

Conversion convertWith(const std::string& name, From from, OggSplit split, int bps = 2)
{
    Conversion r;
    if (from == FROM_FILE) {
        void* image = kUntouched;
        int32_t size = -7;
        const int rc = oggFileToWaveSplit(fixture(name).c_str(), bps, &image, &size, &split);
        r.out = finish(rc, image, size);
    } else {
        r.out = fromVar(HostVar(readFile(fixture(name))), split, bps);
    }
    r.ranges = split.ranges;
    return r;
}

OggSplit jobs(int n)
{
    OggSplit s;
    s.jobs = n;
    return s;
}

// The split keeps a pointer to the cuts: they must outlive it.
OggSplit cutAt(const std::vector<int64_t>& cuts)
{
    OggSplit s;
    s.cuts = cuts.data();
    s.cutCount = static_cast<int>(cuts.size());
    return s;
}

// The whole result: return value, what the image pointer was left holding,
// size and bytes.
void expectSame(const Outcome& got, const Outcome& want, const std::string& what)
{
    EXPECT_EQ(got.rc, want.rc) << what;
    EXPECT_EQ(got.image == nullptr, want.image == nullptr) << what;
    EXPECT_EQ(got.image == kUntouched, want.image == kUntouched) << what;
    EXPECT_EQ(got.size, want.size) << what;
    EXPECT_TRUE(got.bytes == want.bytes) << what << ": the images differ";
}

int64_t framesOf(const Outcome& o)
{
    const uint32_t align = o.bytes[32] | (o.bytes[33] << 8);
    return (o.size - WAVE_HEADER_BYTES) / align;
}

// n - 1 distinct cuts inside 1 .. frames - 1, ascending.
std::vector<int64_t> randomCuts(int n, int64_t frames, std::mt19937& rng)
{
    std::uniform_int_distribution<int64_t> pick(1, frames - 1);
    std::vector<int64_t> cuts;
    while (static_cast<int>(cuts.size()) < n - 1) {
        const int64_t c = pick(rng);
        if (std::find(cuts.begin(), cuts.end(), c) == cuts.end())
            cuts.push_back(c);
    }
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

class CleanStream : public testing::TestWithParam<const char*> {};

// Equal ranges for 2 to 16 workers, random cuts for as many, and cuts one
// frame from either end: every image is the one decoder's.
TEST_P(CleanStream, AnySplitMakesTheOneDecodersImage)
{
    const std::string name = std::string(GetParam()) + ".ogg";
    std::mt19937 rng(static_cast<unsigned>(std::hash<std::string>()(name)));
    for (From from : {FROM_FILE, FROM_MEMORY}) {
        const Conversion one = convertWith(name, from, jobs(1));
        ASSERT_EQ(one.out.rc, 1) << kFrom[from];
        EXPECT_EQ(one.ranges, 1);
        const int64_t frames = framesOf(one.out);
        ASSERT_GE(frames, 16) << "too short to split 16 ways";

        std::vector<std::vector<int64_t>> plans = {{1}, {frames - 1}, {1, frames - 1}};
        for (int n = 2; n <= OGG_MAX_RANGES; ++n) {
            std::vector<int64_t> equal;
            for (int i = 1; i < n; ++i)
                equal.push_back(frames * i / n);
            plans.push_back(equal);
            plans.push_back(randomCuts(n, frames, rng));
        }
        for (const std::vector<int64_t>& cuts : plans) {
            std::string what = std::string(kFrom[from]) + ", cut at";
            for (int64_t c : cuts)
                what += " " + std::to_string(c);
            const Conversion split = convertWith(name, from, cutAt(cuts));
            EXPECT_EQ(split.ranges, static_cast<int>(cuts.size()) + 1) << what << ": not split";
            expectSame(split.out, one.out, what);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CleanStream,
                         testing::Values("mono8000", "stereo8000", "mono22050", "stereo22050", "mono44100",
                                         "stereo44100", "mono48000", "stereo48000", "six48000", "tiny", "loud",
                                         "smallpages", "intact", "chain_a", "mix_a"),
                         [](const testing::TestParamInfo<const char*>& i) { return std::string(i.param); });

TEST(SplitDecode, EightBitSamplesToo)
{
    for (const char* name : {"mono8000.ogg", "stereo22050.ogg"}) {
        for (From from : {FROM_FILE, FROM_MEMORY}) {
            const Conversion one = convertWith(name, from, jobs(1), 1);
            ASSERT_EQ(one.out.rc, 1);
            const int64_t frames = framesOf(one.out);
            for (int n = 2; n <= 5; ++n) {
                const Conversion split = convertWith(name, from, cutAt({frames / n, frames * 2 / n - 1}), 1);
                EXPECT_EQ(split.ranges, 3) << name;
                expectSame(split.out, one.out, std::string(name) + " " + kFrom[from]);
            }
        }
    }
}

// Streams whose granule positions, page numbers, flags or pages are off, or
// that hold more than one logical stream: a decoder seeking into them may
// land elsewhere than one decoding from the start, so one decoder makes the
// image, with its own failures and cuts.
TEST(SplitDecode, StreamsThatMisplaceTheirSamplesKeepOneDecoder)
{
    const char* const streams[] = {
        "offset.ogg",  // granules start at 4096
        "negstart.ogg", // granules start below the first page's samples
        "longend.ogg", // last granule beyond the samples
        "shortend.ogg", // last granule cuts more than the last packet
        "gap.ogg",      // a page number skipped
        "noeos.ogg",    // no end-of-stream flag
        "trailing.ogg", // bytes after the last page
        "damaged.ogg",  // a page fails its checksum
        "truncated.ogg", // cut off inside a page
        "chained.ogg",  // two links of one format
        "samechain.ogg", // two links of one serial number
        "mixchain.ogg", // two links of two formats
    };
    const std::vector<std::vector<int64_t>> plans = {{11025}, {5000, 15000}, {1, 2, 3, 20000}};
    for (const char* name : streams) {
        for (From from : {FROM_FILE, FROM_MEMORY}) {
            const Conversion one = convertWith(name, from, jobs(1));
            for (const std::vector<int64_t>& cuts : plans) {
                const std::string what = std::string(name) + " " + kFrom[from] + " in " +
                                         std::to_string(cuts.size() + 1) + " ranges";
                const Conversion split = convertWith(name, from, cutAt(cuts));
                EXPECT_LE(split.ranges, 1) << what << ": split";
                expectSame(split.out, one.out, what);
            }
            expectSame(convertWith(name, from, jobs(OGG_MAX_RANGES)).out, one.out, name);
        }
    }
}

size_t readFrom(void* dest, size_t size, size_t count, void* stream)
{
    return std::fread(dest, size, count, static_cast<FILE*>(stream));
}

// The page check itself: the clean stream passes with its frame count, each
// stream made from it with one thing off does not.
TEST(PageCheck, SortsTheStreamsMadeFromOneCleanStream)
{
    const struct {
        const char* name;
        int passes;
    } cases[] = {{"intact.ogg", 1},   {"offset.ogg", 0}, {"negstart.ogg", 0}, {"longend.ogg", 0},
                 {"shortend.ogg", 0}, {"gap.ogg", 0},    {"noeos.ogg", 0},    {"trailing.ogg", 0},
                 {"damaged.ogg", 0},  {"truncated.ogg", 0}};
    for (const auto& c : cases) {
        FILE* f = std::fopen(fixture(c.name).c_str(), "rb");
        ASSERT_TRUE(f) << c.name;
        int64_t frames = -1;
        EXPECT_EQ(oggPageCheck(readFrom, f, 0, &frames), c.passes) << c.name;
        EXPECT_EQ(frames, c.passes ? 88200 : -1) << c.name;
        std::fclose(f);
    }
}

// The host rounds a variable's storage up to whole words: up to 3 bytes
// after the last page still allow a split; a whole word more is not the
// rounding and leaves the stream to one decoder.
TEST(SplitDecode, BytesAfterTheLastPageInAVariable)
{
    const Bytes ogg = readFile(fixture("intact.ogg"));
    const std::vector<int64_t> cuts = {30000, 60000};
    for (size_t extra : {0, 1, 2, 3, 4, 7}) {
        HostVar var(ogg, extra, 0x4f);
        OggSplit one = jobs(1), split = cutAt(cuts);
        const Outcome want = fromVar(var, one);
        const Outcome got = fromVar(var, split);
        const bool rounding = var.words.size() * 4 - ogg.size() <= 3;
        EXPECT_EQ(split.ranges, rounding ? 3 : 1) << extra;
        expectSame(got, want, std::to_string(extra) + " bytes after the last page");
    }
}

// A worker that fails (as one that cannot open its decoder would) sends the
// whole stream back to one decoder from the start, whichever range it had.
TEST(SplitDecode, AFailedWorkerMeansOneDecoderFromTheStart)
{
    for (From from : {FROM_FILE, FROM_MEMORY}) {
        const Conversion one = convertWith("intact.ogg", from, jobs(1));
        ASSERT_EQ(one.out.rc, 1);
        const std::vector<int64_t> cuts = {20000, 40000, 60000};
        for (int fail = 0; fail < 4; ++fail) {
            OggSplit split = cutAt(cuts);
            split.failRange = fail;
            const Conversion run = convertWith("intact.ogg", from, split);
            EXPECT_EQ(run.ranges, 1) << kFrom[from] << ", range " << fail;
            expectSame(run.out, one.out, std::string(kFrom[from]) + ", range " + std::to_string(fail) + " failed");
        }
    }
}

// How many ranges a split asks for: one decoder for jobs 1 and for short
// streams, the count asked for on a long one, never more than it is worth.
TEST(SplitDecode, JobsBoundTheRanges)
{
    for (From from : {FROM_FILE, FROM_MEMORY}) {
        const Conversion one = convertWith("long.ogg", from, jobs(1));
        ASSERT_EQ(one.out.rc, 1);
        EXPECT_EQ(one.ranges, 1);
        const Conversion three = convertWith("long.ogg", from, jobs(3));
        EXPECT_EQ(three.ranges, 3);
        expectSame(three.out, one.out, "3 jobs");
        // Fourteen seconds of stereo are not worth sixteen decoders.
        const Conversion many = convertWith("long.ogg", from, jobs(OGG_MAX_RANGES));
        EXPECT_GE(many.ranges, 2);
        EXPECT_LT(many.ranges, OGG_MAX_RANGES);
        expectSame(many.out, one.out, "16 jobs");
        // Half a second is not worth two.
        EXPECT_EQ(convertWith("stereo44100.ogg", from, jobs(8)).ranges, 1);
    }
    // The converters that the loaders call take the machine's cores.
    void* image = kUntouched;
    int32_t size = -7;
    const int rc = oggFileToWave(fixture("long.ogg").c_str(), 2, &image, &size);
    const Outcome automatic = finish(rc, image, size);
    expectSame(automatic, convertWith("long.ogg", FROM_FILE, jobs(1)).out, "the machine's cores");
}

#ifdef __linux__
int threadCount()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (const dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

// Every worker is joined before the conversion returns.
TEST(SplitDecode, NoThreadOutlivesTheConversion)
{
    const int before = threadCount();
    ASSERT_GT(before, 0);
    const Conversion run = convertWith("long.ogg", FROM_MEMORY, jobs(4));
    EXPECT_EQ(run.ranges, 4);
    EXPECT_EQ(threadCount(), before);
}
#endif

} // namespace

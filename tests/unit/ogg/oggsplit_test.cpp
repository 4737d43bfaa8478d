// The converters decoding in ranges side by side against one decoder from
// start to end: the same result, byte for byte, from a file and from memory,
// however the stream is cut; streams whose pages do not place their samples
// exactly are left to the one decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "ogg/decoding.h"
#include "unit/ogg/ogg_outcome.h"

namespace {

const char* const kFrom[] = {"from a file", "from memory"};

// One conversion of a fixture, from its file or from a variable holding it
// and `padding` bytes more, and how many ranges it was decoded in.
struct Conversion {
    Outcome out;
    int ranges = -1;
};

// The stretches the converter tells of as it decodes, laid out where they
// belong (later ones over earlier ones, as the tool writes them).
struct Told {
    std::mutex lock;
    Bytes bytes;
};

void collect(void* context, int32_t offset, const unsigned char* part, int32_t n)
{
    Told* told = static_cast<Told*>(context);
    const std::lock_guard<std::mutex> hold(told->lock);
    if (told->bytes.size() < static_cast<size_t>(offset + n))
        told->bytes.resize(static_cast<size_t>(offset + n));
    std::copy(part, part + n, told->bytes.begin() + offset);
}

// How a conversion is split: into `jobs` ranges as a user asks, or at the
// cuts a test places, with a worker that fails.
struct Ask {
    int jobs = 0;
    std::vector<int64_t> cuts;
    int failRange = -1;
};

// Every conversion also checks that what it told of, cut to the image's
// length, is the image's samples.
Conversion convert(const std::string& name, bool memory, const Ask& ask, int bps = 2, size_t padding = 0)
{
    Told told;
    OggSplit split;
    split.jobs = ask.jobs;
    split.decodedPart = collect;
    split.context = &told;
    const OggPlan plan = {ask.cuts.data(), static_cast<int>(ask.cuts.size()), ask.failRange};
    void* image = kUntouched;
    int32_t size = -7;
    int rc;
    const std::string path = fixture(name);
    if (memory) {
        HostVar var(readFile(path), padding, 0x4f);
        rc = ask.cuts.empty() ? oggMemToWaveSplit(&var.rec, bps, &image, &size, &split)
                              : oggConvert(oggVariableSource(&var.rec), bps, &image, &size, &split, &plan);
    } else {
        rc = ask.cuts.empty() ? oggFileToWaveSplit(path.c_str(), bps, &image, &size, &split)
                              : oggConvert(OggSource{path.c_str(), nullptr, 0}, bps, &image, &size, &split, &plan);
    }
    Conversion c;
    c.out = finish(rc, image, size);
    c.ranges = split.ranges;
    if (rc == 1) {
        const Bytes samples(c.out.bytes.begin() + WAVE_HEADER_BYTES, c.out.bytes.end());
        told.bytes.resize(std::max(told.bytes.size(), samples.size()), 0x5e);
        EXPECT_TRUE(std::equal(samples.begin(), samples.end(), told.bytes.begin())) << name << ": not as told";
    }
    return c;
}

Ask jobs(int n)
{
    Ask a;
    a.jobs = n;
    return a;
}

Ask cutAt(const std::vector<int64_t>& cuts, int failRange = -1)
{
    Ask a;
    a.cuts = cuts;
    a.failRange = failRange;
    return a;
}

// The whole result: return value, what the image pointer holds, size, bytes.
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
    return (o.size - WAVE_HEADER_BYTES) / (o.bytes[32] | (o.bytes[33] << 8));
}

class CleanStream : public testing::TestWithParam<const char*> {};

// Cuts one frame from either end, then equal and random cuts for 2 to 16
// ranges (and a few in 8-bit samples): every image is the one decoder's.
TEST_P(CleanStream, AnySplitMakesTheOneDecodersImage)
{
    const std::string name = std::string(GetParam()) + ".ogg";
    std::mt19937 rng(static_cast<unsigned>(std::hash<std::string>()(name)));
    for (bool memory : {false, true}) {
        for (int bps : {2, 1}) {
            const Conversion one = convert(name, memory, jobs(1), bps);
            ASSERT_EQ(one.out.rc, 1) << kFrom[memory];
            const int64_t frames = framesOf(one.out);
            ASSERT_GE(frames, OGG_MAX_RANGES);
            std::vector<std::vector<int64_t>> plans = {{1}, {frames - 1}, {1, frames - 1}};
            for (int n = 2; n <= (bps == 2 ? OGG_MAX_RANGES : 4); ++n) {
                std::vector<int64_t> equal, random;
                std::uniform_int_distribution<int64_t> pick(1, frames - 1);
                while (static_cast<int>(random.size()) < n - 1) {
                    const int64_t c = pick(rng);
                    if (std::find(random.begin(), random.end(), c) == random.end())
                        random.push_back(c);
                }
                std::sort(random.begin(), random.end());
                for (int i = 1; i < n; ++i)
                    equal.push_back(frames * i / n);
                plans.push_back(equal);
                plans.push_back(random);
            }
            for (const std::vector<int64_t>& cuts : plans) {
                std::string what = std::string(kFrom[memory]) + ", " + std::to_string(bps * 8) + " bits, cut at";
                for (int64_t c : cuts)
                    what += " " + std::to_string(c);
                const Conversion split = convert(name, memory, cutAt(cuts), bps);
                EXPECT_EQ(split.ranges, static_cast<int>(cuts.size()) + 1) << what << ": not split";
                expectSame(split.out, one.out, what);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CleanStream,
                         testing::Values("mono8000", "stereo8000", "mono22050", "stereo22050", "mono44100",
                                         "stereo44100", "mono48000", "stereo48000", "six48000", "tiny", "loud",
                                         "smallpages", "intact", "chain_a", "mix_a"),
                         [](const testing::TestParamInfo<const char*>& i) { return std::string(i.param); });

// Granule positions, page numbers, flags or pages that are off, and more
// than one logical stream: a decoder seeking into such a stream may land
// elsewhere than one decoding from the start, so one decoder makes the
// image, with its own failures and cuts.
TEST(SplitDecode, StreamsThatMisplaceTheirSamplesKeepOneDecoder)
{
    const char* const streams[] = {
        "offset.ogg",   "negstart.ogg", // granules start at 4096; below the first page's samples
        "longend.ogg",  "shortend.ogg", // last granule beyond the samples; cutting more than a packet
        "gap.ogg",      "noeos.ogg",    // a page number skipped; no end-of-stream flag
        "trailing.ogg", "damaged.ogg",  // bytes after the last page; a page failing its checksum
        "truncated.ogg",                // cut off inside a page
        "midgranule.ogg", "wholetrim.ogg", // a middle page a sample ahead; the last packet cut away whole
        "earlyeos.ogg", "lastpagegone.ogg", // the end flagged a page early; cut off after a whole page
        "chained.ogg",  "samechain.ogg", "mixchain.ogg", // two links: of one format, one serial, two formats
    };
    const std::vector<std::vector<int64_t>> plans = {{11025}, {5000, 15000}, {1, 2, 3, 20000}};
    for (const char* name : streams) {
        for (bool memory : {false, true}) {
            const Conversion one = convert(name, memory, jobs(1));
            for (const std::vector<int64_t>& cuts : plans) {
                const std::string what = std::string(name) + " " + kFrom[memory] + " in " +
                                         std::to_string(cuts.size() + 1) + " ranges";
                const Conversion split = convert(name, memory, cutAt(cuts));
                EXPECT_LE(split.ranges, 1) << what << ": split";
                expectSame(split.out, one.out, what);
            }
        }
    }
}

// Up to 3 bytes after the last page are the host's rounding of a variable's
// storage to whole words; more leave the stream to one decoder.
TEST(SplitDecode, BytesAfterTheLastPageInAVariable)
{
    const size_t size = readFile(fixture("intact.ogg")).size();
    const std::vector<int64_t> cuts = {30000, 60000};
    for (size_t padding = 0; padding < 8; ++padding) {
        const size_t after = (size + padding + 3) / 4 * 4 - size;
        const Conversion split = convert("intact.ogg", true, cutAt(cuts), 2, padding);
        EXPECT_EQ(split.ranges, after <= 3 ? 3 : 1) << after << " bytes after the last page";
        expectSame(split.out, convert("intact.ogg", true, jobs(1), 2, padding).out, std::to_string(after));
    }
}

// A worker that fails (as one that cannot open its decoder would) sends the
// stream back to one decoder from the start, whichever range it had.
TEST(SplitDecode, AFailedWorkerMeansOneDecoderFromTheStart)
{
    const std::vector<int64_t> cuts = {20000, 40000, 60000};
    for (bool memory : {false, true}) {
        const Conversion one = convert("intact.ogg", memory, jobs(1));
        ASSERT_EQ(one.out.rc, 1);
        for (int fail = 0; fail < 4; ++fail) {
            const Conversion run = convert("intact.ogg", memory, cutAt(cuts, fail));
            EXPECT_EQ(run.ranges, 1) << kFrom[memory] << ", range " << fail;
            expectSame(run.out, one.out, std::string(kFrom[memory]) + ", range " + std::to_string(fail) + " failed");
        }
    }
}

// jobs 1 is one decoder; more give that many ranges on a long stream, but
// never more than the stream is worth; the converters that the loaders call
// take the machine's cores.
TEST(SplitDecode, JobsBoundTheRanges)
{
    for (bool memory : {false, true}) {
        const Conversion one = convert("long.ogg", memory, jobs(1));
        ASSERT_EQ(one.out.rc, 1);
        EXPECT_EQ(one.ranges, 1);
        const Conversion three = convert("long.ogg", memory, jobs(3));
        EXPECT_EQ(three.ranges, 3);
        expectSame(three.out, one.out, "3 jobs");
        const Conversion many = convert("long.ogg", memory, jobs(OGG_MAX_RANGES));
        EXPECT_GE(many.ranges, 2);
        EXPECT_LT(many.ranges, OGG_MAX_RANGES) << "fourteen seconds are not worth sixteen decoders";
        expectSame(many.out, one.out, "16 jobs");
        EXPECT_EQ(convert("stereo44100.ogg", memory, jobs(8)).ranges, 1) << "half a second is not worth two";
    }
    void* image = kUntouched;
    int32_t size = -7;
    const int rc = oggFileToWave(fixture("long.ogg").c_str(), 2, &image, &size);
    expectSame(finish(rc, image, size), convert("long.ogg", false, jobs(1)).out, "the machine's cores");
}

} // namespace

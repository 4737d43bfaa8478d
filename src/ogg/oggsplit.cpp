// Decoding one stream on several cores. A decoder that seeks to a frame
// decodes the packet before it first, so from that frame on it delivers the
// very samples that one decoder running from the start delivers there; on a
// stream whose granule positions agree with its packets (the page check),
// equal ranges decoded side by side, each by a decoder of its own, make the
// same image byte for byte.
//
// The threads live inside one conversion and are joined before it returns.
// A worker touches only its own decoder (over its own FILE, or its own memory
// stream over the caller's bytes, which it only reads) and its own part of
// the image.
#include <stdio.h>

#include <thread>

#include "decoding.h"

namespace {

// A range is worth a thread and a decoder of its own only when it is long:
// opening and seeking a decoder costs about 0.3 ms, starting and joining a
// thread about 0.1 ms natively and up to 3 ms under Wine, and 2^18 samples
// (3 s of 44.1 kHz stereo) take about 3 ms to decode on one core.
enum { MIN_SAMPLES_PER_RANGE = 1 << 18 };

int machineJobs()
{
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores < 1)
        return 1;
    return cores > OGG_MAX_JOBS ? OGG_MAX_JOBS : static_cast<int>(cores);
}

size_t fileRead(void* dest, size_t size, size_t count, void* stream)
{
    return fread(dest, size, count, static_cast<FILE*>(stream));
}

// The page check over the source's bytes, read afresh: a file in chunks
// through a FILE of its own, never whole; memory through a memory stream of
// its own. The host rounds a variable's storage up to whole words, so up to 3
// bytes may follow the last page there.
bool sourcePasses(const OggSource& src, int64_t* frames)
{
    if (src.path) {
        FILE* f = fopen(src.path, "rb");
        if (!f)
            return false;
        const bool ok = oggPageCheck(fileRead, f, 0, frames);
        fclose(f);
        return ok;
    }
    MemStream ms;
    ms.base = src.base;
    ms.length = src.length;
    ms.pos = 0;
    return oggPageCheck(memRead, &ms, 3, frames);
}

// One worker's share.
struct RangeJob {
    const OggSource* src;
    OggVorbis_File* vf; // the first range's: the decoder already open; the others open their own
    int64_t first;      // first frame
    int bytes_per_sample;
    unsigned char* dest; // where the range's first frame goes in the image
    int32_t want;        // bytes the range must deliver
    int32_t room;        // bytes it may write: want, or up to the block's end for the last range
    int32_t offset;      // of dest in the samples, for split->decodedPart
    const OggSplit* split;
    bool fail; // the plan's failing range
    bool ok;
};

void decodeRange(RangeJob* job)
{
    job->ok = false;
    if (job->fail)
        return;
    OggVorbis_File own;
    MemStream ms;
    OggVorbis_File* vf = job->vf;
    if (!vf) {
        if (!oggOpenDecoder(*job->src, &own, &ms))
            return;
        vf = &own;
    }
    if (job->first == 0 || ov_pcm_seek(vf, job->first) == 0) {
        // 8-bit WAVE samples are unsigned, 16-bit ones signed.
        const int sgned = job->bytes_per_sample == 2 ? 1 : 0;
        int32_t done = 0, told = 0;
        long got = 1;
        const OggSplit* tell = job->split && job->split->decodedPart ? job->split : nullptr;
        // The last range ends as one decoder ends: at the end of the stream,
        // or when the block is full.
        while (done < job->room) {
            int link = 0;
            got = ov_read(vf, reinterpret_cast<char*>(job->dest) + done, job->room - done, 0, job->bytes_per_sample,
                          sgned, &link);
            if (got <= 0)
                break;
            done += static_cast<int32_t>(got);
            if (tell && done - told >= OGG_PART_BYTES && done <= job->want) {
                tell->decodedPart(tell->context, job->offset + told, job->dest + told, done - told);
                told = done;
            }
        }
        job->ok = got >= 0 && done == job->want;
        if (tell && job->ok && done > told)
            tell->decodedPart(tell->context, job->offset + told, job->dest + told, done - told);
    }
    if (vf == &own)
        ov_clear(&own);
}

} // namespace

int oggPlanRanges(const OggSource& src, OggVorbis_File* vf, int channels, int bytes_per_sample, int32_t capacity,
                  const OggSplit* split, const OggPlan* plan, int64_t* starts)
{
    const int64_t total = ov_pcm_total(vf, -1);
    if (total <= 0 || channels <= 0)
        return 1;
    // Every frame must fit the block, so that the last range ends at the
    // stream's end as one decoder does, not at the block's.
    if (total > capacity / (channels * bytes_per_sample))
        return 1;
    int n;
    if (plan) {
        n = plan->cutCount + 1;
        if (plan->cutCount < 1 || n > OGG_MAX_RANGES)
            return 1;
        starts[0] = 0;
        for (int i = 0; i < plan->cutCount; ++i) {
            const int64_t cut = plan->cuts[i];
            if (cut <= starts[i] || cut >= total)
                return 1;
            starts[i + 1] = cut;
        }
    } else {
        n = split && split->jobs > 0 ? split->jobs : machineJobs();
        if (n > OGG_MAX_RANGES)
            n = OGG_MAX_RANGES;
        const int64_t worth = total * channels / MIN_SAMPLES_PER_RANGE;
        if (n > worth)
            n = static_cast<int>(worth);
        if (n < 2)
            return 1;
        for (int i = 0; i < n; ++i)
            starts[i] = total * i / n;
    }
    starts[n] = total;
    int64_t frames = -1;
    if (!sourcePasses(src, &frames) || frames != total)
        return 1;
    return n;
}

bool oggDecodeRanges(const OggSource& src, OggVorbis_File* vf, const int64_t* starts, int ranges, int channels,
                      int bytes_per_sample, unsigned char* samples, int32_t capacity, const OggSplit* split,
                     const OggPlan* plan, int32_t* decoded)
{
    const int64_t frameBytes = static_cast<int64_t>(channels) * bytes_per_sample;
    RangeJob jobs[OGG_MAX_RANGES];
    for (int i = 0; i < ranges; ++i) {
        const int64_t offset = starts[i] * frameBytes;
        RangeJob& j = jobs[i];
        j.src = &src;
        j.vf = i == 0 ? vf : nullptr;
        j.first = starts[i];
        j.bytes_per_sample = bytes_per_sample;
        j.dest = samples + offset;
        j.offset = static_cast<int32_t>(offset);
        j.split = split;
        j.want = static_cast<int32_t>((starts[i + 1] - starts[i]) * frameBytes);
        j.room = i + 1 < ranges ? j.want : static_cast<int32_t>(capacity - offset);
        j.fail = plan && i == plan->failRange;
        j.ok = false;
    }
    // The calling thread decodes the first range itself. A thread that
    // cannot be started leaves its range undecoded, and the caller decodes
    // the stream again with one decoder.
    std::thread threads[OGG_MAX_RANGES];
    int started = 1;
    try {
        for (; started < ranges; ++started)
            threads[started] = std::thread(decodeRange, &jobs[started]);
    } catch (...) {
    }
    decodeRange(&jobs[0]);
    for (int i = 1; i < started; ++i)
        threads[i].join();
    for (int i = 0; i < ranges; ++i) {
        if (!jobs[i].ok)
            return false;
    }
    *decoded = static_cast<int32_t>(starts[ranges] * frameBytes);
    return true;
}

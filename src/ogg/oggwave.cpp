// Ogg Vorbis to RIFF WAVE, decoded once, straight into its final place: the
// block is sized from the stream's duration, the decoder writes at offset 46
// onward, and the header goes last into the 46 bytes left free. The block
// grows only for a stream that decodes to more than its duration says.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "decoding.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

// A large image is faulted in 2 MiB pages where the system offers them: far
// fewer faults, and a cheaper release (the tool on Linux; Windows has no
// such hint for a heap block).
void adviseLargePages(void* block, size_t size)
{
#ifdef __linux__
    const uintptr_t page = 4096;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(page - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)block;
    (void)size;
#endif
}

void put16(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* p, uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

// RIFF, an 18-byte fmt chunk (a PCM format record and a zero count of extra
// bytes, as WAVEFORMATEX lays it out) and the data chunk's head.
void writeWaveHeader(unsigned char* image, int channels, long rate, int bytes_per_sample, uint32_t data_bytes)
{
    const uint32_t ch = static_cast<uint32_t>(channels);
    const uint32_t r = static_cast<uint32_t>(rate);
    const uint32_t bps = static_cast<uint32_t>(bytes_per_sample);
    memcpy(image + 0, "RIFF", 4);
    put32(image + 4, data_bytes + 38);
    memcpy(image + 8, "WAVE", 4);
    memcpy(image + 12, "fmt ", 4);
    put32(image + 16, 18);
    put16(image + 20, 1);
    put16(image + 22, ch);
    put32(image + 24, r);
    put32(image + 28, r * ch * bps);
    put16(image + 32, ch * bps);
    put16(image + 34, bps * 8);
    put16(image + 36, 0);
    memcpy(image + 38, "data", 4);
    put32(image + 42, data_bytes);
}

// Room for a block that the estimate left too small: what is needed now
// and a sixteenth more, so that a long overrun costs few copies. False when
// the image would pass the largest size or there is no memory, with that
// cause in *failure; the block stays as it was then.
bool growImage(unsigned char** image, int32_t* capacity, int64_t needed, OggFailure* failure)
{
    if (needed > WAVE_MAX_CAPACITY) {
        *failure = OGG_ETOOLONG;
        return false;
    }
    const int64_t wanted = needed + needed / 16;
    const int64_t largest = WAVE_MAX_CAPACITY;
    const int32_t grown = static_cast<int32_t>(wanted < largest ? wanted : largest);
    void* block = realloc(*image, static_cast<size_t>(grown) + WAVE_HEADER_BYTES);
    if (!block) {
        *failure = OGG_ENOMEM;
        return false;
    }
    *image = static_cast<unsigned char*>(block);
    *capacity = grown;
    return true;
}

// One decoder from where it stands to the end of the stream. A decoder error
// fails the whole conversion, unless keepPartial asks to end the image at
// the samples decoded before it. *channels and *rate come in as the current
// link's and go out as the image's. True with *decoded_out set; false with
// the cause in *failure after an error or when the block could not grow (it
// is still *image then).
bool decodeSequential(OggVorbis_File* vf, bool keepPartial, int* channels, long* rate, int bytes_per_sample,
                      unsigned char** image, int32_t* capacity, const OggSplit* split, int32_t* decoded_out,
                      OggFailure* failure)
{
    // 8-bit WAVE samples are unsigned, 16-bit ones signed.
    const int sgned = bytes_per_sample == 2 ? 1 : 0;
    // The first samples may come from a link of wider frames than the
    // current one's (up to 255 channels): until they are in, a block with
    // room for less than that counts as full.
    int32_t frameBytes = 255 * bytes_per_sample;
    const OggSplit* tell = split && split->decodedPart ? split : nullptr;
    // Where the decoder goes on once the block is full. The estimate from
    // the duration holds for nearly every stream, and then this only hears
    // the end; a stream whose first audio page declares a negative granule
    // position decodes to more than its duration says, and the block grows.
    char spare[4096];
    int32_t decoded = 0, told = 0;
    int lastLink = -1;
    for (;;) {
        const bool full = *capacity - decoded < frameBytes;
        char* dest = full ? spare : reinterpret_cast<char*>(*image) + WAVE_HEADER_BYTES + decoded;
        int link = 0;
        const long got = ov_read(vf, dest, full ? static_cast<int>(sizeof spare) : *capacity - decoded, 0,
                                 bytes_per_sample, sgned, &link);
        if (got == 0)
            break;
        if (got < 0) {
            if (keepPartial)
                break;
            *failure = OGG_EDAMAGED;
            return false;
        }
        // One header describes the whole image: the link of the first
        // samples decides it (a first link without samples of its own has
        // no say), and a chained link of another channel count or rate ends
        // it, before its samples are counted (each read delivers samples of
        // one link only).
        if (link != lastLink) {
            const vorbis_info* li = ov_info(vf, link);
            if (!li)
                break;
            if (lastLink < 0) {
                *channels = li->channels;
                *rate = li->rate;
                frameBytes = *channels * bytes_per_sample;
            } else if (li->channels != *channels || li->rate != *rate) {
                break;
            }
            lastLink = link;
        }
        if (full) {
            if (!growImage(image, capacity, static_cast<int64_t>(decoded) + got, failure))
                return false;
            memcpy(*image + WAVE_HEADER_BYTES + decoded, spare, static_cast<size_t>(got));
        }
        decoded += static_cast<int32_t>(got);
        // A block that grew has moved: the stretch is told from where it is.
        if (tell && decoded - told >= OGG_PART_BYTES) {
            tell->decodedPart(tell->context, told, *image + WAVE_HEADER_BYTES + told, decoded - told);
            told = decoded;
        }
    }
    if (tell && decoded > told)
        tell->decodedPart(tell->context, told, *image + WAVE_HEADER_BYTES + told, decoded - told);
    *decoded_out = decoded;
    return true;
}

// The variable's storage as the decoder may read it: word_count * 4 bytes,
// none for a non-positive count or a missing buffer, and no more than a
// signed 32-bit position can reach.
uint32_t storageBytes(const TolvoVar* var)
{
    if (var->word_count <= 0 || !var->data)
        return 0;
    const int64_t bytes = static_cast<int64_t>(var->word_count) * 4;
    return bytes > 0x7ffffffc ? 0x7ffffffcu : static_cast<uint32_t>(bytes);
}

} // namespace

// From a source to a finished image; every decoder is cleared on every path.
// A stream that passes the page check is decoded in ranges side by side; any
// other, and any whose ranges do not all come out whole, by one decoder from
// the start, as the ranges would have made it.
bool oggConvert(const OggSource& src, int bytes_per_sample, void** image_out, int32_t* size_out, OggSplit* split,
                const OggPlan* plan, OggFailure* failure)
{
    OggFailure unasked;
    if (!failure)
        failure = &unasked;
    *failure = OGG_CONVERTED;
    if (split)
        split->ranges = 0;
    MemStream ms;
    OggVorbis_File vf;
    if (!oggOpenDecoder(src, &vf, &ms, failure))
        return false;
    const vorbis_info* vi = ov_info(&vf, -1);
    if (!vi) {
        ov_clear(&vf);
        *failure = OGG_EBADHEADER;
        return false;
    }
    int channels = vi->channels;
    long rate = vi->rate;

    int32_t capacity = 0;
    const double seconds = ov_time_total(&vf, -1);
    if (!oggCapacity(seconds, channels, rate, bytes_per_sample, &capacity)) {
        ov_clear(&vf);
        // The library cannot tell the duration of a stream whose links it
        // could not place.
        *failure = seconds >= 0.0 ? OGG_ETOOLONG : OGG_EBADHEADER;
        return false;
    }

    unsigned char* image = static_cast<unsigned char*>(malloc(static_cast<size_t>(capacity) + WAVE_HEADER_BYTES));
    *image_out = image;
    if (!image) {
        ov_clear(&vf);
        *failure = OGG_ENOMEM;
        return false;
    }
    adviseLargePages(image, static_cast<size_t>(capacity) + WAVE_HEADER_BYTES);

    OggVorbis_File* dec = &vf;
    OggVorbis_File again;
    MemStream msAgain;
    int64_t starts[OGG_MAX_RANGES + 1];
    int ranges = oggPlanRanges(src, &vf, channels, bytes_per_sample, capacity, split, plan, starts);
    int32_t decoded = 0;
    if (ranges > 1 &&
        !oggDecodeRanges(src, &vf, starts, ranges, channels, bytes_per_sample, image + WAVE_HEADER_BYTES,
                         capacity, split, plan, &decoded)) {
        // The first range's decoder has moved on: a fresh one starts again,
        // opened before the old one lets go of the file.
        ranges = 1;
        const bool reopened = oggOpenDecoder(src, &again, &msAgain, failure);
        ov_clear(&vf);
        if (!reopened) {
            free(image);
            *image_out = nullptr;
            return false;
        }
        dec = &again;
    }
    if (ranges <= 1) {
        const bool whole = decodeSequential(dec, !src.path, &channels, &rate, bytes_per_sample, &image, &capacity,
                                            split, &decoded, failure);
        // A block that grew has moved.
        *image_out = image;
        if (!whole) {
            free(image);
            *image_out = nullptr;
            ov_clear(dec);
            return false;
        }
    }

    writeWaveHeader(image, channels, rate, bytes_per_sample, static_cast<uint32_t>(decoded));
    ov_clear(dec);
    *size_out = decoded + WAVE_HEADER_BYTES;
    if (split)
        split->ranges = ranges;
    return true;
}

OggSource oggVariableSource(const TolvoVar* var)
{
    return OggSource{nullptr, static_cast<const unsigned char*>(var->data), storageBytes(var)};
}

bool oggCapacity(double seconds, int channels, long rate, int bytes_per_sample, int32_t* capacity_out)
{
    // Written so that a NaN fails too. The library answers a negative error
    // code when it cannot tell the duration (a stream it cannot seek in).
    if (!(seconds >= 0.0))
        return false;
    // The frame rate is multiplied in 64 bits: no stream header can make it
    // wrap around.
    const double frameRate = static_cast<double>(static_cast<int64_t>(channels) * rate);
    // duration * rate lands a hair off the exact byte count; the ceiling
    // gives that count or one byte more, never one byte less.
    const double bytes = ceil(seconds * frameRate * bytes_per_sample);
    if (!(bytes >= 0.0 && bytes <= static_cast<double>(WAVE_MAX_CAPACITY)))
        return false;
    *capacity_out = static_cast<int32_t>(bytes);
    return true;
}

bool oggOpenDecoder(const OggSource& src, OggVorbis_File* vf, MemStream* ms, OggFailure* failure)
{
    int opened;
    if (src.path) {
        FILE* f = fopen(src.path, "rb");
        if (!f) {
            if (failure)
                *failure = OGG_EOPEN;
            return false;
        }
        // On success ov_clear closes the file; on failure it is still ours.
        opened = ov_open(f, vf, nullptr, 0);
        if (opened < 0)
            fclose(f);
    } else {
        ms->base = src.base;
        ms->length = src.length;
        ms->pos = 0;
        opened = ov_open_callbacks(ms, vf, nullptr, 0, g_memCallbacks);
    }
    // The library answers OV_EREAD also when a chained link's headers
    // cannot be placed, whatever the source.
    if (opened < 0 && failure)
        *failure = opened == OV_ENOTVORBIS ? OGG_ENOTVORBIS : OGG_EBADHEADER;
    return opened >= 0;
}

int oggFileToWaveSplit(const char* path, int bytes_per_sample, void** image_out, int32_t* size_out, OggSplit* split,
                       OggFailure* failure)
{
    if (!path || (bytes_per_sample != 1 && bytes_per_sample != 2)) {
        if (failure)
            *failure = OGG_EARGUMENT;
        return 0;
    }
    return oggConvert(OggSource{path, nullptr, 0}, bytes_per_sample, image_out, size_out, split, nullptr, failure)
               ? 1
               : 0;
}

int oggMemToWaveSplit(const TolvoVar* var, int bytes_per_sample, void** image_out, int32_t* size_out, OggSplit* split,
                      OggFailure* failure)
{
    if (!var || (bytes_per_sample != 1 && bytes_per_sample != 2)) {
        if (failure)
            *failure = OGG_EARGUMENT;
        return 0;
    }
    // The memory streams live on the converter's and the workers' frames;
    // every decoder is done with them before the return.
    return oggConvert(oggVariableSource(var), bytes_per_sample, image_out, size_out, split, nullptr, failure) ? 1 : 0;
}

int oggFileToWave(const char* path, int bytes_per_sample, void** image_out, int32_t* size_out)
{
    return oggFileToWaveSplit(path, bytes_per_sample, image_out, size_out, nullptr);
}

int oggMemToWave(const TolvoVar* var, int bytes_per_sample, void** image_out, int32_t* size_out)
{
    return oggMemToWaveSplit(var, bytes_per_sample, image_out, size_out, nullptr);
}

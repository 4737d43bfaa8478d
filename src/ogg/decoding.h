// Inside the conversion: the memory stream, the decoder's sources, the page
// check and the ranges, shared by the sources in this folder and their tests.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Only ov_open and ov_open_callbacks with our own callbacks are used: the
// header's static callback tables would be unused in every source.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "oggwave.h"

// Sample bytes to allocate for a stream of `seconds` (all links) in the
// format of its current link: the ceiling of seconds * channels * rate *
// bytes_per_sample. False when the duration is unknown or negative, or
// when the image would not fit a signed 32-bit size.
bool oggCapacity(double seconds, int channels, long rate, int bytes_per_sample, int32_t* capacity_out);

// A read-only stream over bytes that the caller owns. pos may be set
// anywhere by memSeek; reads copy only what lies inside base .. base+length.
struct MemStream {
    const unsigned char* base;
    uint32_t length; // at most INT32_MAX, so that pos can reach the end
    int32_t pos;
};

// The ov_callbacks functions over a MemStream.
size_t memRead(void* dest, size_t size, size_t count, void* stream);
int memSeek(void* stream, ogg_int64_t offset, int whence);
int memClose(void* stream);
long memTell(void* stream);

// read, seek, close, tell: the order of ov_callbacks.
extern const ov_callbacks g_memCallbacks;

// Where a stream's bytes are: a file by name, or memory that the caller owns.
struct OggSource {
    const char* path;
    const unsigned char* base;
    uint32_t length;
};
// A host variable's storage as the decoder may read it: word_count * 4
// bytes, none for a non-positive count or a missing buffer, and no more
// than a signed 32-bit position can reach.
OggSource oggVariableSource(const TolvoVar* var);
// Open a decoder at the start of the source; ms is the memory stream that a
// memory source reads through, and must outlive the decoder. True when open;
// false with the cause in *failure (when given).
bool oggOpenDecoder(const OggSource& src, OggVorbis_File* vf, MemStream* ms, OggFailure* failure = nullptr);

// Ranges that a test or the fuzz target places itself, where a user's split
// only says how many: they start at frame 0 and at `cuts` (ascending, inside
// the stream), however short it is; the worker of range `failRange` (-1:
// none) reports an error.
struct OggPlan {
    const int64_t* cuts;
    int cutCount;
    int failRange;
};
// The conversion behind the converters, from a source; bytes_per_sample is
// 1 or 2. plan null: the ranges that the stream's length and the split
// give. The result and *image_out as the converters answer them; false
// with the cause in *failure (when given).
bool oggConvert(const OggSource& src, int bytes_per_sample, void** image_out, int32_t* size_out, OggSplit* split,
                const OggPlan* plan, OggFailure* failure = nullptr);

// The ranges to decode the open decoder's stream in: their first frames in
// starts[0 .. n-1], the stream's frame count in starts[n]; returns n, or 1
// when the stream is to be decoded by one decoder from start to end.
int oggPlanRanges(const OggSource& src, OggVorbis_File* vf, int channels, int bytes_per_sample, int32_t capacity,
                  const OggSplit* split, const OggPlan* plan, int64_t* starts);
// Decode the planned ranges side by side into `samples` (the image after its
// header, capacity bytes); vf decodes the first range. True with *decoded
// set when every range delivered exactly its bytes, false otherwise (vf has
// then moved on).
bool oggDecodeRanges(const OggSource& src, OggVorbis_File* vf, const int64_t* starts, int ranges, int channels,
                     int bytes_per_sample, unsigned char* samples, int32_t capacity, const OggSplit* split,
                     const OggPlan* plan, int32_t* decoded);

// Walk a whole stream page by page through `read` (fread's shape) and tell
// whether ranges of it decode as one decoder does: one logical stream whose
// pages are whole, numbered without a gap, first and last flagged, and whose
// granule positions equal the frame counts that its packets' block sizes
// give, starting at 0 and ending no earlier than inside the last packet. At
// most `slack` bytes may follow the last page. True with the stream's frame
// count (the last granule position) in *frames_out.
typedef size_t (*OggRead)(void* dest, size_t size, size_t count, void* stream);
bool oggPageCheck(OggRead read, void* stream, uint32_t slack, int64_t* frames_out);

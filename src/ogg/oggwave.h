// Internal header of the Ogg Vorbis to WAVE conversion: the two converters
// that the music loaders call, and the memory stream that feeds the decoder
// from a host variable. No Windows header: built natively too.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Only ov_open and ov_open_callbacks with our own callbacks are used: the
// header's static callback tables would be unused in every source.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "tolvo.h"

// Size of the RIFF/fmt/data header in front of the samples.
enum { WAVE_HEADER_BYTES = 46 };

// The largest sample capacity whose image size still fits a signed 32-bit
// size: 2^31 - 1 - 46.
enum : int32_t { WAVE_MAX_CAPACITY = 2147483647 - WAVE_HEADER_BYTES };

// Decode a whole Ogg Vorbis stream into a RIFF WAVE image in one malloc'd
// block. The block's address goes to *image_out as soon as it is allocated
// (and again if it has to grow) and belongs to the caller from then on;
// *size_out receives the image size
// (46 + sample bytes) on success only. bytes_per_sample is 1 (unsigned 8-bit
// samples) or 2 (signed 16-bit). Return 1 on success, 0 on failure.
int oggFileToWave(const char* path, int bytes_per_sample, void** image_out, int32_t* size_out);
// The same from the storage of a host variable: data, word_count * 4 bytes.
// A decoder error in mid-stream ends the image there instead of failing.
int oggMemToWave(const TolvoVar* var, int bytes_per_sample, void** image_out, int32_t* size_out);

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

// How a conversion splits its stream into ranges that workers decode side
// by side, each with a decoder of its own, straight into its part of the
// image. The converters above take the machine's cores; the tool, the tests
// and the benchmarks choose.
enum {
    OGG_MAX_RANGES = 16, // ranges of one conversion, however it is asked
    OGG_MAX_JOBS = 8,    // ranges when the machine's cores decide
};
struct OggSplit {
    int jobs = 0;                  // at most this many ranges; 0: the machine's cores; 1: one decoder
    const int64_t* cuts = nullptr; // tests: ranges start at frame 0 and at these frames
    int cutCount = 0;              //   (ascending, inside the stream), however short it is
    int failRange = -1;            // tests: the worker of this range reports an error
    int ranges = 0;                // out: ranges decoded side by side; 1 when one decoder made the image
    // The tool writes each stretch of samples out as soon as it is decoded:
    // called from the decoding threads, `offset` counted from the first
    // sample byte. After a split that falls back to one decoder, the
    // stretches come again from the start, and the later ones hold.
    void (*decodedPart)(void* context, int32_t offset, const unsigned char* bytes, int32_t n) = nullptr;
    void* context = nullptr;
};
// The stretch that decodedPart is told of at least, but the last of a range.
enum { OGG_PART_BYTES = 1 << 20 };
// The converters with a chosen split (null: the machine's). Whatever the
// split, the result is the one decoder's, byte for byte.
int oggFileToWaveSplit(const char* path, int bytes_per_sample, void** image_out, int32_t* size_out,
                       OggSplit* split);
int oggMemToWaveSplit(const TolvoVar* var, int bytes_per_sample, void** image_out, int32_t* size_out,
                      OggSplit* split);

// Where a stream's bytes are: a file by name, or memory that the caller owns.
struct OggSource {
    const char* path;
    const unsigned char* base;
    uint32_t length;
};
// Open a decoder at the start of the source; ms is the memory stream that a
// memory source reads through, and must outlive the decoder. True when open.
bool oggOpenDecoder(const OggSource& src, OggVorbis_File* vf, MemStream* ms);

// The ranges to decode the open decoder's stream in: their first frames in
// starts[0 .. n-1], the stream's frame count in starts[n]; returns n, or 1
// when the stream is to be decoded by one decoder from start to end.
int oggPlanRanges(const OggSource& src, OggVorbis_File* vf, int channels, int bytes_per_sample, int32_t capacity,
                  const OggSplit* split, int64_t* starts);
// Decode the planned ranges side by side into `samples` (the image after its
// header, capacity bytes); vf decodes the first range. True with *decoded
// set when every range delivered exactly its bytes, false otherwise (vf has
// then moved on).
bool oggDecodeRanges(const OggSource& src, OggVorbis_File* vf, const int64_t* starts, int ranges, int channels,
                    int bytes_per_sample, unsigned char* samples, int32_t capacity, const OggSplit* split,
                    int32_t* decoded);

// Walk a whole stream page by page through `read` (fread's shape) and tell
// whether ranges of it decode as one decoder does: one logical stream whose
// pages are whole, numbered without a gap, first and last flagged, and whose
// granule positions equal the frame counts that its packets' block sizes
// give, starting at 0 and ending no earlier than inside the last packet. At
// most `slack` bytes may follow the last page. True with the stream's frame
// count (the last granule position) in *frames_out.
typedef size_t (*OggRead)(void* dest, size_t size, size_t count, void* stream);
bool oggPageCheck(OggRead read, void* stream, uint32_t slack, int64_t* frames_out);

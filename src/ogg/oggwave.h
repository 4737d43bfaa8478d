// The Ogg Vorbis to WAVE conversion: the two converters that the music
// loaders call, and the forms with a chosen split that tolvo-ogg2wav, the
// benchmark and the tests call. No Windows header: built natively too.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "tolvo.h"

// Size of the RIFF/fmt/data header in front of the samples.
enum { WAVE_HEADER_BYTES = 46 };

// The largest sample capacity whose image size still fits a signed 32-bit
// size: 2^31 - 1 - 46.
enum : int32_t { WAVE_MAX_CAPACITY = 2147483647 - WAVE_HEADER_BYTES };

// Why a conversion answered 0, in the manner of libvorbisfile's OV_E* codes:
// a negative code for each cause. The music commands answer -1 whatever
// the cause; tolvo-ogg2wav tells its user which one it was.
enum OggFailure : int {
    OGG_CONVERTED = 0,
    OGG_EARGUMENT = -1,  // no file name or variable, or a sample size other than 1 or 2
    OGG_EOPEN = -2,      // the file cannot be opened
    OGG_ENOTVORBIS = -3, // no Ogg Vorbis stream begins there
    OGG_EBADHEADER = -4, // the headers (the first link's or a later one's) are damaged or cut off
    OGG_EDAMAGED = -5,   // damage in mid-stream, from a file (memory keeps the samples before it)
    OGG_ETOOLONG = -6,   // the image would reach 2 GiB
    OGG_ENOMEM = -7,     // no memory for the image: a 32-bit process runs out of room long before 2 GiB
};

// Decode a whole Ogg Vorbis stream into a RIFF WAVE image in one malloc'd
// block. bytes_per_sample is 1 (unsigned 8-bit samples) or 2 (signed
// 16-bit). Return 1 on success: *image_out holds the block, which the caller
// frees, and *size_out the image size (46 + sample bytes). Return 0 on
// failure: the converter has freed whatever it allocated, *image_out is
// null (or untouched when nothing was allocated) and *size_out untouched.
int oggFileToWave(const char* path, int bytes_per_sample, void** image_out, int32_t* size_out);
// The same from the storage of a host variable: data, word_count * 4 bytes.
// A decoder error in mid-stream ends the image there instead of failing.
int oggMemToWave(const TolvoVar* var, int bytes_per_sample, void** image_out, int32_t* size_out);

// How a conversion splits its stream into ranges that workers decode side
// by side, each with a decoder of its own, straight into its part of the
// image. The converters above take the machine's cores; the tool, the tests
// and the benchmarks choose.
enum {
    OGG_MAX_RANGES = 16, // ranges of one conversion, however it is asked
    OGG_MAX_JOBS = 8,    // ranges when the machine's cores decide
};
struct OggSplit {
    int jobs = 0;   // at most this many ranges; 0: the machine's cores; 1: one decoder
    int ranges = 0; // out: ranges decoded side by side; 1 when one decoder made the image
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
// split, the result is the one decoder's, byte for byte. On 0, *failure
// (when given) says why.
int oggFileToWaveSplit(const char* path, int bytes_per_sample, void** image_out, int32_t* size_out,
                       OggSplit* split, OggFailure* failure = nullptr);
int oggMemToWaveSplit(const TolvoVar* var, int bytes_per_sample, void** image_out, int32_t* size_out,
                      OggSplit* split, OggFailure* failure = nullptr);

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
// and belongs to the caller from then on; *size_out receives the image size
// (46 + sample bytes) on success only. bytes_per_sample is 1 (unsigned 8-bit
// samples) or 2 (signed 16-bit). Return 1 on success, 0 on failure.
int oggFileToWave(const char* path, int bytes_per_sample, void** image_out, int32_t* size_out);
// The same from the storage of a host variable: data, word_count * 4 bytes.
// A decoder error in mid-stream ends the image there instead of failing.
int oggMemToWave(const TolvoVar* var, int bytes_per_sample, void** image_out, int32_t* size_out);

// Sample bytes to allocate for a stream of `seconds` (all links) in the
// format of its current link: the ceiling of seconds * channels * rate *
// bytes_per_sample. Return 0 when the duration is unknown or negative, or
// when the image would not fit a signed 32-bit size.
int oggCapacity(double seconds, int channels, long rate, int bytes_per_sample, int32_t* capacity_out);

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

// A file system in memory for the fuzz targets, so that an input becomes a
// file without touching the disk. The target is linked with
// -Wl,--wrap=fopen: the code under test keeps its own fopen, fseek, fread
// and fclose calls, and an fopen of the one name that memfsPut gave opens a
// stdio stream over the bytes given (glibc's fopencookie). It reads and
// seeks as a disk file does: a seek past the end succeeds and the reads
// after it deliver nothing. Every other name goes to the real fopen.
#pragma once

#include <cstddef>
#include <cstdint>

// Until the next call, `name` opened for reading reads these bytes; the
// caller keeps them alive. Opening it for writing fails.
void memfsPut(const char* name, const uint8_t* data, size_t size);

// One fuzz input through the pack commands, shared by the libFuzzer target
// and the test that replays the seed corpus.
//
// Input: byte 0 flags (bits 0-1 how the position is written, bit 2 a second
// load), byte 1 the pack's position in the file, byte 2 the length k of the
// entry name, then k bytes of name, then the file's bytes. The file's bytes
// are handed to `store` under packFile (a name below 40 bytes), opened as a
// pack at that position and the name and the first names of its directory
// are sized and read. A broken invariant aborts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Makes the bytes readable as the file `name` (the fuzz target keeps them in
// memory, the replay test writes them to disk).
typedef void (*PackFileStore)(const char* name, const uint8_t* data, size_t size);

void packFuzzOne(const uint8_t* data, size_t size, const char* packFile, PackFileStore store);

// Inputs that reach each part of the reader: packs alone and inside files,
// every failure of the header and directory, odd names and sizes.
std::vector<std::vector<uint8_t>> packFuzzSeeds();

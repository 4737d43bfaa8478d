// Internal header of the DPMX pack reader. Portable: no Windows header.
//
// The pack file is not held open between commands: every lookup and every
// read opens it, does its work and closes it, and nothing of the directory
// stays in memory.
#pragma once

#include <cstdint>
#include <cstdio>

#include "tolvo.h"

// The pack named by the last tovdpmload that got past the sticky test.
extern char g_szPackName[64];    // file name, zero-terminated
extern int32_t g_nPackBase;      // the pack's position inside its file
extern uint32_t g_dwDataBase;    // file position of the data area (mod 2^32)
extern int32_t g_nEntryCount;    // the header's count, compared as signed
extern int32_t g_bPackOpen;      // 1 once a header with the right magic was read
extern unsigned char g_byRecord[32]; // the header, then each directory record

// The record that the last successful lookup found.
extern uint32_t g_dwEntryOffset;
extern uint32_t g_dwEntrySize;

// The buffer that the last tovdpmread attached to a variable; tovbye frees it.
// Earlier ones are not freed: script variables may still refer to them.
extern void* g_lpReadBuffer;

// A pack with entries is open: it stays in use, and a load does not even
// look at its text.
bool packStaysOpen();
// Opens the pack that "file,position" names, reading the text without
// writing it (tovdpmload cuts it). True when a pack is open.
bool openPack(const char* packText);

// Looks the name up in the open pack's directory. True when found
// (g_dwEntryOffset and g_dwEntrySize set); false when not found or no pack.
bool findEntry(const char* name);
// The same, handing the pack file on to the caller, who closes it: null
// when the entry is not found (the file is closed then).
FILE* openEntry(const char* name);

// Reads the data of the entry found last (g_dwEntrySize bytes) from the pack
// that openEntry gave. The number of bytes read, or -1 when the data lie
// where the platform cannot seek to.
int32_t readEntry(FILE* pack, void* buffer);

// The little-endian 32-bit value at byte offset of g_byRecord.
uint32_t recordDword(int offset);

// Resets a variable after a failed read or size: its first 16 words (all of
// them where it holds fewer) become zero and word_count says at most 16;
// type, kind and the data pointer stay, and a record without storage is
// left as it is.
void failureFill(TolvoVar* var);

// The reader's state as at load, for tests. Frees nothing.
void resetPackState();

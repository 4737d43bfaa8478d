// Internal header of the music subsystem: the DirectMusic engine, the 256
// music slots and the blocks their segments were made from. Windows only.
#pragma once

#include <windows.h>
#include <dmusici.h>
#include <dsound.h>

#include "tolvo.h"

enum { MUSIC_SLOT_COUNT = 256 };

// Made by initDMusic, released by releaseDMusic. Each holds one reference.
extern IDirectMusicPerformance8* g_lpPerformance;
extern IDirectMusicLoader8* g_lpLoader;
extern IDirectMusicAudioPath8* g_lpAudioPath; // null when the 3D path failed
// The audio path's buffer interfaces, fetched again by every call of
// tovmusicsetpos and tovmusicfx.
extern IDirectSound3DBuffer* g_lp3DBuffer;
extern IDirectSoundBuffer8* g_lpDSBuffer;
// The slots; an empty slot is null.
extern IDirectMusicSegment8* g_lpSegment[MUSIC_SLOT_COUNT];
// The last 3D position given to the audio path.
extern float g_fPosX;
extern float g_fPosY;
extern float g_fPosZ;

bool initDMusic();
void releaseDMusic();

// Both the performance and the loader exist.
bool musicEngineUp();
// The slot's segment, or null for an empty slot or a number outside 0..255.
IDirectMusicSegment8* slotSegment(int32_t slot);

// Blocks handed to the loader as memory (blocks.cpp). Each slot remembers
// the block its segment was made from. A segment that leaves its slot while
// it may still play is kept, with its block and the slot it left, on a list
// of retired segments until a later music command finds it silent, so that
// tovmusicstop of the slot still reaches it. g_pWaveImage names the most
// recent block; a block it names that music does not hold (one of `test`)
// is freed by the next writer or by tovbye.
extern void* g_pSlotImage[MUSIC_SLOT_COUNT];
// Set once the slot's segment was started with endless repeats, until the
// slot is stopped or emptied.
extern BOOL g_bSlotEndless[MUSIC_SLOT_COUNT];

// Whether the block belongs to a slot or a retired segment.
bool isMusicImage(const void* block);
// Frees the block g_pWaveImage names if music does not hold it, before a
// writer replaces the pointer.
void dropUntrackedImage();
// Frees a block that no segment reads; clears g_pWaveImage if it named it.
void freeImage(void* block);
// Empties a slot before a new segment goes in: music it plays without end is
// stopped, then its segment is released and its block freed, or both are
// retired while the segment may still play. False, with the slot as it was,
// when there is no memory to retire them.
bool emptySlot(int32_t slot);
// Stops the segments that left the slot and may still play: the first
// failure, or S_OK.
HRESULT stopRetiredSegments(int32_t slot);
// Releases the retired segments that are silent now and frees their blocks.
void sweepRetiredSegments();
// Teardown: releases every retired segment (after the slots were released).
void releaseRetiredSegments();
// Teardown, once no segment exists: frees every block music holds.
void freeAllImages();
// Number of segments retired and not yet released (for tests).
int retiredSegmentCount();

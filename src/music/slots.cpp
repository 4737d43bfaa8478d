// The music slots: loading segments from files and from host variables,
// playing, stopping and testing them by number.
#include <shlwapi.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "music.h"

#include "ogg/oggwave.h"
#include "plugin/boxes.h"
#include "plugin/com.h"
#include "plugin/globals.h"
#include "plugin/messages.h"
#include "plugin/syscalls.h"

namespace {

bool isSlotNumber(int32_t slot)
{
    return slot >= 0 && slot < MUSIC_SLOT_COUNT;
}

// An extension as Windows compares file names: whatever its case.
bool hasExtension(const char* extension, const char* wanted)
{
    return lstrcmpiA(extension, wanted) == 0;
}

// A Standard MIDI File header (14 bytes) whose time division is 0 ticks per
// quarter note: no valid file has one, and the platform's MIDI reader
// divides by it. Fewer bytes are left to the loader to judge.
bool isMidiWithoutTimeDivision(const unsigned char* bytes, size_t count)
{
    return count >= 14 && std::memcmp(bytes, "MThd", 4) == 0 && bytes[12] == 0 && bytes[13] == 0;
}

// The same for the file a name names, from its first 14 bytes.
bool isMidiFileWithoutTimeDivision(const char* file)
{
    unsigned char head[14];
    size_t count = 0;
    if (FILE* f = std::fopen(file, "rb")) {
        count = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
    }
    return isMidiWithoutTimeDivision(head, count);
}

// Marks a segment as a Standard MIDI File, so that it plays with the
// General MIDI instruments instead of waiting for bank selects.
bool markAsMidi(IDirectMusicSegment8* segment)
{
    return SUCCEEDED(segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr));
}

// Makes the slot's segment from a block of memory that holds a whole file.
// The block is the slot's from then on; if the loader refuses it, nothing
// reads it and it is freed. g_pWaveImage names the block on entry. False
// when the loader refused it (the slot is empty, `refusedText` is shown) or
// when there was no memory to keep the music the slot held (the slot is as
// it was, no box).
bool loadSlotFromMemory(int32_t slot, void* block, int32_t size, const char* refusedText)
{
    DMUS_OBJECTDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    desc.guidClass = CLSID_DirectMusicSegment;
    desc.pbMemData = static_cast<LPBYTE>(block);
    desc.llMemLength = size;

    if (!emptySlot(slot)) {
        freeImage(block);
        return false;
    }
    IDirectMusicSegment8* segment = nullptr;
    // A success without a segment is a refusal too.
    if (!obtained(g_lpLoader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&segment)),
                  segment)) {
        freeImage(block);
        showBoxWhileVerbose(refusedText);
        return false;
    }
    g_lpSegment[slot] = segment;
    g_pSlotImage[slot] = block;
    return true;
}

// Downloads the slot's band and starts its segment as a secondary segment
// on the shared 3D path. A failed download shows its box and plays nothing.
void playSegment(int32_t slot, IDirectMusicSegment8* segment, int32_t repeats, const char* downloadFailedText)
{
    if (FAILED(segment->Download(g_lpPerformance))) {
        showBoxWhileVerbose(downloadFailedText);
        return;
    }
    segment->SetRepeats(repeats < 0 ? DMUS_SEG_REPEAT_INFINITE : static_cast<DWORD>(repeats));
    g_lpPerformance->PlaySegmentEx(segment, nullptr, nullptr, DMUS_SEGF_SECONDARY | DMUS_SEGF_DEFAULT, 0, nullptr,
                                   nullptr, g_lpAudioPath);
    if (repeats < 0)
        g_bSlotEndless[slot] = TRUE;
}

} // namespace

extern "C" int TOLVO_CALL tovmusicload(int32_t slot, const char* name, int32_t, int32_t)
{
    if (!musicEngineUp())
        return -9;
    if (!isSlotNumber(slot))
        return -1;
    sweepRetiredSegments();
    // A relative name means the file in the folder current now, for every
    // kind of music: the existence test, the decoder, the damaged-MIDI check
    // and the loader all get its full path. Given the name, the loader would
    // look beside the program first, then here, then in its search folder
    // (tests/platform/music_relative_names.cpp), and could load another file
    // than the one checked. A path of 260 characters or more does not fit.
    char file[MAX_PATH];
    const DWORD length = name ? g_sys.GetFullPathNameA(name, MAX_PATH, file, nullptr) : 0;
    if (length == 0 || length >= MAX_PATH)
        return -1;
    if (g_sys.GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES)
        return -1;
    const char* extension = PathFindExtensionA(file);

    if (hasExtension(extension, ".ogg")) {
        dropUntrackedImage();
        int32_t size = 0;
        if (!oggFileToWave(file, 2, &g_pWaveImage, &size)) {
            showBoxWhileVerbose(kTextMusicLoadOggDecode);
            return -1;
        }
        return loadSlotFromMemory(slot, g_pWaveImage, size, kTextMusicLoadOgg) ? 0 : -1;
    }

    WCHAR wideName[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, file, -1, wideName, MAX_PATH) == 0)
        return -1;
    // Refused as damaged before the platform reads it; the slot stays.
    if (isMidiFileWithoutTimeDivision(file)) {
        showBoxWhileVerbose(kTextMusicLoadSegment);
        return -1;
    }
    if (!emptySlot(slot))
        return -1;
    if (!obtained(g_lpLoader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, wideName,
                                                 reinterpret_cast<void**>(&g_lpSegment[slot])),
                  g_lpSegment[slot])) {
        showBoxWhileVerbose(kTextMusicLoadSegment);
        return -1;
    }
    if (hasExtension(extension, ".mid") && !markAsMidi(g_lpSegment[slot]))
        return -1;
    return 0;
}

extern "C" int TOLVO_CALL tovmusicload2(TolvoVar* var, int32_t slot, int32_t, int32_t)
{
    if (!musicEngineUp())
        return -9;
    if (!isSlotNumber(slot))
        return -1;
    sweepRetiredSegments();
    // The storage holds 4 x word_count bytes; with no bytes there is nothing
    // to look at, and a count past 2 GiB cannot be a real storage.
    if (!var || var->word_count <= 0 || var->word_count > INT32_MAX / 4 || !var->data)
        return -1;
    const unsigned char* data = static_cast<const unsigned char*>(var->data);
    const int32_t bytes = var->word_count * 4;

    int32_t size = 0;
    if (data[0] == 'O' && data[1] == 'g' && data[2] == 'g') {
        // The start of an Ogg page: decoded into a WAVE image.
        dropUntrackedImage();
        if (!oggMemToWave(var, 2, &g_pWaveImage, &size)) {
            showBoxWhileVerbose(kTextMusicLoad2OggDecode);
            return -1;
        }
    } else {
        if (isMidiWithoutTimeDivision(data, static_cast<size_t>(bytes))) {
            showBoxWhileVerbose(kTextMusicLoad2Load);
            return -1;
        }
        // A WAVE file, a segment file or a MIDI file: the loader reads a copy
        // of the whole storage, which the host may change afterwards.
        void* copy = std::malloc(bytes);
        if (!copy)
            return -1;
        std::memcpy(copy, data, bytes);
        dropUntrackedImage();
        g_pWaveImage = copy;
        size = bytes;
    }
    if (!loadSlotFromMemory(slot, g_pWaveImage, size, kTextMusicLoad2Load))
        return -1;
    if (std::memcmp(data, "MThd", 4) == 0 && !markAsMidi(g_lpSegment[slot]))
        return -1;
    return 0;
}

extern "C" int TOLVO_CALL tovmusicplay(int32_t slot, int32_t repeats, int32_t, int32_t)
{
    IDirectMusicSegment8* segment = slotSegment(slot);
    if (!segment)
        return -1;
    if (!musicEngineUp())
        return -9;
    sweepRetiredSegments();
    // A failed download is no failure of the command: its box says so.
    playSegment(slot, segment, repeats, kTextMusicPlayBand);
    return 0;
}

extern "C" int TOLVO_CALL tovmusicplay2(int32_t slot, int32_t repeats, int32_t, int32_t)
{
    IDirectMusicSegment8* segment = slotSegment(slot);
    if (!segment)
        return -2;
    if (!musicEngineUp())
        return -9;
    sweepRetiredSegments();
    const HRESULT playing = g_lpPerformance->IsPlaying(segment, nullptr);
    if (FAILED(playing))
        return -2;
    if (playing == S_OK)
        return -1; // still sounding: not started again
    playSegment(slot, segment, repeats, kTextMusicPlay2Band);
    return 0;
}

extern "C" int TOLVO_CALL tovmusicstop(int32_t slot, int32_t, int32_t, int32_t)
{
    if (!musicEngineUp())
        return -9;
    // No segment (a negative number, an empty slot) stops all music.
    IDirectMusicSegment8* segment = slot < 0 ? nullptr : slotSegment(slot);
    HRESULT hr = g_lpPerformance->Stop(segment, nullptr, 0, 0);
    // A slot's music stops with what the slot held before a reload and may
    // still play.
    if (segment) {
        const HRESULT retired = stopRetiredSegments(slot);
        if (SUCCEEDED(hr))
            hr = retired;
    }
    if (SUCCEEDED(hr) && segment)
        g_bSlotEndless[slot] = FALSE;
    else if (SUCCEEDED(hr))
        std::fill(g_bSlotEndless, g_bSlotEndless + MUSIC_SLOT_COUNT, FALSE);
    // What was stopped may let go of its block now.
    sweepRetiredSegments();
    if (FAILED(hr)) {
        showBoxWhileVerbose(kTextMusicStop);
        return -1;
    }
    return 0;
}

extern "C" int TOLVO_CALL tovmusiccheck(int32_t slot, int32_t, int32_t, int32_t)
{
    if (!musicEngineUp())
        return -9;
    sweepRetiredSegments();
    // An empty slot is a failed test whatever the platform makes of a
    // missing segment.
    IDirectMusicSegment8* segment = slotSegment(slot);
    if (!segment)
        return -2;
    const HRESULT playing = g_lpPerformance->IsPlaying(segment, nullptr);
    if (FAILED(playing))
        return -2;
    return playing == S_OK ? -1 : 0;
}

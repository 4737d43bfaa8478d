// The DirectMusic engine: one performance, one loader and one 3D audio path,
// made at start-up and shared by every music command.
#include "music.h"

#include "plugin/boxes.h"
#include "plugin/com.h"
#include "plugin/messages.h"
#include "plugin/syscalls.h"

IDirectMusicPerformance8* g_lpPerformance = nullptr;
IDirectMusicLoader8* g_lpLoader = nullptr;
IDirectMusicAudioPath8* g_lpAudioPath = nullptr;
IDirectSound3DBuffer* g_lp3DBuffer = nullptr;
IDirectSoundBuffer8* g_lpDSBuffer = nullptr;
IDirectMusicSegment8* g_lpSegment[MUSIC_SLOT_COUNT] = {};
float g_fPosX = 0.0f;
float g_fPosY = 0.0f;
float g_fPosZ = 0.0f;

bool musicEngineUp()
{
    return g_lpPerformance && g_lpLoader;
}

IDirectMusicSegment8* slotSegment(int32_t slot)
{
    if (slot < 0 || slot >= MUSIC_SLOT_COUNT)
        return nullptr;
    return g_lpSegment[slot];
}

// A failed start leaves what it made in the globals; releaseDMusic takes it.
// A creation that succeeds without handing out its object fails like one
// that does not succeed.
bool initDMusic()
{
    if (!obtained(g_sys.CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                         IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&g_lpPerformance)),
                  g_lpPerformance)) {
        showBoxAlways(kTextInitDMusicPerformance);
        return false;
    }
    if (FAILED(g_lpPerformance->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64,
                                          DMUS_AUDIOF_ALL, nullptr))) {
        showBoxAlways(kTextInitDMusicInitAudio);
        return false;
    }
    if (!obtained(g_sys.CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                         reinterpret_cast<void**>(&g_lpLoader)),
                  g_lpLoader)) {
        showBoxAlways(kTextInitDMusicLoader);
        return false;
    }
    // The loader would otherwise keep every segment it makes (and, for a
    // segment made from memory, a stream over a block that the slots free
    // later): each load then gives a segment of its own that lives only as
    // long as its slot or the performance holds it. Objects that segments
    // share, such as DLS collections and styles, stay cached.
    g_lpLoader->EnableCache(CLSID_DirectMusicSegment, FALSE);

    // 259 characters and the terminator; a longer directory does not fit.
    char dir[MAX_PATH] = {};
    const DWORD length = g_sys.GetCurrentDirectoryA(MAX_PATH, dir);
    if (length == 0 || length >= MAX_PATH) {
        showBoxAlways(kTextInitDMusicCurrentDir);
        return false;
    }
    WCHAR wideDir[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, dir, -1, wideDir, MAX_PATH);
    wideDir[MAX_PATH - 1] = L'\0';
    // The loader looks here, whatever the current directory becomes later,
    // for the files a segment file names inside it (collections, styles,
    // waves); tovmusicload hands it full paths of its own.
    if (FAILED(g_lpLoader->SetSearchDirectory(GUID_DirectMusicAllTypes, wideDir, FALSE))) {
        showBoxAlways(kTextInitDMusicSearchPath);
        return false;
    }
    // Without the 3D path the engine still runs: segments play on the
    // default path and position and effects fail. Only a failed call shows
    // the box; a success without a path runs the same way.
    const HRESULT path = g_lpPerformance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_3D, 64, TRUE, &g_lpAudioPath);
    if (!obtained(path, g_lpAudioPath) && FAILED(path))
        showBoxAlways(kTextInitDMusicAudioPath);
    float tempo = 1.0f;
    g_lpPerformance->SetGlobalParam(GUID_PerfMasterTempo, &tempo, sizeof tempo);
    long volume = 0;
    g_lpPerformance->SetGlobalParam(GUID_PerfMasterVolume, &volume, sizeof volume);
    return true;
}

void releaseDMusic()
{
    if (g_lpPerformance)
        g_lpPerformance->Stop(nullptr, nullptr, 0, 0);
    releaseAndNull(g_lpDSBuffer);
    releaseAndNull(g_lp3DBuffer);
    releaseAndNull(g_lpAudioPath);
    releaseAndNull(g_lpLoader);
    for (int slot = 0; slot < MUSIC_SLOT_COUNT; ++slot) {
        releaseAndNull(g_lpSegment[slot]);
        g_bSlotEndless[slot] = FALSE;
    }
    releaseRetiredSegments();
    if (g_lpPerformance) {
        g_lpPerformance->CloseDown();
        releaseAndNull(g_lpPerformance);
    }
    // No segment is left to read a block.
    freeAllImages();
}

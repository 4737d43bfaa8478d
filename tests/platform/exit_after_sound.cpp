// exit-after-sound [--dsound] [--playing] [--settle MS]
//
// Plays half a second of a ten-second WAVE file from memory as the music
// commands do (a performance with its default audio path, a 3D audio path,
// a secondary segment), stops it, closes the performance down, releases
// everything, uninitializes COM and returns from main with 0: what a game
// does when it calls tovmusicstop and tovbye and quits. --dsound plays the
// same sound through a bare DirectSound buffer instead; --playing returns
// while it still sounds, releasing nothing; --settle sleeps so many
// milliseconds before returning.
//
// Wine 10 keeps the process's PulseAudio stream open after everything is
// released, until the process ends (`pactl list sink-inputs` shows it during
// --settle), and now and then kills the process after its last line, with
// libpulse's "Assertion '!e->dead' failed at ../src/pulse/mainloop.c" or
// glibc's "Fatal glibc error: ../nptl/pthread_mutex_lock.c ...
// (oldval & FUTEX_OWNER_DIED) == 0": its sound driver's process-detach
// disconnects the PulseAudio context without the driver's lock while the
// driver's main-loop thread, not yet killed by the process's exit, still
// runs that context, or was killed holding the lock. Measured on two busy
// cores: --dsound --playing 2 deaths in 400 runs (one of each), --playing 1
// in 200; released first, 0 in 550. The answer is a rate, so this program
// is run by hand, from a shell loop:
//
//   for i in $(seq 200); do TOLVO_PLATFORM=wine10 scripts/wine-run build/win32 build/win32/tests/platform/exit-after-sound.exe --dsound --playing >/dev/null 2>&1 || echo died; done | grep -c died
#include <windows.h>
#include <dmusici.h>
#include <dsound.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "unit/music/music_media.h"

namespace {

// Ten seconds of a 441 Hz square wave, 16-bit mono at 22050 Hz.
const std::vector<unsigned char> g_vecWave = waveFile(22050 * 10);
bool g_bStillPlaying = false;

bool playPerformance()
{
    IDirectMusicPerformance8* performance = nullptr;
    IDirectMusicLoader8* loader = nullptr;
    IDirectMusicAudioPath8* path = nullptr;
    IDirectMusicSegment8* segment = nullptr;
    bool played = false;
    if (SUCCEEDED(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                   IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&performance))) &&
        SUCCEEDED(performance->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64,
                                         DMUS_AUDIOF_ALL, nullptr)) &&
        SUCCEEDED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                   reinterpret_cast<void**>(&loader))) &&
        SUCCEEDED(performance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_3D, 64, TRUE, &path))) {
        DMUS_OBJECTDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
        desc.guidClass = CLSID_DirectMusicSegment;
        desc.pbMemData = const_cast<unsigned char*>(g_vecWave.data());
        desc.llMemLength = static_cast<LONGLONG>(g_vecWave.size());
        if (SUCCEEDED(loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&segment)))) {
            segment->Download(performance);
            played = SUCCEEDED(performance->PlaySegmentEx(segment, nullptr, nullptr,
                                                          DMUS_SEGF_SECONDARY | DMUS_SEGF_DEFAULT, 0, nullptr,
                                                          nullptr, path));
            Sleep(500);
            if (g_bStillPlaying)
                return played;
            performance->Stop(segment, nullptr, 0, 0);
            segment->Unload(performance);
            segment->Release();
        }
    }
    if (path)
        path->Release();
    if (loader)
        loader->Release();
    if (performance) {
        performance->CloseDown();
        performance->Release();
    }
    return played;
}

bool playDirectSound()
{
    IDirectSound8* sound = nullptr;
    IDirectSoundBuffer* buffer = nullptr;
    bool played = false;
    if (SUCCEEDED(DirectSoundCreate8(nullptr, &sound, nullptr)) &&
        SUCCEEDED(sound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY))) {
        WAVEFORMATEX format;
        std::memcpy(&format, &g_vecWave[20], 16);
        format.cbSize = 0;
        DSBUFFERDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = DSBCAPS_GLOBALFOCUS;
        desc.dwBufferBytes = static_cast<DWORD>(g_vecWave.size() - 44);
        desc.lpwfxFormat = &format;
        void* p = nullptr;
        DWORD n = 0;
        if (SUCCEEDED(sound->CreateSoundBuffer(&desc, &buffer, nullptr)) &&
            SUCCEEDED(buffer->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER))) {
            std::memcpy(p, &g_vecWave[44], n);
            buffer->Unlock(p, n, nullptr, 0);
            played = SUCCEEDED(buffer->Play(0, 0, 0));
            Sleep(500);
            if (g_bStillPlaying)
                return played;
            buffer->Stop();
        }
    }
    if (buffer)
        buffer->Release();
    if (sound)
        sound->Release();
    return played;
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    bool bare = false;
    DWORD settle = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dsound") == 0)
            bare = true;
        else if (std::strcmp(argv[i], "--playing") == 0)
            g_bStillPlaying = true;
        else if (std::strcmp(argv[i], "--settle") == 0 && i + 1 < argc)
            settle = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
    }
    CoInitialize(nullptr);
    const bool played = bare ? playDirectSound() : playPerformance();
    CoUninitialize();
    if (settle)
        Sleep(settle);
    std::printf("%s, released; returning\n", played ? "played" : "NOT played");
    return played ? 0 : 1;
}

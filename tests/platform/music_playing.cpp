// music-playing: what the performance says about a WAVE segment it plays,
// made and played as the music commands make and play one: from a block of
// memory, as a secondary segment on a 3D audio path, repeating without end.
#include <windows.h>
#include <dmusici.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform.h"
#include "unit/music/music_media.h"

namespace {

// References held beyond the caller's one.
std::string othersHolding(IUnknown* object)
{
    object->AddRef();
    return std::to_string(object->Release() - 1);
}

struct Engine {
    IDirectMusicPerformance8* performance = nullptr;
    IDirectMusicLoader8* loader = nullptr;
    IDirectMusicAudioPath8* path = nullptr;
    // Ten seconds of a 441 Hz square wave, 16-bit mono at 22050 Hz.
    std::vector<unsigned char> wave = waveFile(22050 * 10);

    bool start()
    {
        if (FAILED(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                    IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&performance))) ||
            FAILED(performance->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64,
                                          DMUS_AUDIOF_ALL, nullptr)) ||
            FAILED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                    reinterpret_cast<void**>(&loader))))
            return false;
        loader->EnableCache(CLSID_DirectMusicSegment, FALSE);
        return SUCCEEDED(performance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_3D, 64, TRUE, &path));
    }
    IDirectMusicSegment8* load()
    {
        DMUS_OBJECTDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
        desc.guidClass = CLSID_DirectMusicSegment;
        desc.pbMemData = wave.data();
        desc.llMemLength = static_cast<LONGLONG>(wave.size());
        IDirectMusicSegment8* segment = nullptr;
        loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&segment));
        return segment;
    }
    void play(IDirectMusicSegment8* segment)
    {
        segment->Download(performance);
        segment->SetRepeats(DMUS_SEG_REPEAT_INFINITE);
        performance->PlaySegmentEx(segment, nullptr, nullptr, DMUS_SEGF_SECONDARY | DMUS_SEGF_DEFAULT, 0, nullptr,
                                   nullptr, path);
    }
    void stop()
    {
        performance->Stop(nullptr, nullptr, 0, 0);
        path->Release();
        loader->Release();
        performance->CloseDown();
        performance->Release();
    }
};

} // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitialize(nullptr);
    Engine e;
    if (!e.start()) {
        std::printf("the music engine did not start\n");
        return 1;
    }
    int failures = 0;
    IDirectMusicSegment8* segment = e.load();
    if (!segment) {
        std::printf("the WAVE segment did not load\n");
        return 1;
    }
    e.play(segment);

    // The slots' "still sounding" test: Wine's IsPlaying is a stub.
    const Answer playing[] = {
        {"wine8", "0x00000001", "IsPlaying is a stub that answers S_FALSE"},
        {"wine10", "0x00000001", "IsPlaying is still a stub that answers S_FALSE"},
        {"windows", "0x00000000", "S_OK while the segment sounds"},
    };
    failures += expectAnswer("IsPlaying right after PlaySegmentEx", hexResult(e.performance->IsPlaying(segment, nullptr)),
                             playing);

    // What keeps a played segment (and so the block it was made from) alive.
    const Answer held[] = {
        {"wine8", "0", "nothing plays, so no segment state keeps it"},
        {"wine10", "1", "the segment state that plays it holds it"},
        {"windows", "*", "the performance's own business"},
    };
    failures += expectAnswer("references held on a playing segment", othersHolding(segment), held);
    e.performance->Stop(segment, nullptr, 0, 0);
    const Answer stopped[] = {
        {"wine8", "0", "nothing played"},
        {"wine10", "0", "Stop ends the segment state at once"},
        {"windows", "*", "the performance's own business"},
    };
    failures += expectAnswer("references held once it is stopped", othersHolding(segment), stopped);
    segment->Release();

    // What a thousand endless plays cost where they are mixed: the time of
    // ten loads and plays with none and with forty already sounding.
    DWORD tenFirst = 0, tenLast = 0;
    for (int i = 0; i < 50; ++i) {
        const DWORD t = GetTickCount();
        if (IDirectMusicSegment8* s = e.load()) {
            e.play(s);
            s->Release();
        }
        const DWORD spent = GetTickCount() - t;
        if (i < 10)
            tenFirst += spent;
        else if (i >= 40)
            tenLast += spent;
    }
    std::printf("figure: ten loads and endless plays took %lu ms with 0 to 9 playing, %lu ms with 40 to 49\n",
                static_cast<unsigned long>(tenFirst), static_cast<unsigned long>(tenLast));
    e.stop();
    CoUninitialize();
    return verdict(failures);
}

// music-playing: what the performance says about a WAVE segment it plays,
// made and played as the music commands make and play one: from a block of
// memory, as a secondary segment on a 3D audio path, repeating without end.
#include <windows.h>
#include <dmusici.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform.h"

namespace {

// Ten seconds of a 441 Hz square wave, 16-bit mono at 22050 Hz.
std::vector<unsigned char> waveFile()
{
    const uint32_t frames = 22050 * 10;
    std::vector<unsigned char> v(44 + frames * 2);
    auto u32 = [&](size_t at, uint32_t x) { std::memcpy(&v[at], &x, 4); };
    auto u16 = [&](size_t at, uint16_t x) { std::memcpy(&v[at], &x, 2); };
    std::memcpy(&v[0], "RIFF", 4);
    u32(4, 36 + frames * 2);
    std::memcpy(&v[8], "WAVEfmt ", 8);
    u32(16, 16);
    u16(20, 1);
    u16(22, 1);
    u32(24, 22050);
    u32(28, 44100);
    u16(32, 2);
    u16(34, 16);
    std::memcpy(&v[36], "data", 4);
    u32(40, frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const int16_t s = (i / 25) % 2 ? -8000 : 8000;
        std::memcpy(&v[44 + 2 * i], &s, 2);
    }
    return v;
}

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
    std::vector<unsigned char> wave = waveFile();

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
        {"wine-8", "0x00000001", "IsPlaying is a stub that answers S_FALSE"},
        {"wine-10", "0x00000001", "IsPlaying is still a stub that answers S_FALSE"},
        {"windows", "0x00000000", "S_OK while the segment sounds"},
    };
    failures += expectAnswer("IsPlaying right after PlaySegmentEx", hexResult(e.performance->IsPlaying(segment, nullptr)),
                             playing);

    // What keeps a played segment (and so the block it was made from) alive.
    const Answer held[] = {
        {"wine-8", "0", "nothing plays, so no segment state keeps it"},
        {"wine-10", "1", "the segment state that plays it holds it"},
        {"windows", "*", "the performance's own business"},
    };
    failures += expectAnswer("references held on a playing segment", othersHolding(segment), held);
    e.performance->Stop(segment, nullptr, 0, 0);
    const Answer stopped[] = {
        {"wine-8", "0", "nothing played"},
        {"wine-10", "0", "Stop ends the segment state at once"},
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
    return failures ? 1 : 0;
}

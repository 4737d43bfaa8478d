// midi-from-memory: a Standard MIDI File given to the DirectMusic loader by
// name and as a block of memory, as the music load commands give it.
#include <windows.h>
#include <dmusici.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform.h"

namespace {

// 68 bytes, format 0: a tempo, a program change, four notes; no padding.
const unsigned char kMidi[] = {
    'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,                          //
    'M', 'T', 'r', 'k', 0, 0, 0, 46,                                            //
    0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20, 0, 0xC0, 0,                             //
    0, 0x90, 60, 100, 48, 0x80, 60, 0, 0, 0x90, 64, 100, 48, 0x80, 64, 0,      //
    0, 0x90, 67, 100, 48, 0x80, 67, 0, 0, 0x90, 72, 100, 96, 0x80, 72, 0,      //
    0, 0xFF, 0x2F, 0,                                                           //
};
static_assert(sizeof kMidi == 68, "the file needs no word padding");

HRESULT fromMemory(IDirectMusicLoader8* loader, std::vector<unsigned char> bytes)
{
    DMUS_OBJECTDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    desc.guidClass = CLSID_DirectMusicSegment;
    desc.pbMemData = bytes.data();
    desc.llMemLength = static_cast<LONGLONG>(bytes.size());
    IDirectMusicSegment8* segment = nullptr;
    const HRESULT hr = loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&segment));
    if (segment)
        segment->Release();
    return hr;
}

HRESULT fromFile(IDirectMusicLoader8* loader)
{
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, path);
    std::strcat(path, "midi-from-memory.mid");
    if (FILE* f = std::fopen(path, "wb")) {
        std::fwrite(kMidi, 1, sizeof kMidi, f);
        std::fclose(f);
    }
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
    IDirectMusicSegment8* segment = nullptr;
    const HRESULT hr = loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, wide,
                                                  reinterpret_cast<void**>(&segment));
    if (segment)
        segment->Release();
    DeleteFileA(path);
    return hr;
}

} // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitialize(nullptr);
    IDirectMusicLoader8* loader = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                reinterpret_cast<void**>(&loader)))) {
        std::printf("no DirectMusic loader\n");
        return 1;
    }
    loader->EnableCache(CLSID_DirectMusicSegment, FALSE);
    const std::vector<unsigned char> exact(kMidi, kMidi + sizeof kMidi);
    auto padded = [&](size_t zeros) {
        std::vector<unsigned char> v = exact;
        v.resize(v.size() + zeros, 0);
        return v;
    };

    // Wine 10's loader reads memory through a stream whose Read fails
    // (E_FAIL) when asked for more than is left, where a file answers
    // S_FALSE with the bytes there are; its MIDI reader looks for another
    // track header at the end of the data and takes that failure as the
    // load's. Four zero bytes after the file end the track list before the
    // end of the block; fewer (a host variable's word padding) do not.
    const char* memoryFails = "the memory stream fails a read past its end; the MIDI reader reads one there";
    int failures = 0;
    struct Case {
        const char* question;
        HRESULT answer;
        const char* wine10;
        const char* why10;
    } cases[] = {
        {"68-byte MIDI by name", fromFile(loader), "0x00000000", "a file stream answers S_FALSE at its end"},
        {"68-byte MIDI from memory", fromMemory(loader, exact), "0x88781150", memoryFails},
        {"68-byte MIDI + 3 zero bytes from memory", fromMemory(loader, padded(3)), "0x88781150", memoryFails},
        {"68-byte MIDI + 4 zero bytes from memory", fromMemory(loader, padded(4)), "0x00000000",
         "a zero chunk name ends the track list before the end"},
    };
    for (const Case& c : cases) {
        const Answer answers[] = {
            {"wine8", "0x00000000", "Wine 8 takes a MIDI segment from a file or memory alike"},
            {"wine10", c.wine10, c.why10},
            {"windows", "0x00000000", "loading from memory is the documented equal of loading a file"},
        };
        failures += expectAnswer(c.question, hexResult(c.answer), answers);
    }
    loader->Release();
    CoUninitialize();
    return verdict(failures);
}

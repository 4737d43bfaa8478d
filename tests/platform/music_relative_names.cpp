// music-relative-names: where the DirectMusic loader finds a file that
// LoadObjectFromFile is given by a relative name, after the search folder
// was set to the folder current at the start (as the music engine's start
// sets it) and the current folder changed. Where a name stands in two
// folders, one copy is a Standard MIDI File and the other is not music, so
// that the answer tells which the loader took.
#include <windows.h>
#include <dmusici.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform.h"
#include "unit/music/music_media.h"

namespace {

bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

// What the loader made of the name: the MIDI file, the copy that is not
// music, or no file at all.
std::string load(IDirectMusicLoader8* loader, const std::string& name)
{
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, wide, MAX_PATH);
    IDirectMusicSegment8* segment = nullptr;
    const HRESULT hr = loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, wide,
                                                  reinterpret_cast<void**>(&segment));
    if (segment)
        segment->Release();
    if (SUCCEEDED(hr))
        return "the MIDI file";
    if (hr == DMUS_E_LOADER_FAILEDOPEN)
        return "no file (DMUS_E_LOADER_FAILEDOPEN)";
    return hr == DMUS_E_UNSUPPORTED_STREAM ? "the other copy (DMUS_E_UNSUPPORTED_STREAM)" : "the other copy " + hexResult(hr);
}

} // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    char tmp[MAX_PATH], program[MAX_PATH], saved[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    *std::strrchr(program, '\\') = '\0';
    GetCurrentDirectoryA(MAX_PATH, saved);
    const std::string tag = "tolvo-relative-" + platformName() + "-" + std::to_string(GetCurrentProcessId());
    const std::string search = std::string(tmp) + tag + "-search", current = std::string(tmp) + tag + "-current";
    CreateDirectoryA(search.c_str(), nullptr);
    CreateDirectoryA(current.c_str(), nullptr);
    // Names beside the program carry the tag: both platforms run it side by side.
    const std::string only = "search-only.mid", both = "both.mid", beside = tag + ".mid";
    const std::vector<unsigned char> midi = midiFile(), other(68, 'x');
    const struct {
        std::string path;
        const std::vector<unsigned char>& bytes;
    } files[] = {{search + "\\" + only, midi},  {search + "\\" + both, midi},       {current + "\\" + both, other},
                 {std::string(program) + "\\" + beside, midi}, {current + "\\" + beside, other}};
    int failures = 0;
    for (const auto& f : files)
        failures += writeBytes(f.path, f.bytes) ? 0 : 1;

    CoInitialize(nullptr);
    IDirectMusicLoader8* loader = nullptr;
    WCHAR wideSearch[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, search.c_str(), -1, wideSearch, MAX_PATH);
    if (!SetCurrentDirectoryA(search.c_str()) ||
        FAILED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                reinterpret_cast<void**>(&loader))) ||
        FAILED(loader->SetSearchDirectory(GUID_DirectMusicAllTypes, wideSearch, FALSE))) {
        std::printf("no DirectMusic loader with its search folder\n");
        return 1;
    }
    loader->EnableCache(CLSID_DirectMusicSegment, FALSE);
    SetCurrentDirectoryA(current.c_str());

    // Both Wines look beside the program first, then in the current folder,
    // and only then in the search folder.
    const char* order = "the program's folder, then the current one, then the search folder";
    const struct {
        const char* question;
        std::string name;
        const char* wine; // Wine 8 and Wine 10 alike
    } cases[] = {
        {"a name only in the search folder", only, "the MIDI file"},
        {"a name in the search folder (MIDI) and the current one (not music)", both,
         "the other copy (DMUS_E_UNSUPPORTED_STREAM)"},
        {"a name beside the program (MIDI) and in the current folder (not music)", beside, "the MIDI file"},
    };
    for (const auto& c : cases) {
        const Answer answers[] = {
            {"wine8", c.wine, order},
            {"wine10", c.wine, order},
            {"windows", "*", "not measured; the plug-in hands the loader full paths, which need no search"},
        };
        failures += expectAnswer(c.question, load(loader, c.name), answers);
    }
    loader->Release();
    CoUninitialize();

    SetCurrentDirectoryA(saved);
    for (const auto& f : files)
        DeleteFileA(f.path.c_str());
    RemoveDirectoryA(search.c_str());
    RemoveDirectoryA(current.c_str());
    return verdict(failures);
}

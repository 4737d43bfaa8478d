// music-relative-names: where the DirectMusic loader finds a file that
// LoadObjectFromFile is given by a relative name, after the search folder
// was set to the folder current at the start (as the music engine's start
// sets it) and the current folder changed. Each name stands in one or two
// of three folders: the search folder, the folder current at the call and
// the program's own folder. Where it stands twice, one copy is a Standard
// MIDI File and the other is not music, so that the answer tells which the
// loader took.
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
    const std::string tag = "tolvo-relative-" + std::to_string(GetCurrentProcessId());
    const std::string search = std::string(tmp) + tag + "-search", current = std::string(tmp) + tag + "-current";
    CreateDirectoryA(search.c_str(), nullptr);
    CreateDirectoryA(current.c_str(), nullptr);

    const std::vector<unsigned char> midi = midiFile();
    const std::vector<unsigned char> other(68, 'x');
    struct Place {
        const std::string& folder;
        const char* leaf;
        const std::vector<unsigned char>& bytes;
    };
    const std::string beside = program;
    const Place places[] = {
        {search, "search.mid", midi},   {current, "current.mid", midi}, {beside, "-beside.mid", midi},
        {search, "both.mid", midi},     {current, "both.mid", other},   {beside, "-beside-current.mid", midi},
        {current, "-beside-current.mid", other},
    };
    // Names beside the program carry the process's tag: tests run side by side.
    auto leafOf = [&](const char* leaf) { return leaf[0] == '-' ? tag + leaf : std::string(leaf); };
    std::vector<std::string> made;
    int failures = 0;
    for (const Place& p : places) {
        made.push_back(p.folder + "\\" + leafOf(p.leaf));
        if (!writeBytes(made.back(), p.bytes)) {
            std::printf("cannot write %s\n", made.back().c_str());
            ++failures;
        }
    }

    CoInitialize(nullptr);
    IDirectMusicLoader8* loader = nullptr;
    if (!SetCurrentDirectoryA(search.c_str()) ||
        FAILED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                reinterpret_cast<void**>(&loader)))) {
        std::printf("no DirectMusic loader\n");
        return 1;
    }
    loader->EnableCache(CLSID_DirectMusicSegment, FALSE);
    WCHAR wideSearch[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, search.c_str(), -1, wideSearch, MAX_PATH);
    const HRESULT set = loader->SetSearchDirectory(GUID_DirectMusicAllTypes, wideSearch, FALSE);
    SetCurrentDirectoryA(current.c_str());

    // Both Wines' loaders look for a relative name as SearchPathW does
    // without a path (the program's folder, then the current folder) and
    // only then in their search folder.
    const char* searchPathFirst = "the program's folder, then the current one, then the search folder";
    const char* notMeasured = "not measured here; the plug-in hands the loader a full path, which needs no search";
    struct Case {
        const char* question;
        std::string name;
        const char* wine; // Wine 8 and Wine 10 alike
    } cases[] = {
        {"a name only in the search folder", "search.mid", "the MIDI file"},
        {"a name only in the current folder", "current.mid", "the MIDI file"},
        {"a name only in the program's folder", leafOf("-beside.mid"), "the MIDI file"},
        {"a name in the search folder (MIDI) and the current folder (not music)", "both.mid",
         "the other copy (DMUS_E_UNSUPPORTED_STREAM)"},
        {"a name in the program's folder (MIDI) and the current folder (not music)", leafOf("-beside-current.mid"),
         "the MIDI file"},
    };
    failures += expectAnswer("SetSearchDirectory", hexResult(set),
                             {Answer{"wine8", "0x00000000", "a folder that exists"},
                              Answer{"wine10", "0x00000000", "a folder that exists"},
                              Answer{"windows", "0x00000000", "a folder that exists"}});
    for (const Case& c : cases) {
        const Answer answers[] = {
            {"wine8", c.wine, searchPathFirst},
            {"wine10", c.wine, searchPathFirst},
            {"windows", "*", notMeasured},
        };
        failures += expectAnswer(c.question, load(loader, c.name), answers);
    }
    loader->Release();
    CoUninitialize();

    SetCurrentDirectoryA(saved);
    for (const std::string& file : made)
        DeleteFileA(file.c_str());
    RemoveDirectoryA(search.c_str());
    RemoveDirectoryA(current.c_str());
    return verdict(failures);
}

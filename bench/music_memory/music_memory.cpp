// music-memory: loads the same music 1000 times into one slot through the
// plug-in's own commands on the real DirectMusic and prints the process's
// private bytes after 10 and after 1000 loads, and the growth in images
// (kept blocks would cost one image per load; the slots keep at most two).
// The Ogg Vorbis rows decode two seconds of stereo at every load.
#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "music/music.h"
#include "plugin/globals.h"
#include "plugin/syscalls.h"
#include "unit/music/music_media.h"

namespace {

int g_failures = 0;

// One row: `load` puts the music into slot 0 once.
template <class Load> void row(const char* what, size_t imageBytes, Load load)
{
    size_t after10 = 0;
    for (int i = 1; i <= 1000; ++i) {
        if (load() != 0) {
            std::printf("%-34s load %d failed\n", what, i);
            ++g_failures;
            return;
        }
        if (i == 10)
            after10 = privateBytes();
    }
    const size_t after1000 = privateBytes();
    const double growth = static_cast<double>(after1000) - static_cast<double>(after10);
    std::printf("%-34s %9zu %12zu %12zu %10.0f %9.2f\n", what, imageBytes, after10, after1000, growth,
                imageBytes ? growth / static_cast<double>(imageBytes) : 0.0);
}

} // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitialize(nullptr);
    if (!initDMusic()) {
        std::printf("the music engine did not start\n");
        return 1;
    }

    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string wavePath = std::string(tmp) + "music-memory.wav";
    const std::vector<unsigned char> wave = waveFile(22050 * 10); // ten seconds
    FILE* f = std::fopen(wavePath.c_str(), "wb");
    std::fwrite(wave.data(), 1, wave.size(), f);
    std::fclose(f);
    HostVar waveVar(wave);
    HostVar midiVar(midiFile());
    const std::string oggPath = oggFixture("intact.ogg");
    HostVar oggVar(readFile(oggPath));
    const size_t oggImage = 46 + 352800; // what it decodes to

    std::printf("%-34s %9s %12s %12s %10s %9s\n", "1000 loads into slot 0", "image", "private@10", "private@1000",
                "growth", "images");
    row("WAVE from a variable", wave.size(), [&] { return tovmusicload2(&waveVar.rec, 0, 0, 0); });
    row("WAVE from a variable, each played", wave.size(), [&] {
        tovmusicstop(0, 0, 0, 0); // as a game replaces its music
        const int r = tovmusicload2(&waveVar.rec, 0, 0, 0);
        return r ? r : tovmusicplay(0, -1, 0, 0);
    });
    row("MIDI from a variable", midiVar.storage.size() * 4, [&] { return tovmusicload2(&midiVar.rec, 0, 0, 0); });
    // A file load hands the loader no block: the image column is the file.
    row("WAVE file", wave.size(), [&] { return tovmusicload(0, wavePath.c_str(), 0, 0); });
    row("Ogg Vorbis from a variable", oggImage, [&] { return tovmusicload2(&oggVar.rec, 0, 0, 0); });
    row("Ogg Vorbis from a variable, played", oggImage, [&] {
        tovmusicstop(0, 0, 0, 0); // as a game replaces its music
        const int r = tovmusicload2(&oggVar.rec, 0, 0, 0);
        return r ? r : tovmusicplay(0, -1, 0, 0);
    });
    row("Ogg Vorbis file", oggImage, [&] { return tovmusicload(0, oggPath.c_str(), 0, 0); });

    tovmusicstop(-1, 0, 0, 0);
    releaseDMusic();
    std::free(g_pWaveImage);
    g_pWaveImage = nullptr;
    DeleteFileA(wavePath.c_str());
    CoUninitialize();
    return g_failures ? 1 : 0;
}

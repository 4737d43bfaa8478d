// tovinit and tovbye: the start and the end of the module.
#include <cstdlib>

#include "lifecycle.h"

#include "boxes.h"
#include "globals.h"
#include "messages.h"
#include "syscalls.h"
#include "input/input.h"
#include "movie/movie.h"
#include "music/music.h"
#include "pack/pack.h"

const EngineTable kRealEngines = {
    initDInput, initDMusic, initDShow, releaseDInput, releaseDMusic, releaseDShow,
};
EngineTable g_engines = kRealEngines;

extern "C" int TOLVO_CALL tovinit(TolvoWindowInfo* info, int32_t init_mask, int32_t verbose, int32_t)
{
    // A host that passes no record gets no window: the engines that need one
    // fail in their own way instead of the plug-in reading address 52.
    g_hWnd = info ? static_cast<HWND>(info->hwnd) : nullptr;
    g_hInstance = info ? static_cast<HINSTANCE>(info->hinstance) : nullptr;

    if (verbose == 1)
        g_nVerbose = 1;

    // S_FALSE (already initialised single-threaded here) counts as success.
    if (FAILED(g_sys.CoInitialize(nullptr))) {
        showBoxWhileVerbose(kTextTovinitCom);
        return -1;
    }
    // Each success, S_FALSE too, is one initialisation to end.
    ++g_nComInitCount;

    // Bit 0 input, bit 1 music, bit 2 movie; any mask outside 1..7 starts all
    // three. An engine that is started again is released first, and every
    // COM start is counted for tovbye, so a second tovinit without tovbye
    // leaks nothing and counts no joystick twice.
    const int mask = (init_mask >= 1 && init_mask <= 7) ? init_mask : 7;
    if (mask & 1) {
        g_engines.releaseDInput();
        g_engines.initDInput();
    }
    if (mask & 2) {
        g_engines.releaseDMusic();
        g_engines.initDMusic();
    }
    if (mask & 4) {
        g_engines.releaseDShow();
        g_engines.initDShow();
    }

    saveUserSettings();
    return 0;
}

extern "C" int TOLVO_CALL tovbye(int32_t, int32_t, int32_t, int32_t)
{
    g_engines.releaseDInput();
    g_engines.releaseDMusic();
    g_engines.releaseDShow();

    // The segments that may read the last image are gone now; releaseDMusic
    // freed the blocks music held, so what g_pWaveImage still names is one
    // that nothing else frees.
    if (g_lpReadBuffer) {
        std::free(g_lpReadBuffer);
        g_lpReadBuffer = nullptr;
    }
    if (g_pWaveImage) {
        std::free(g_pWaveImage);
        g_pWaveImage = nullptr;
    }

    // A game that ends with the settings switched off leaves the machine as
    // it found it.
    if (g_bSettingsSuppressed)
        restoreUserSettings();

    // Only what tovinit started: the host's own initialisation stays.
    for (; g_nComInitCount > 0; --g_nComInitCount)
        g_sys.CoUninitialize();
    return 0;
}

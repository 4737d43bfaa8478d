// Module globals of the frame and the one place where boxes are shown.
#include "frame.h"

#include "messages.h"
#include "seam.h"
#include "../input/input.h"
#include "../movie/movie.h"
#include "../music/music.h"

HWND g_hWnd = nullptr;
HINSTANCE g_hInstance = nullptr;
int g_nVerbose = 1;
BOOL g_bScreenSaveActive = 0;
BOOL g_bPowerOffActive = 0;
BOOL g_bLowPowerActive = 0;
BOOL g_bSettingsSaved = 0;
BOOL g_bSettingsSuppressed = 0;
int g_nComInitCount = 0;
void* g_pWaveImage = nullptr;

const EngineTable kRealEngines = {
    initDInput, initDMusic, initDShow, releaseDInput, releaseDMusic, releaseDShow,
};
EngineTable g_engines = kRealEngines;

void showBoxWithCaption(const char* text, const char* caption)
{
    // No owner window, MB_OK: the box is modal on the script thread.
    g_sys.MessageBoxA(nullptr, text, caption, MB_OK);
}

void showEngineBox(const char* text)
{
    showBoxWithCaption(text, kTextBoxCaption);
}

void showCommandBox(const char* text)
{
    if (g_nVerbose == 1)
        showBoxWithCaption(text, kTextBoxCaption);
}

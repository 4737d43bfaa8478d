// The module globals of the plug-in frame: the host's window and instance,
// the verbose flag, the user's settings, the COM count and the last memory
// image. Windows builds only.
#pragma once

#include <windows.h>

#include "tolvo.h"

// Set by tovinit from the host's window-info record.
extern HWND g_hWnd;
extern HINSTANCE g_hInstance;

// 1 while command boxes are shown. It starts at 1 and nothing sets it to 0,
// so guarded boxes appear whatever tovinit's third argument holds.
extern int g_nVerbose;

// The user's screen-saver and power settings, saved by tovinit and written
// back by a restore. They outlive the process (they live in the user's
// profile), so only values read from the user's settings are ever written
// back: g_bSettingsSaved says there are some. g_bSettingsSuppressed is set
// while this module has switched them off and not restored them since.
extern BOOL g_bScreenSaveActive;
extern BOOL g_bPowerOffActive;
extern BOOL g_bLowPowerActive;
extern BOOL g_bSettingsSaved;
extern BOOL g_bSettingsSuppressed;

// Successful CoInitialize calls of tovinit that tovbye has not undone yet:
// COM is ended exactly as often as this module started it, so a host that
// initialised COM on its thread itself keeps its own initialisation.
extern int g_nComInitCount;

// The last in-memory file image of the music loaders (or of `test`). The
// music slots keep their own blocks until no segment reads them (and free
// them at releaseDMusic); a writer frees the old block only when music does
// not hold it. tovbye frees the one it still names.
extern void* g_pWaveImage;

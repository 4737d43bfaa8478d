#include "globals.h"

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

#include "boxes.h"

#include "globals.h"
#include "syscalls.h"

void showBoxAlways(const char* text, const char* caption)
{
    // No owner window, MB_OK: the box is modal on the script thread.
    g_sys.MessageBoxA(nullptr, text, caption, MB_OK);
}

void showBoxWhileVerbose(const char* text, const char* caption)
{
    if (g_nVerbose == 1)
        showBoxAlways(text, caption);
}

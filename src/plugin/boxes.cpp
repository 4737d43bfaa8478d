#include "boxes.h"

#include "globals.h"
#include "messages.h"
#include "syscalls.h"

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

#include "boxes.h"

#include "globals.h"
#include "syscalls.h"

namespace {

// A box's text in UTF-16, made from its code page 932 bytes: through the
// wide API the box shows the same Japanese on a Windows of any language,
// where the ANSI call would read the bytes in the system's own code page.
// Every text is the plug-in's own and far shorter than the buffer.
struct WideText {
    wchar_t text[512];
    explicit WideText(const char* cp932)
    {
        if (!MultiByteToWideChar(932, 0, cp932, -1, text, 512))
            text[0] = L'\0';
    }
};

} // namespace

void showBoxAlways(const char* text, const char* caption)
{
    // No owner window, MB_OK: the box is modal on the script thread.
    g_sys.MessageBoxW(nullptr, WideText(text).text, WideText(caption).text, MB_OK);
}

void showBoxWhileVerbose(const char* text, const char* caption)
{
    if (g_nVerbose == 1)
        showBoxAlways(text, caption);
}

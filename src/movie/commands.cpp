// The six movie commands over the one filter graph.
#include "movie.h"

#include <evcode.h>

#include "plugin/boxes.h"
#include "plugin/globals.h"
#include "plugin/messages.h"
#include "plugin/syscalls.h"

namespace {

// OLE Automation booleans of IVideoWindow::put_Visible.
const long kOaTrue = -1;
const long kOaFalse = 0;

// A child window that clips its siblings.
const long kVideoWindowStyle = WS_CHILD | WS_CLIPSIBLINGS;

} // namespace

extern "C" int TOLVO_CALL tovmovieload(const char* path, int32_t, int32_t, int32_t)
{
    if (!g_lpGraph || !g_lpMediaControl || !g_lpMediaSeeking || !g_lpVideoWindow || !path)
        return -1;
    if (g_sys.GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return -1;

    // A path that does not fit MAX_PATH wide characters with its terminator
    // is refused before the graph is touched, instead of rendering a name
    // that was cut short or left unterminated.
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0)
        return -1;

    if (FAILED(g_lpMediaControl->Stop()))
        return -1;
    LONGLONG start = 0;
    g_lpMediaSeeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);

    if (FAILED(g_lpGraph->RenderFile(wide, nullptr)))
        return -1;
    if (FAILED(g_lpVideoWindow->put_Owner(reinterpret_cast<OAHWND>(g_hWnd))))
        return -1;
    if (FAILED(g_lpVideoWindow->put_WindowStyle(kVideoWindowStyle)))
        return -1;

    // The video covers the host window's client area as it is now; a client
    // rectangle starts at 0, 0, so right and bottom are the width and height.
    RECT client = {0, 0, 0, 0};
    g_sys.GetClientRect(g_hWnd, &client);
    if (FAILED(g_lpVideoWindow->SetWindowPosition(client.left, client.top, client.right, client.bottom)))
        return -1;
    return 0;
}

extern "C" int TOLVO_CALL tovmovieplay(int32_t, int32_t, int32_t, int32_t)
{
    if (!g_lpVideoWindow || !g_lpMediaControl)
        return -1;
    if (FAILED(g_lpVideoWindow->put_Visible(kOaTrue)))
        return -1;
    if (FAILED(g_lpMediaControl->Run()))
        return -1;
    return 0;
}

extern "C" int TOLVO_CALL tovmoviestop(int32_t, int32_t, int32_t, int32_t)
{
    if (!g_lpMediaControl)
        return -1;
    return FAILED(g_lpMediaControl->Stop()) ? -1 : 0;
}

extern "C" int TOLVO_CALL tovmoviecheck(int32_t, int32_t, int32_t, int32_t)
{
    if (!g_lpMediaEvent)
        return -1;
    // Never waits. Only a playback that ran to its end counts as finished;
    // an abort or an error event leaves the answer at -1.
    long code = 0;
    g_lpMediaEvent->WaitForCompletion(0, &code);
    return code == EC_COMPLETE ? 0 : -1;
}

extern "C" int TOLVO_CALL tovmoviesize(int32_t left, int32_t top, int32_t width, int32_t height)
{
    if (!g_lpVideoWindow)
        return -1;
    return FAILED(g_lpVideoWindow->SetWindowPosition(left, top, width, height)) ? -1 : 0;
}

extern "C" int TOLVO_CALL tovmoviefree(int32_t, int32_t, int32_t, int32_t)
{
    if (!g_lpMediaControl || !g_lpVideoWindow)
        return -1;
    g_lpMediaControl->Stop();
    // When the window cannot be hidden, everything stays as it was.
    if (FAILED(g_lpVideoWindow->put_Visible(kOaFalse)))
        return -1;

    // Only a new graph is empty: the old one is thrown away with its movie.
    releaseGraph();
    return createGraph(showBoxWhileVerbose, kTextMovieFreeCreate) ? 0 : -1;
}

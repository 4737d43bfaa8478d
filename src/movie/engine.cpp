// The movie engine: the filter graph's creation and release.
#include "movie.h"

#include <uuids.h>

#include "plugin/boxes.h"
#include "plugin/com.h"
#include "plugin/messages.h"
#include "plugin/syscalls.h"

IGraphBuilder* g_lpGraph = nullptr;
IMediaControl* g_lpMediaControl = nullptr;
IMediaEvent* g_lpMediaEvent = nullptr;
IMediaSeeking* g_lpMediaSeeking = nullptr;
IVideoWindow* g_lpVideoWindow = nullptr;

// A call that succeeds without handing out its interface fails like one that
// does not succeed.
bool createGraph(void (*showBox)(const char*, const char*), const char* creationBox)
{
    if (!obtained(g_sys.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         reinterpret_cast<void**>(&g_lpGraph)),
                  g_lpGraph)) {
        showBox(creationBox, kTextBoxCaption);
        return false;
    }
    // The order of the queries is the order of the release, reversed.
    if (!obtained(g_lpGraph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&g_lpMediaControl)), g_lpMediaControl))
        return false;
    if (!obtained(g_lpGraph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&g_lpMediaEvent)), g_lpMediaEvent))
        return false;
    if (!obtained(g_lpGraph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&g_lpMediaSeeking)), g_lpMediaSeeking))
        return false;
    if (!obtained(g_lpGraph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&g_lpVideoWindow)), g_lpVideoWindow))
        return false;
    return true;
}

void releaseGraph()
{
    releaseAndNull(g_lpVideoWindow);
    releaseAndNull(g_lpMediaSeeking);
    releaseAndNull(g_lpMediaEvent);
    releaseAndNull(g_lpMediaControl);
    releaseAndNull(g_lpGraph);
}

bool initDShow()
{
    return createGraph(showBoxAlways, kTextInitDShowCreate);
}

void releaseDShow()
{
    if (g_lpMediaControl)
        g_lpMediaControl->Stop();
    // The video window is neither hidden nor detached first: releasing the
    // graph destroys it.
    releaseGraph();
}

#include "fakes/fake_dshow.h"

#include <uuids.h>

#include <algorithm>

#include "fakes/fault_plan.h"

namespace {

// What the fake does with a method the plug-in does not use.
#define FAKE_NOTIMPL(name, ...)                                                                                        \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return this->g_->notImplemented(#name); }

const char* interfaceName(REFIID iid)
{
    if (iid == IID_IUnknown)
        return "IUnknown";
    if (iid == IID_IFilterGraph)
        return "IFilterGraph";
    if (iid == IID_IGraphBuilder)
        return "IGraphBuilder";
    if (iid == IID_IMediaControl)
        return "IMediaControl";
    if (iid == IID_IMediaEvent)
        return "IMediaEvent";
    if (iid == IID_IMediaSeeking)
        return "IMediaSeeking";
    if (iid == IID_IVideoWindow)
        return "IVideoWindow";
    return "other";
}

} // namespace

// Each interface is a part of its own, so that the graph can tell through
// which interface a reference was taken or dropped.
template <typename I>
class GraphPart : public I {
public:
    GraphPart(FakeGraph* g, const char* name) : g_(g), name_(name) {}
    virtual ~GraphPart() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        g_->calls.push_back(std::string("AddRef ") + name_);
        if (g_->refs <= 0)
            g_->usedAfterRelease = true;
        return static_cast<ULONG>(++g_->refs);
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        g_->calls.push_back(std::string("Release ") + name_);
        if (g_->refs <= 0) {
            g_->usedAfterRelease = true;
            return 0;
        }
        return static_cast<ULONG>(--g_->refs);
    }

    FakeGraph* g_;
    const char* name_;
};

template <typename I>
class DispatchPart : public GraphPart<I> {
public:
    using GraphPart<I>::GraphPart;
    FAKE_NOTIMPL(GetTypeInfoCount, UINT*)
    FAKE_NOTIMPL(GetTypeInfo, UINT, LCID, ITypeInfo**)
    FAKE_NOTIMPL(GetIDsOfNames, REFIID, LPOLESTR*, UINT, LCID, DISPID*)
    FAKE_NOTIMPL(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
};

class BuilderPart : public GraphPart<IGraphBuilder> {
public:
    using GraphPart::GraphPart;
    FAKE_NOTIMPL(AddFilter, IBaseFilter*, LPCWSTR)
    FAKE_NOTIMPL(RemoveFilter, IBaseFilter*)
    FAKE_NOTIMPL(EnumFilters, IEnumFilters**)
    FAKE_NOTIMPL(FindFilterByName, LPCWSTR, IBaseFilter**)
    FAKE_NOTIMPL(ConnectDirect, IPin*, IPin*, const AM_MEDIA_TYPE*)
    FAKE_NOTIMPL(Reconnect, IPin*)
    FAKE_NOTIMPL(Disconnect, IPin*)
    FAKE_NOTIMPL(SetDefaultSyncSource)
    FAKE_NOTIMPL(Connect, IPin*, IPin*)
    FAKE_NOTIMPL(Render, IPin*)
    HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR file, LPCWSTR playList) override
    {
        g_->renderedFiles.push_back(file ? file : L"(null)");
        g_->playListWasNull.push_back(playList == nullptr);
        return g_->record("RenderFile");
    }
    FAKE_NOTIMPL(AddSourceFilter, LPCWSTR, LPCWSTR, IBaseFilter**)
    FAKE_NOTIMPL(SetLogFile, DWORD_PTR)
    FAKE_NOTIMPL(Abort)
    FAKE_NOTIMPL(ShouldOperationContinue)
};

class ControlPart : public DispatchPart<IMediaControl> {
public:
    using DispatchPart::DispatchPart;
    HRESULT STDMETHODCALLTYPE Run() override { return g_->record("Run"); }
    FAKE_NOTIMPL(Pause)
    HRESULT STDMETHODCALLTYPE Stop() override { return g_->record("Stop"); }
    FAKE_NOTIMPL(GetState, LONG, OAFilterState*)
    FAKE_NOTIMPL(RenderFile, BSTR)
    FAKE_NOTIMPL(AddSourceFilter, BSTR, IDispatch**)
    FAKE_NOTIMPL(get_FilterCollection, IDispatch**)
    FAKE_NOTIMPL(get_RegFilterCollection, IDispatch**)
    FAKE_NOTIMPL(StopWhenReady)
};

class EventPart : public DispatchPart<IMediaEvent> {
public:
    using DispatchPart::DispatchPart;
    FAKE_NOTIMPL(GetEventHandle, OAEVENT*)
    FAKE_NOTIMPL(GetEvent, long*, LONG_PTR*, LONG_PTR*, long)
    HRESULT STDMETHODCALLTYPE WaitForCompletion(long timeout, long* code) override
    {
        g_->waitTimeouts.push_back(timeout);
        g_->note("WaitForCompletion");
        if (HRESULT hr; comFault("graph", "WaitForCompletion", hr))
            return hr; // the event code is not written
        if (code)
            *code = g_->eventCode;
        return g_->waitResult;
    }
    FAKE_NOTIMPL(CancelDefaultHandling, long)
    FAKE_NOTIMPL(RestoreDefaultHandling, long)
    FAKE_NOTIMPL(FreeEventParams, long, LONG_PTR, LONG_PTR)
};

class SeekingPart : public GraphPart<IMediaSeeking> {
public:
    using GraphPart::GraphPart;
    FAKE_NOTIMPL(GetCapabilities, DWORD*)
    FAKE_NOTIMPL(CheckCapabilities, DWORD*)
    FAKE_NOTIMPL(IsFormatSupported, const GUID*)
    FAKE_NOTIMPL(QueryPreferredFormat, GUID*)
    FAKE_NOTIMPL(GetTimeFormat, GUID*)
    FAKE_NOTIMPL(IsUsingTimeFormat, const GUID*)
    FAKE_NOTIMPL(SetTimeFormat, const GUID*)
    FAKE_NOTIMPL(GetDuration, LONGLONG*)
    FAKE_NOTIMPL(GetStopPosition, LONGLONG*)
    FAKE_NOTIMPL(GetCurrentPosition, LONGLONG*)
    FAKE_NOTIMPL(ConvertTimeFormat, LONGLONG*, const GUID*, LONGLONG, const GUID*)
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                           DWORD stopFlags) override
    {
        g_->seeks.push_back({current ? *current : -1, currentFlags, stop == nullptr, stopFlags});
        return g_->record("SetPositions");
    }
    FAKE_NOTIMPL(GetPositions, LONGLONG*, LONGLONG*)
    FAKE_NOTIMPL(GetAvailable, LONGLONG*, LONGLONG*)
    FAKE_NOTIMPL(SetRate, double)
    FAKE_NOTIMPL(GetRate, double*)
    FAKE_NOTIMPL(GetPreroll, LONGLONG*)
};

class WindowPart : public DispatchPart<IVideoWindow> {
public:
    using DispatchPart::DispatchPart;
    FAKE_NOTIMPL(put_Caption, BSTR)
    FAKE_NOTIMPL(get_Caption, BSTR*)
    HRESULT STDMETHODCALLTYPE put_WindowStyle(long style) override
    {
        g_->styles.push_back(style);
        return g_->record("put_WindowStyle");
    }
    FAKE_NOTIMPL(get_WindowStyle, long*)
    FAKE_NOTIMPL(put_WindowStyleEx, long)
    FAKE_NOTIMPL(get_WindowStyleEx, long*)
    FAKE_NOTIMPL(put_AutoShow, long)
    FAKE_NOTIMPL(get_AutoShow, long*)
    FAKE_NOTIMPL(put_WindowState, long)
    FAKE_NOTIMPL(get_WindowState, long*)
    FAKE_NOTIMPL(put_BackgroundPalette, long)
    FAKE_NOTIMPL(get_BackgroundPalette, long*)
    HRESULT STDMETHODCALLTYPE put_Visible(long visible) override
    {
        g_->visibles.push_back(visible);
        return g_->record("put_Visible");
    }
    FAKE_NOTIMPL(get_Visible, long*)
    FAKE_NOTIMPL(put_Left, long)
    FAKE_NOTIMPL(get_Left, long*)
    FAKE_NOTIMPL(put_Width, long)
    FAKE_NOTIMPL(get_Width, long*)
    FAKE_NOTIMPL(put_Top, long)
    FAKE_NOTIMPL(get_Top, long*)
    FAKE_NOTIMPL(put_Height, long)
    FAKE_NOTIMPL(get_Height, long*)
    HRESULT STDMETHODCALLTYPE put_Owner(OAHWND owner) override
    {
        g_->owners.push_back(owner);
        return g_->record("put_Owner");
    }
    FAKE_NOTIMPL(get_Owner, OAHWND*)
    FAKE_NOTIMPL(put_MessageDrain, OAHWND)
    FAKE_NOTIMPL(get_MessageDrain, OAHWND*)
    FAKE_NOTIMPL(get_BorderColor, long*)
    FAKE_NOTIMPL(put_BorderColor, long)
    FAKE_NOTIMPL(get_FullScreenMode, long*)
    FAKE_NOTIMPL(put_FullScreenMode, long)
    FAKE_NOTIMPL(SetWindowForeground, long)
    FAKE_NOTIMPL(NotifyOwnerMessage, OAHWND, long, LONG_PTR, LONG_PTR)
    HRESULT STDMETHODCALLTYPE SetWindowPosition(long left, long top, long width, long height) override
    {
        g_->positions.push_back({left, top, width, height});
        return g_->record("SetWindowPosition");
    }
    FAKE_NOTIMPL(GetWindowPosition, long*, long*, long*, long*)
    FAKE_NOTIMPL(GetMinIdealImageSize, long*, long*)
    FAKE_NOTIMPL(GetMaxIdealImageSize, long*, long*)
    FAKE_NOTIMPL(GetRestorePosition, long*, long*, long*, long*)
    FAKE_NOTIMPL(HideCursor, long)
    FAKE_NOTIMPL(IsCursorHidden, long*)
};

struct FakeGraphParts {
    explicit FakeGraphParts(FakeGraph* g)
        : builder(g, "IGraphBuilder"), control(g, "IMediaControl"), event(g, "IMediaEvent"),
          seeking(g, "IMediaSeeking"), window(g, "IVideoWindow")
    {
    }
    BuilderPart builder;
    ControlPart control;
    EventPart event;
    SeekingPart seeking;
    WindowPart window;
};

template <typename I>
HRESULT STDMETHODCALLTYPE GraphPart<I>::QueryInterface(REFIID iid, void** out)
{
    const std::string name = interfaceName(iid);
    g_->calls.push_back("QueryInterface " + name);
    if (g_->refs <= 0)
        g_->usedAfterRelease = true;
    if (HRESULT hr; comFault("graph", "QueryInterface", hr, out))
        return hr;
    IUnknown* found = nullptr;
    if (!g_->refused.count(name)) {
        if (name == "IUnknown" || name == "IFilterGraph" || name == "IGraphBuilder")
            found = g_->builder();
        else if (name == "IMediaControl")
            found = g_->control();
        else if (name == "IMediaEvent")
            found = g_->event();
        else if (name == "IMediaSeeking")
            found = g_->seeking();
        else if (name == "IVideoWindow")
            found = g_->window();
    }
    if (!found) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    *out = found;
    ++g_->refs; // the reference handed out, counted without a recorded AddRef
    return S_OK;
}

FakeGraph::FakeGraph() : parts_(std::make_unique<FakeGraphParts>(this)) {}
FakeGraph::~FakeGraph() = default;

IGraphBuilder* FakeGraph::builder() { return &parts_->builder; }
IMediaControl* FakeGraph::control() { return &parts_->control; }
IMediaEvent* FakeGraph::event() { return &parts_->event; }
IMediaSeeking* FakeGraph::seeking() { return &parts_->seeking; }
IVideoWindow* FakeGraph::window() { return &parts_->window; }

int FakeGraph::count(const std::string& call) const
{
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

std::vector<std::string> FakeGraph::operations() const
{
    std::vector<std::string> ops;
    for (const auto& c : calls)
        if (c.rfind("AddRef ", 0) != 0 && c.rfind("Release ", 0) != 0 && c.rfind("QueryInterface ", 0) != 0)
            ops.push_back(c);
    return ops;
}

HRESULT FakeGraph::result(const char* method)
{
    auto it = results.find(method);
    return it == results.end() ? S_OK : it->second;
}

void FakeGraph::note(const char* method)
{
    calls.push_back(method);
    if (refs <= 0)
        usedAfterRelease = true;
}

HRESULT FakeGraph::record(const char* method)
{
    note(method);
    if (HRESULT hr; comFault("graph", method, hr))
        return hr;
    return result(method);
}

HRESULT FakeGraph::notImplemented(const char* method)
{
    calls.push_back(method);
    if (refs <= 0)
        usedAfterRelease = true;
    return E_NOTIMPL;
}

FakeDShow::FakeDShow(FakeSystem& sys)
{
    auto previous = sys.coCreateInstance;
    sys.coCreateInstance = [this, previous](REFCLSID clsid, LPUNKNOWN outer, DWORD ctx, REFIID iid,
                                            LPVOID* out) -> HRESULT {
        if (clsid != CLSID_FilterGraph) {
            if (previous)
                return previous(clsid, outer, ctx, iid, out);
            *out = nullptr;
            return REGDB_E_CLASSNOTREG;
        }
        creations.push_back({clsid, outer, ctx, iid});
        if (FAILED(createResult)) {
            *out = nullptr;
            return createResult;
        }
        graphs.push_back(std::make_unique<FakeGraph>());
        FakeGraph& g = *graphs.back();
        if (prepare)
            prepare(g);
        // The creation's own reference is the one counted from the start.
        if (iid == IID_IGraphBuilder || iid == IID_IUnknown) {
            *out = g.builder();
            return S_OK;
        }
        g.refs = 0;
        *out = nullptr;
        return E_NOINTERFACE;
    };
}

bool FakeDShow::allReleased() const
{
    for (const auto& g : graphs)
        if (g->refs != 0 || g->usedAfterRelease)
            return false;
    return true;
}

// A fake DirectShow filter graph for unit tests: one object that answers
// QueryInterface for IGraphBuilder, IMediaControl, IMediaEvent,
// IMediaSeeking and IVideoWindow, counts its references, records every call
// with the arguments the plug-in's behaviour depends on and answers with
// scripted results. Methods the plug-in does not use answer E_NOTIMPL (and
// are recorded too, so that a stray call shows up in the call list).
//
// FakeDShow hands out a new FakeGraph for every CoCreateInstance of
// CLSID_FilterGraph made through a FakeSystem; other classes go to the hook
// that was installed before it.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_system.h"

struct FakeGraphParts;

class FakeGraph {
public:
    FakeGraph();
    ~FakeGraph();
    FakeGraph(const FakeGraph&) = delete;
    FakeGraph& operator=(const FakeGraph&) = delete;

    // Script. Results by method name ("Stop", "RenderFile", "put_Visible",
    // ...); a method without an entry succeeds with S_OK.
    std::map<std::string, HRESULT> results;
    // Interfaces that QueryInterface refuses with E_NOINTERFACE, by name
    // ("IMediaControl", "IMediaEvent", "IMediaSeeking", "IVideoWindow").
    std::set<std::string> refused;
    // The event code WaitForCompletion reports, and its own result.
    long eventCode = 0;
    HRESULT waitResult = E_ABORT; // the time-out passed without completion

    // Record. Every call by name, in order; QueryInterface, AddRef and
    // Release carry the interface they came through ("Release IVideoWindow").
    std::vector<std::string> calls;
    LONG refs = 1; // the reference handed out at creation
    bool usedAfterRelease = false;

    std::vector<std::wstring> renderedFiles;
    std::vector<bool> playListWasNull;
    struct Seek {
        LONGLONG current;
        DWORD currentFlags;
        bool stopWasNull;
        DWORD stopFlags;
    };
    std::vector<Seek> seeks;
    std::vector<long> waitTimeouts;
    std::vector<OAHWND> owners;
    std::vector<long> styles;
    std::vector<std::array<long, 4>> positions; // left, top, width, height
    std::vector<long> visibles;

    int count(const std::string& call) const;
    // The calls without AddRef, Release and QueryInterface.
    std::vector<std::string> operations() const;

    IGraphBuilder* builder();
    IMediaControl* control();
    IMediaEvent* event();
    IMediaSeeking* seeking();
    IVideoWindow* window();

    // Used by the parts.
    HRESULT result(const char* method);
    void note(const char* method);   // logs the call
    HRESULT record(const char* method); // logs it and answers as scripted (or as the fault plan says)
    HRESULT notImplemented(const char* method);

private:
    std::unique_ptr<FakeGraphParts> parts_;
};

class FakeDShow {
public:
    explicit FakeDShow(FakeSystem& sys);
    FakeDShow(const FakeDShow&) = delete;
    FakeDShow& operator=(const FakeDShow&) = delete;

    // What creating a filter graph answers; a failure hands out nothing.
    HRESULT createResult = S_OK;
    // Scripts each new graph before it is handed out.
    std::function<void(FakeGraph&)> prepare;

    struct Creation {
        CLSID clsid;
        LPUNKNOWN outer;
        DWORD context;
        IID iid;
    };
    std::vector<Creation> creations;
    std::vector<std::unique_ptr<FakeGraph>> graphs; // every graph handed out, oldest first

    FakeGraph& last() { return *graphs.back(); }
    // True when every graph handed out has been released completely.
    bool allReleased() const;
};

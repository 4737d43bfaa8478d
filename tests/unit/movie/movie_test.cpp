#include <gtest/gtest.h>

#include <windows.h>
#include <errors.h>
#include <evcode.h>
#include <uuids.h>

#include <string>
#include <vector>

#include "fakes/fake_dshow.h"
#include "fakes/fake_system.h"
#include "movie/movie.h"
#include "plugin/globals.h"
#include "plugin/messages.h"
#include "unit/case_trace.h"

namespace {

using Calls = std::vector<std::string>;

const HWND kHostWindow = reinterpret_cast<HWND>(0x1234);

class Movie : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(g_lpGraph, nullptr);
        g_hWnd = kHostWindow;
        g_nVerbose = 1;
        sys.fake().getFileAttributesA = [this](LPCSTR name) -> DWORD {
            return existing.count(name) ? existing[name] : INVALID_FILE_ATTRIBUTES;
        };
        // Marks the moment of the read in the graph's own call list.
        sys.fake().getClientRect = [this](HWND hwnd, LPRECT rect) -> BOOL {
            clientRectOf.push_back(hwnd);
            if (!dshow.graphs.empty())
                dshow.last().calls.push_back("GetClientRect");
            if (!clientRectWorks)
                return FALSE;
            *rect = client;
            return TRUE;
        };
    }
    void TearDown() override
    {
        releaseDShow();
        EXPECT_TRUE(dshow.allReleased()) << "a reference was leaked or used after its release";
        g_hWnd = nullptr;
        g_nVerbose = 1;
    }

    // A started engine whose graph has recorded nothing yet.
    FakeGraph& started()
    {
        EXPECT_EQ(initDShow(), 1);
        dshow.last().calls.clear();
        return dshow.last();
    }

    FakeGraph& loaded()
    {
        FakeGraph& g = started();
        existing["clip.avi"] = FILE_ATTRIBUTE_NORMAL;
        EXPECT_EQ(tovmovieload("clip.avi", 0, 0, 0), 0);
        g.calls.clear();
        return g;
    }

    static Calls releases(const FakeGraph& g)
    {
        Calls out;
        for (const auto& c : g.calls)
            if (c.rfind("Release ", 0) == 0)
                out.push_back(c);
        return out;
    }

    FakeSystemScope sys;
    FakeDShow dshow{sys.fake()};
    std::map<std::string, DWORD> existing;
    RECT client = {0, 0, 640, 480};
    bool clientRectWorks = true;
    std::vector<HWND> clientRectOf;
};

const Calls kQueriesInOrder = {"QueryInterface IMediaControl", "QueryInterface IMediaEvent",
                               "QueryInterface IMediaSeeking", "QueryInterface IVideoWindow"};
const Calls kReleasesInOrder = {"Release IVideoWindow", "Release IMediaSeeking", "Release IMediaEvent",
                                "Release IMediaControl", "Release IGraphBuilder"};

void expectEngine(FakeGraph& g)
{
    EXPECT_EQ(g_lpGraph, g.builder());
    EXPECT_EQ(g_lpMediaControl, g.control());
    EXPECT_EQ(g_lpMediaEvent, g.event());
    EXPECT_EQ(g_lpMediaSeeking, g.seeking());
    EXPECT_EQ(g_lpVideoWindow, g.window());
}

// --- engine start and stop ---------------------------------------------------

TEST_F(Movie, StartCreatesTheGraphAndTakesItsInterfacesInOrder)
{
    EXPECT_EQ(initDShow(), 1);
    ASSERT_EQ(dshow.creations.size(), 1u);
    const auto& c = dshow.creations[0];
    EXPECT_TRUE(c.clsid == CLSID_FilterGraph);
    EXPECT_EQ(c.outer, nullptr);
    EXPECT_EQ(c.context, static_cast<DWORD>(CLSCTX_INPROC_SERVER));
    EXPECT_TRUE(c.iid == IID_IGraphBuilder);
    EXPECT_EQ(dshow.last().calls, kQueriesInOrder);
    EXPECT_EQ(dshow.last().refs, 5);
    expectEngine(dshow.last());
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(Movie, StartFailureShowsItsBoxWhateverTheVerboseFlag)
{
    g_nVerbose = 0;
    dshow.createResult = E_OUTOFMEMORY;
    EXPECT_EQ(initDShow(), 0);
    EXPECT_EQ(g_lpGraph, nullptr);
    EXPECT_EQ(g_lpMediaControl, nullptr);
    ASSERT_EQ(sys.fake().boxes.size(), 1u);
    const auto& box = sys.fake().boxes[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.style, 0u);
    EXPECT_EQ(box.text, kTextInitDShowCreate);
    EXPECT_EQ(box.caption, kTextBoxCaption);
}

// A refused interface ends the start quietly; what was obtained stays, and
// every command that needs a missing interface fails without calling.
TEST_F(Movie, RefusedInterfaceKeepsTheEarlierOnesAndItsCommandsFail)
{
    const char* names[] = {"IMediaControl", "IMediaEvent", "IMediaSeeking", "IVideoWindow"};
    for (int refused = 0; refused < 4; ++refused) {
        CASE_TRACE(names[refused]);
        dshow.prepare = [&](FakeGraph& g) { g.refused.insert(names[refused]); };
        EXPECT_EQ(initDShow(), 0);
        FakeGraph& g = dshow.last();
        EXPECT_TRUE(sys.fake().boxes.empty());
        const Calls queried(kQueriesInOrder.begin(), kQueriesInOrder.begin() + refused + 1);
        EXPECT_EQ(g.calls, queried);
        EXPECT_EQ(g_lpGraph, g.builder());
        EXPECT_EQ(g_lpMediaControl, refused > 0 ? g.control() : nullptr);
        EXPECT_EQ(g_lpMediaEvent, refused > 1 ? g.event() : nullptr);
        EXPECT_EQ(g_lpMediaSeeking, refused > 2 ? g.seeking() : nullptr);
        EXPECT_EQ(g_lpVideoWindow, nullptr);

        existing["clip.avi"] = FILE_ATTRIBUTE_NORMAL;
        g.calls.clear();
        EXPECT_EQ(tovmovieload("clip.avi", 0, 0, 0), -1);
        EXPECT_EQ(tovmovieplay(0, 0, 0, 0), -1);
        EXPECT_EQ(tovmoviesize(0, 0, 1, 1), -1);
        EXPECT_EQ(tovmoviefree(0, 0, 0, 0), -1);
        EXPECT_EQ(tovmoviestop(0, 0, 0, 0), refused > 0 ? 0 : -1);
        g.eventCode = EC_COMPLETE;
        EXPECT_EQ(tovmoviecheck(0, 0, 0, 0), refused > 1 ? 0 : -1);
        Calls expected;
        if (refused > 0)
            expected.push_back("Stop");
        if (refused > 1)
            expected.push_back("WaitForCompletion");
        EXPECT_EQ(g.operations(), expected);

        releaseDShow();
        EXPECT_EQ(g.refs, 0);
    }
    dshow.prepare = nullptr;
}

TEST_F(Movie, ReleaseStopsThenReleasesWindowFirstAndGraphLast)
{
    FakeGraph& g = loaded();
    EXPECT_EQ(tovmovieplay(0, 0, 0, 0), 0);
    g.calls.clear();
    releaseDShow();
    // Neither hidden nor detached from its owner first.
    const Calls expected = {"Stop", "Release IVideoWindow", "Release IMediaSeeking", "Release IMediaEvent",
                            "Release IMediaControl", "Release IGraphBuilder"};
    EXPECT_EQ(g.calls, expected);
    EXPECT_EQ(g.refs, 0);
    EXPECT_EQ(g_lpGraph, nullptr);
    EXPECT_EQ(g_lpMediaControl, nullptr);
    EXPECT_EQ(g_lpMediaEvent, nullptr);
    EXPECT_EQ(g_lpMediaSeeking, nullptr);
    EXPECT_EQ(g_lpVideoWindow, nullptr);
}

TEST_F(Movie, ReleaseWithoutMediaControlReleasesWithoutStopping)
{
    dshow.prepare = [](FakeGraph& g) { g.refused.insert("IMediaControl"); };
    EXPECT_EQ(initDShow(), 0);
    FakeGraph& g = dshow.last();
    g.calls.clear();
    releaseDShow();
    EXPECT_EQ(g.calls, Calls{"Release IGraphBuilder"});
}

// Without tovinit's movie engine every command fails and touches nothing.
TEST_F(Movie, WithoutAnEngineEveryCommandFailsAndReleaseDoesNothing)
{
    existing["clip.avi"] = FILE_ATTRIBUTE_NORMAL;
    EXPECT_EQ(tovmovieload("clip.avi", 0, 0, 0), -1);
    EXPECT_EQ(tovmovieplay(0, 0, 0, 0), -1);
    EXPECT_EQ(tovmoviestop(0, 0, 0, 0), -1);
    EXPECT_EQ(tovmoviecheck(0, 0, 0, 0), -1);
    EXPECT_EQ(tovmoviesize(16, 8, 320, 240), -1);
    EXPECT_EQ(tovmoviefree(0, 0, 0, 0), -1);
    releaseDShow();
    EXPECT_TRUE(dshow.creations.empty());
    EXPECT_TRUE(sys.fake().calls.empty());
}

// --- tovmovieload --------------------------------------------------------------

TEST_F(Movie, LoadRendersIntoTheHostWindowsClientArea)
{
    FakeGraph& g = started();
    existing["movies\\op.avi"] = FILE_ATTRIBUTE_NORMAL;
    client = {0, 0, 800, 600};
    EXPECT_EQ(tovmovieload("movies\\op.avi", 0x11, 0x22, 0x33), 0);

    const Calls expected = {"Stop", "SetPositions", "RenderFile", "put_Owner", "put_WindowStyle", "GetClientRect",
                            "SetWindowPosition"};
    EXPECT_EQ(g.operations(), expected);
    ASSERT_EQ(g.seeks.size(), 1u);
    EXPECT_EQ(g.seeks[0].current, 0);
    EXPECT_EQ(g.seeks[0].currentFlags, static_cast<DWORD>(AM_SEEKING_AbsolutePositioning));
    EXPECT_TRUE(g.seeks[0].stopWasNull);
    EXPECT_EQ(g.seeks[0].stopFlags, static_cast<DWORD>(AM_SEEKING_NoPositioning));
    EXPECT_EQ(g.renderedFiles, std::vector<std::wstring>{L"movies\\op.avi"});
    EXPECT_EQ(g.playListWasNull, std::vector<bool>{true});
    EXPECT_EQ(g.owners, std::vector<OAHWND>{reinterpret_cast<OAHWND>(kHostWindow)});
    EXPECT_EQ(g.styles, std::vector<long>{0x44000000});
    EXPECT_EQ(clientRectOf, std::vector<HWND>{kHostWindow});
    ASSERT_EQ(g.positions.size(), 1u);
    EXPECT_EQ(g.positions[0], (std::array<long, 4>{0, 0, 800, 600}));
    EXPECT_TRUE(g.visibles.empty()); // shown only by tovmovieplay
    EXPECT_EQ(sys.fake().count("GetFileAttributesA"), 1);
}

TEST_F(Movie, LoadOfAPathThatNamesNothingLeavesTheGraphAlone)
{
    FakeGraph& g = started();
    EXPECT_EQ(tovmovieload("missing.avi", 0, 0, 0), -1);
    EXPECT_TRUE(g.calls.empty());
    EXPECT_EQ(tovmovieload(nullptr, 0, 0, 0), -1);
    EXPECT_TRUE(g.calls.empty());
}

TEST_F(Movie, LoadOfADirectoryPassesTheExistenceTest)
{
    FakeGraph& g = started();
    existing["movies"] = FILE_ATTRIBUTE_DIRECTORY;
    g.results["RenderFile"] = VFW_E_NOT_FOUND;
    EXPECT_EQ(tovmovieload("movies", 0, 0, 0), -1);
    EXPECT_EQ(g.operations(), (Calls{"Stop", "SetPositions", "RenderFile"}));
}

TEST_F(Movie, LoadStopsAtTheFirstFailingStep)
{
    const Calls steps = {"Stop", "SetPositions", "RenderFile", "put_Owner", "put_WindowStyle", "GetClientRect",
                         "SetWindowPosition"};
    existing["clip.avi"] = FILE_ATTRIBUTE_NORMAL;
    for (const char* failing : {"Stop", "RenderFile", "put_Owner", "put_WindowStyle", "SetWindowPosition"}) {
        CASE_TRACE(failing);
        FakeGraph& g = started();
        g.results[failing] = E_FAIL;
        EXPECT_EQ(tovmovieload("clip.avi", 0, 0, 0), -1);
        Calls expected;
        for (const auto& s : steps) {
            expected.push_back(s);
            if (s == failing)
                break;
        }
        EXPECT_EQ(g.operations(), expected);
        releaseDShow();
    }
}

// Results that are not looked at: the seek's status, the client rectangle's.
TEST_F(Movie, LoadIgnoresTheSeekAndClientRectResults)
{
    FakeGraph& g = started();
    existing["clip.avi"] = FILE_ATTRIBUTE_NORMAL;
    g.results["SetPositions"] = E_NOTIMPL;
    clientRectWorks = false;
    EXPECT_EQ(tovmovieload("clip.avi", 0, 0, 0), 0);
    ASSERT_EQ(g.positions.size(), 1u);
    EXPECT_EQ(g.positions[0], (std::array<long, 4>{0, 0, 0, 0}));
}

TEST_F(Movie, LoadAcceptsRenderResultsThatAreNotFailures)
{
    FakeGraph& g = started();
    existing["clip.avi"] = FILE_ATTRIBUTE_NORMAL;
    g.results["RenderFile"] = VFW_S_PARTIAL_RENDER;
    g.results["put_Owner"] = S_FALSE;
    EXPECT_EQ(tovmovieload("clip.avi", 0, 0, 0), 0);
}

// A path that does not fit 260 wide characters with its terminator is
// refused before the graph is touched; one that just fits is rendered whole.
TEST_F(Movie, LoadRefusesAPathLongerThanMaxPath)
{
    sys.fake().getFileAttributesA = [](LPCSTR) -> DWORD { return FILE_ATTRIBUTE_NORMAL; };
    FakeGraph& g = started();
    const std::string fits(MAX_PATH - 1, 'a');
    EXPECT_EQ(tovmovieload(fits.c_str(), 0, 0, 0), 0);
    ASSERT_EQ(g.renderedFiles.size(), 1u);
    EXPECT_EQ(g.renderedFiles[0], std::wstring(MAX_PATH - 1, L'a'));

    g.calls.clear();
    const std::string tooLong(MAX_PATH, 'a');
    EXPECT_EQ(tovmovieload(tooLong.c_str(), 0, 0, 0), -1);
    EXPECT_TRUE(g.calls.empty());
}

// The host window's size is read at the load only; tovmoviesize alone moves
// the video afterwards.
TEST_F(Movie, ALaterLoadRendersIntoTheSameGraphAtTheNewClientSize)
{
    FakeGraph& g = loaded();
    client = {0, 0, 320, 200};
    existing["second.avi"] = FILE_ATTRIBUTE_NORMAL;
    EXPECT_EQ(tovmovieload("second.avi", 0, 0, 0), 0);
    EXPECT_EQ(dshow.graphs.size(), 1u);
    EXPECT_EQ(g.renderedFiles, (std::vector<std::wstring>{L"clip.avi", L"second.avi"}));
    EXPECT_EQ(g.positions.back(), (std::array<long, 4>{0, 0, 320, 200}));
}

// --- play, stop, check, size --------------------------------------------------

TEST_F(Movie, PlayShowsTheWindowThenRuns)
{
    FakeGraph& g = loaded();
    EXPECT_EQ(tovmovieplay(7, 7, 7, 7), 0);
    EXPECT_EQ(g.operations(), (Calls{"put_Visible", "Run"}));
    EXPECT_EQ(g.visibles, std::vector<long>{-1});

    g.calls.clear();
    g.results["put_Visible"] = E_NOINTERFACE; // a graph without video
    EXPECT_EQ(tovmovieplay(0, 0, 0, 0), -1);
    EXPECT_EQ(g.operations(), Calls{"put_Visible"});

    g.calls.clear();
    g.results.erase("put_Visible");
    g.results["Run"] = E_FAIL;
    EXPECT_EQ(tovmovieplay(0, 0, 0, 0), -1);
    EXPECT_EQ(g.operations(), (Calls{"put_Visible", "Run"}));
}

TEST_F(Movie, StopOnlyStops)
{
    FakeGraph& g = loaded();
    EXPECT_EQ(tovmoviestop(0, 0, 0, 0), 0);
    g.results["Stop"] = E_FAIL;
    EXPECT_EQ(tovmoviestop(0, 0, 0, 0), -1);
    EXPECT_EQ(g.operations(), (Calls{"Stop", "Stop"}));
}

TEST_F(Movie, CheckAnswersFinishedOnlyForCompletion)
{
    FakeGraph& g = loaded();
    struct Row {
        long code;
        HRESULT status;
        int expected;
    };
    const Row rows[] = {
        {EC_COMPLETE, S_OK, 0},
        {EC_COMPLETE, E_ABORT, 0},   // the status is not looked at
        {0, E_ABORT, -1},            // still running, or never started
        {EC_USERABORT, S_OK, -1},    // aborted instead of completed
        {EC_ERRORABORT, S_OK, -1},
        {EC_COMPLETE + 0x100, S_OK, -1},
    };
    for (const Row& row : rows) {
        g.eventCode = row.code;
        g.waitResult = row.status;
        EXPECT_EQ(tovmoviecheck(0, 0, 0, 0), row.expected) << "event code " << row.code;
    }
    EXPECT_EQ(g.waitTimeouts, std::vector<long>(std::size(rows), 0)); // never waits
}

TEST_F(Movie, SizePassesItsArgumentsUnchanged)
{
    FakeGraph& g = loaded();
    g.positions.clear();
    EXPECT_EQ(tovmoviesize(16, 8, 320, 240), 0);
    EXPECT_EQ(tovmoviesize(-5, INT32_MAX, 0, INT32_MIN), 0);
    g.results["SetWindowPosition"] = E_INVALIDARG;
    EXPECT_EQ(tovmoviesize(1, 2, 3, 4), -1);
    const std::vector<std::array<long, 4>> expected = {
        {16, 8, 320, 240}, {-5, INT32_MAX, 0, INT32_MIN}, {1, 2, 3, 4}};
    EXPECT_EQ(g.positions, expected);
    EXPECT_EQ(g.operations(), (Calls{"SetWindowPosition", "SetWindowPosition", "SetWindowPosition"}));
}

// --- tovmoviefree -------------------------------------------------------------

TEST_F(Movie, FreeThrowsTheGraphAwayAndBuildsAnEmptyOne)
{
    FakeGraph& old = loaded();
    EXPECT_EQ(tovmovieplay(0, 0, 0, 0), 0);
    old.calls.clear();
    old.results["Stop"] = E_FAIL; // not looked at
    EXPECT_EQ(tovmoviefree(0, 0, 0, 0), 0);

    Calls expected = {"Stop", "put_Visible"};
    expected.insert(expected.end(), kReleasesInOrder.begin(), kReleasesInOrder.end());
    EXPECT_EQ(old.calls, expected);
    EXPECT_EQ(old.visibles.back(), 0);
    EXPECT_EQ(old.refs, 0);

    ASSERT_EQ(dshow.graphs.size(), 2u);
    FakeGraph& fresh = dshow.last();
    EXPECT_TRUE(dshow.creations[1].clsid == CLSID_FilterGraph);
    EXPECT_EQ(fresh.calls, kQueriesInOrder);
    expectEngine(fresh);
    EXPECT_TRUE(sys.fake().boxes.empty());

    // The next load works on the new, empty graph.
    existing["second.avi"] = FILE_ATTRIBUTE_NORMAL;
    EXPECT_EQ(tovmovieload("second.avi", 0, 0, 0), 0);
    EXPECT_EQ(fresh.renderedFiles, std::vector<std::wstring>{L"second.avi"});
    EXPECT_EQ(old.renderedFiles.size(), 1u);
}

TEST_F(Movie, FreeKeepsEverythingWhenTheWindowCannotBeHidden)
{
    FakeGraph& g = loaded();
    g.results["put_Visible"] = E_NOINTERFACE; // an audio-only graph
    EXPECT_EQ(tovmoviefree(0, 0, 0, 0), -1);
    EXPECT_EQ(g.calls, (Calls{"Stop", "put_Visible"}));
    EXPECT_EQ(g.refs, 5);
    expectEngine(g);
    EXPECT_EQ(dshow.graphs.size(), 1u);
}

TEST_F(Movie, FreeCreationFailureShowsItsBoxOnlyWhileVerbose)
{
    for (int verbose : {1, 0}) {
        CASE_TRACE(verbose);
        sys.fake().boxes.clear();
        g_nVerbose = verbose;
        dshow.createResult = S_OK;
        FakeGraph& g = loaded();
        dshow.createResult = E_FAIL;
        EXPECT_EQ(tovmoviefree(0, 0, 0, 0), -1);
        EXPECT_EQ(g.refs, 0);
        EXPECT_EQ(g_lpGraph, nullptr);
        EXPECT_EQ(g_lpVideoWindow, nullptr);
        if (verbose) {
            ASSERT_EQ(sys.fake().boxes.size(), 1u);
            EXPECT_EQ(sys.fake().boxes[0].text, kTextMovieFreeCreate);
            EXPECT_EQ(sys.fake().boxes[0].caption, kTextBoxCaption);
            EXPECT_EQ(sys.fake().boxes[0].owner, nullptr);
            EXPECT_EQ(sys.fake().boxes[0].style, 0u);
        } else {
            EXPECT_TRUE(sys.fake().boxes.empty());
        }
        // Nothing left to work with until a free that succeeds.
        EXPECT_EQ(tovmoviefree(0, 0, 0, 0), -1);
        EXPECT_EQ(tovmovieplay(0, 0, 0, 0), -1);
    }
}

TEST_F(Movie, FreeQueryFailureFailsQuietlyAndKeepsWhatItGot)
{
    loaded();
    dshow.prepare = [](FakeGraph& g) { g.refused.insert("IMediaSeeking"); };
    EXPECT_EQ(tovmoviefree(0, 0, 0, 0), -1);
    FakeGraph& fresh = dshow.last();
    EXPECT_TRUE(sys.fake().boxes.empty());
    EXPECT_EQ(g_lpGraph, fresh.builder());
    EXPECT_EQ(g_lpMediaControl, fresh.control());
    EXPECT_EQ(g_lpMediaEvent, fresh.event());
    EXPECT_EQ(g_lpMediaSeeking, nullptr);
    EXPECT_EQ(g_lpVideoWindow, nullptr);
}

// The free needs the media control and the video window; with both it
// rebuilds an engine that lost its other interfaces.
TEST_F(Movie, FreeNeedsOnlyTheControlAndTheWindowToRebuild)
{
    dshow.prepare = [](FakeGraph& g) { g.refused.insert("IMediaEvent"); };
    EXPECT_EQ(initDShow(), 0);
    FakeGraph& noWindow = dshow.last();
    noWindow.calls.clear();
    EXPECT_EQ(tovmoviefree(0, 0, 0, 0), -1);
    EXPECT_TRUE(noWindow.calls.empty());
    releaseDShow();

    dshow.prepare = nullptr;
    EXPECT_EQ(initDShow(), 1);
    FakeGraph& g = dshow.last();
    g_lpMediaEvent->Release();
    g_lpMediaEvent = nullptr;
    g_lpMediaSeeking->Release();
    g_lpMediaSeeking = nullptr;
    EXPECT_EQ(tovmoviefree(0, 0, 0, 0), 0);
    EXPECT_EQ(g.refs, 0);
    expectEngine(dshow.last());
}

} // namespace

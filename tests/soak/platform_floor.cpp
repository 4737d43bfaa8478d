#include "platform_floor.h"

#include <dmusici.h>
#include <dshow.h>
#include <dxdiag.h>

#include <cmath>

namespace {

template <class T> void release(T*& p)
{
    if (p)
        p->Release();
    p = nullptr;
}

// Each operation runs in an apartment of its own, as between tovinit and
// tovbye: the first runs warm the platform's caches, the rest are measured.
template <class Operation> PlatformCost costOf(Operation operation, int measured)
{
    auto once = [&] {
        CoInitialize(nullptr);
        operation();
        CoUninitialize();
    };
    for (int i = 0; i < 3; ++i)
        once();
    const ProcessFigures before = sampleProcess();
    for (int i = 0; i < measured; ++i)
        once();
    const ProcessFigures after = sampleProcess();
    auto per = [&](int64_t a, int64_t b) { return a > b ? static_cast<double>(a - b) / measured : 0.0; };
    return {per(after.privateBytes, before.privateBytes), per(after.heapBytes, before.heapBytes),
            per(after.handles, before.handles), per(after.threads, before.threads)};
}

void startAndStopMusic()
{
    IDirectMusicPerformance8* performance = nullptr;
    IDirectMusicLoader8* loader = nullptr;
    IDirectMusicAudioPath8* path = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC, IID_IDirectMusicPerformance8,
                                reinterpret_cast<void**>(&performance))))
        return;
    performance->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64, DMUS_AUDIOF_ALL,
                           nullptr);
    if (SUCCEEDED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                   reinterpret_cast<void**>(&loader))))
        loader->EnableCache(CLSID_DirectMusicSegment, FALSE);
    performance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_3D, 64, TRUE, &path);
    performance->Stop(nullptr, nullptr, 0, 0);
    release(path);
    release(loader);
    performance->CloseDown();
    release(performance);
}

IGraphBuilder* newGraph()
{
    IGraphBuilder* graph = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&graph))))
        return nullptr;
    return graph;
}

void diagnose()
{
    IDxDiagProvider* provider = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                                reinterpret_cast<void**>(&provider))))
        return;
    DXDIAG_INIT_PARAMS params = {};
    params.dwSize = sizeof params;
    params.dwDxDiagHeaderVersion = DXDIAG_DX9_SDK_VERSION;
    IDxDiagContainer* root = nullptr;
    if (SUCCEEDED(provider->Initialize(&params)) && SUCCEEDED(provider->GetRootContainer(&root)))
        release(root);
    release(provider);
}

} // namespace

PlatformFloor measurePlatformFloor(const std::string& movie)
{
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, movie.c_str(), -1, wide, MAX_PATH);
    PlatformFloor floor;
    floor.musicStart = costOf(startAndStopMusic, 10);
    floor.graph = costOf(
        [] {
            IGraphBuilder* graph = newGraph();
            release(graph);
        },
        10);
    // Private bytes move in pages and only once a heap's slack is used up:
    // only a render keeps enough of them (and outside the heaps) to count.
    floor.musicStart.privateBytes = floor.graph.privateBytes = 0;
    if (movie.empty())
        return floor;
    floor.diagnosis = costOf(diagnose, 10);
    floor.diagnosis.privateBytes = 0;
    // Rendering takes a few tenths of a second: enough of them to average
    // out the steps in which the heap grows.
    floor.render = costOf(
        [&] {
            IGraphBuilder* graph = newGraph();
            if (graph)
                graph->RenderFile(wide, nullptr);
            release(graph);
        },
        12);
    return floor;
}

ProcessFigures platformKeeps(const PlatformFloor& floor, const PlatformCounts& counts)
{
    double bytes = 0, heap = 0, handles = 0, threads = 0;
    auto add = [&](const PlatformCost& cost, int64_t n) {
        // What the heaps keep is private too, whether or not it took new pages
        // while the floor was measured.
        bytes += (cost.privateBytes > cost.heapBytes ? cost.privateBytes : cost.heapBytes) * static_cast<double>(n);
        heap += cost.heapBytes * static_cast<double>(n);
        handles += cost.handles * static_cast<double>(n);
        threads += cost.threads * static_cast<double>(n);
    };
    add(floor.musicStart, counts.musicStarts);
    add(floor.graph, counts.graphs);
    add(floor.diagnosis, counts.diagnoses);
    add(floor.render, counts.renders);
    return {static_cast<int64_t>(std::llround(bytes)), static_cast<int64_t>(std::llround(heap)),
            static_cast<int64_t>(std::llround(handles)), static_cast<int64_t>(std::llround(threads))};
}

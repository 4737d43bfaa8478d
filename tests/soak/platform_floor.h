// What the platform itself keeps of the operations the plug-in makes it do,
// measured with bare platform calls (no plug-in code) before a soak starts.
// Wine keeps a few handles of every DirectMusic start and filter graph,
// about fifty of every DirectX diagnosis, and Wine 8 about 80 handles and
// 400 KB of every video it rendered, also after everything was released.
// A soak counts these operations and takes their floor off its samples, so
// that what is left is what the plug-in keeps. Windows only.
#pragma once

#include <windows.h>

#include <string>

#include "figures.h"

struct PlatformCost {
    double privateBytes = 0;
    double heapBytes = 0;
    double handles = 0;
    double threads = 0;
};

struct PlatformFloor {
    PlatformCost musicStart; // a performance with its audio, 3D path and loader, made and released
    PlatformCost graph;      // an empty filter graph, made and released
    PlatformCost diagnosis;  // a DirectX diagnostic provider initialised and released
    PlatformCost render;     // a movie file rendered into a graph that is then released
};

// Every floor, or (for a soak that renders no movie and diagnoses nothing,
// with an empty name) those of the engine starts only.
PlatformFloor measurePlatformFloor(const std::string& movie);

// How many of each the plug-in made the platform do so far.
struct PlatformCounts {
    int64_t musicStarts = 0;
    int64_t graphs = 0;
    int64_t diagnoses = 0;
    int64_t renders = 0;
};

// The figures the platform keeps for the counts.
ProcessFigures platformKeeps(const PlatformFloor& floor, const PlatformCounts& counts);

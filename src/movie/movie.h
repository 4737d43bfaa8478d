// Internal header of the movie subsystem: one filter graph and the four
// interfaces taken from it, shared by the engine start, the commands and
// their tests. Windows builds only.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>

#include "tolvo.h"

// All five refer to the same filter graph object. They are taken in the
// order graph, control, event, seeking, window and released in the reverse
// order; a released one is set to null, and a command whose interface is
// null fails with -1.
extern IGraphBuilder* g_lpGraph;
extern IMediaControl* g_lpMediaControl;
extern IMediaEvent* g_lpMediaEvent;
extern IMediaSeeking* g_lpMediaSeeking;
extern IVideoWindow* g_lpVideoWindow;

// tovinit's engine start: true when all five interfaces were obtained (the
// creation failure shows its box whatever the verbose flag says).
bool initDShow();
// tovbye's engine stop: stops the graph and releases everything.
void releaseDShow();

// Creates a new graph and queries its four interfaces into the globals.
// Returns false at the first failure, keeping what was obtained so far.
// `creationBox` is shown when the graph itself cannot be created.
bool createGraph(void (*showBox)(const char*, const char*), const char* creationBox);
// Releases the five interfaces, window first and graph last.
void releaseGraph();

// The plug-in's heap in the sweep. The sweep links a copy of the plug-in's
// objects whose malloc, calloc, realloc and free are renamed to the four
// functions below (CMakeLists.txt), so that each allocation can be made to
// fail in turn and every block the plug-in still holds can be named. The
// shipped DLL is not changed by any of this.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

extern "C" {
void* sweepMalloc(size_t n);
void* sweepCalloc(size_t count, size_t size);
void* sweepRealloc(void* block, size_t n);
void sweepFree(void* block);
}

// Blocks the plug-in allocated and has not freed, with their sizes.
const std::map<void*, size_t>& pluginBlocks();
// What went wrong on the plug-in's heap since the last call (a free of a
// block it does not hold, bytes written past a block's end), and clears it.
std::vector<std::string> takeHeapProblems();
// Looks at the guard bytes behind every live block.
void checkHeapGuards();

// The figures of the running process that a soak samples. Windows only.
#pragma once

#include <cstdint>

struct ProcessFigures {
    int64_t privateBytes; // PrivateUsage, or the commit charge where the platform leaves it at 0
    int64_t heapBytes;    // the bytes of the live blocks of every heap of the process: exact, where
                          // private bytes move in pages and only once a heap's slack is used up
    int64_t handles;      // GetProcessHandleCount, or the handle values in use where it answers 0
    int64_t threads;
};

ProcessFigures sampleProcess();
// The threads of the running process.
int64_t processThreads();

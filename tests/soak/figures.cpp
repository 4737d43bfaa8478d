#include "figures.h"

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "unit/music/music_media.h"

namespace {

// The handles of this process, asked for one value after another (a handle
// is a multiple of 4) until 1024 values past the last one in use. Wine 8
// answers GetProcessHandleCount with 0, and its server crashes now and then
// on the system's handle table while other processes start or end, taking
// every program on it down (tests/platform/system_handles.cpp).
int64_t handlesInUse()
{
    int64_t inUse = 0;
    DWORD flags;
    for (uintptr_t v = 4, last = 0; v <= last + 4096; v += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags)) {
            ++inUse;
            last = v;
        }
    return inUse;
}

int64_t liveHeapBytes()
{
    std::vector<HANDLE> heaps(64);
    DWORD n;
    while ((n = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data())) > heaps.size())
        heaps.resize(n);
    int64_t total = 0;
    for (DWORD i = 0; i < n; ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY e{};
        while (HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += e.cbData;
        HeapUnlock(heaps[i]);
    }
    return total;
}

} // namespace

ProcessFigures sampleProcess()
{
    ProcessFigures f{};
    f.privateBytes = static_cast<int64_t>(privateBytes());
    f.heapBytes = liveHeapBytes();
    DWORD handles = 0;
    f.handles = GetProcessHandleCount(GetCurrentProcess(), &handles) && handles ? handles : handlesInUse();
    f.threads = processThreads();
    return f;
}

int64_t processThreads()
{
    int64_t threads = 0;
    const DWORD pid = GetCurrentProcessId();
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap != INVALID_HANDLE_VALUE) {
        THREADENTRY32 te{};
        te.dwSize = sizeof te;
        for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
            if (te.th32OwnerProcessID == pid)
                ++threads;
        CloseHandle(snap);
    }
    return threads;
}

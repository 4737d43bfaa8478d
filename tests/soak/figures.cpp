#include "figures.h"

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "unit/music/music_media.h"

namespace {

// The handles of this process in the system's handle table. Wine 8 answers
// GetProcessHandleCount with 0 but keeps this table.
int64_t handlesInSystemTable()
{
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID object;
        ACCESS_MASK access;
    };
    typedef LONG(WINAPI * Query)(ULONG, PVOID, ULONG, PULONG);
    static const Query query =
        reinterpret_cast<Query>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"),
                                                                            "NtQuerySystemInformation")));
    const ULONG kSystemHandleInformation = 16;
    const LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    if (!query)
        return 0;
    std::vector<char> buf(1 << 16);
    LONG status;
    while ((status = query(kSystemHandleInformation, buf.data(), static_cast<ULONG>(buf.size()), nullptr)) ==
               kInfoLengthMismatch &&
           buf.size() < (64u << 20))
        buf.resize(buf.size() * 2);
    if (status != 0)
        return 0;
    const ULONG count = *reinterpret_cast<const ULONG*>(buf.data());
    const Entry* entries = reinterpret_cast<const Entry*>(buf.data() + sizeof(ULONG_PTR));
    const DWORD pid = GetCurrentProcessId();
    int64_t mine = 0;
    for (ULONG i = 0; i < count; ++i)
        mine += entries[i].ownerPid == pid;
    return mine;
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
    f.handles = GetProcessHandleCount(GetCurrentProcess(), &handles) && handles ? handles : handlesInSystemTable();
    const DWORD pid = GetCurrentProcessId();
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap != INVALID_HANDLE_VALUE) {
        THREADENTRY32 te{};
        te.dwSize = sizeof te;
        for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
            if (te.th32OwnerProcessID == pid)
                ++f.threads;
        CloseHandle(snap);
    }
    return f;
}

// tovdpmload: opens the pack that its text names and cuts the caller's text
// at its first comma, as documented, where the process may write it.
#include <windows.h>

#include <cstring>

#include "pack.h"
#include "plugin/syscalls.h"

namespace {

// Whether the process may write the byte: committed memory whose protection
// allows writing (copy-on-write included). A text among a program's
// constants (a C string literal) is read-only, and memory the platform says
// nothing about is left alone too.
bool isWritable(const char* at)
{
    MEMORY_BASIC_INFORMATION info;
    if (g_sys.VirtualQuery(at, &info, sizeof info) < sizeof info || info.State != MEM_COMMIT)
        return false;
    const DWORD writable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return (info.Protect & writable) != 0 && (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) == 0;
}

} // namespace

extern "C" int TOLVO_CALL tovdpmload(int32_t, char* packText, int32_t, int32_t)
{
    // The pack is opened from the text as it stands; the cut comes after,
    // so that a text the process may not write opens the same pack.
    const bool looked = !packStaysOpen();
    const bool open = openPack(packText);
    if (looked && packText) {
        // Scripts may rely on the cut: the host's variable ends where its
        // comma was, whether the pack opened or not.
        if (char* comma = std::strchr(packText, ','); comma && isWritable(comma))
            *comma = '\0';
    }
    return open ? 0 : -1;
}

#include "boundary.h"

#include <windows.h>

namespace {

// A critical section: uncontended it costs two interlocked operations, and
// it may be entered again by the thread that holds it.
CRITICAL_SECTION g_csCommand;

// The C runtime makes the module's objects before DllMain and before a
// program's main, so the lock is there before the first command.
[[maybe_unused]] const bool g_bCommandLockMade = (makeCommandLock(), true);

} // namespace

void makeCommandLock()
{
    InitializeCriticalSection(&g_csCommand);
}

void deleteCommandLock()
{
    DeleteCriticalSection(&g_csCommand);
}

void enterCommand()
{
    EnterCriticalSection(&g_csCommand);
}

void leaveCommand()
{
    LeaveCriticalSection(&g_csCommand);
}

bool tryEnterCommand()
{
    return TryEnterCriticalSection(&g_csCommand) != 0;
}

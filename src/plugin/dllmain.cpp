#include <windows.h>

#include "boundary.h"
#include "input/input.h"

// All start-up happens in tovinit. A host that unloads the library, or ends,
// without tovbye would leave a pad's jolt running, and after an unload its
// timer would call into a module that is gone: both are stopped here. Under
// the loader's lock only what is safe there: XInput stays loaded, and the
// timer is killed on the thread that unloads (the host's, which set it).
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_DETACH) {
        stopRumble();
        // At process exit the other threads were ended wherever they were,
        // inside a command perhaps: the lock is left as it is then.
        if (!reserved)
            deleteCommandLock();
    }
    return TRUE;
}

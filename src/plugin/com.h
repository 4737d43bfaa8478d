// How the plug-in takes COM objects and lets go of them. Windows builds
// only.
#pragma once

#include <windows.h>

// Releases the object, if there is one, and forgets it: a pointer the
// plug-in has let go of is null, so that a command whose object is gone
// fails instead of calling it.
template <class T>
void releaseAndNull(T*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}

// Whether a call that hands out an object through `out` did. COM's rule:
// after a failed call the out pointer holds nothing, whatever the callee
// left there, so it is set to null and never released. A success that hands
// out nothing answers false too.
template <class T>
bool obtained(HRESULT hr, T*& out)
{
    if (FAILED(hr))
        out = nullptr;
    return out != nullptr;
}

// How the plug-in lets go of a COM object. Windows builds only.
#pragma once

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

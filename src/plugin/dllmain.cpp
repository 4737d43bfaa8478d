#include <windows.h>

// All start-up happens in tovinit; loading and unloading do nothing.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

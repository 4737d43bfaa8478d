#include "seam.h"

#define DIRECTINPUT_VERSION 0x0800
#include <dinput.h>
#include <mmsystem.h>
#include <objbase.h>

const SysCalls kRealSysCalls = {
    ::CoInitialize,
    ::CoUninitialize,
    ::CoCreateInstance,
    ::DirectInput8Create,
    ::MessageBoxA,
    ::SystemParametersInfoA,
    ::timeGetTime,
    ::GetFileAttributesA,
    ::GetCurrentDirectoryA,
    ::GetSystemDirectoryA,
    ::GetFileVersionInfoSizeA,
    ::GetFileVersionInfoA,
    ::VerQueryValueA,
    ::GetClientRect,
};

SysCalls g_sys = kRealSysCalls;

#include "syscalls.h"

#define DIRECTINPUT_VERSION 0x0800
#include <dinput.h>
#include <mmsystem.h>
#include <objbase.h>

namespace {

// The user32 functions that came with the XInput pads are found when they
// are called, so that the DLL imports exactly what it imported before them.
// user32 is loaded: the plug-in imports it.
template <typename F>
F fromUser32(const char* name)
{
    HMODULE user32 = ::GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(user32, name))) : nullptr;
}

UINT WINAPI rawInputDeviceList(PRAWINPUTDEVICELIST list, PUINT count, UINT size)
{
    const auto f = fromUser32<decltype(&::GetRawInputDeviceList)>("GetRawInputDeviceList");
    return f ? f(list, count, size) : static_cast<UINT>(-1);
}

UINT WINAPI rawInputDeviceInfoA(HANDLE device, UINT command, LPVOID data, PUINT size)
{
    const auto f = fromUser32<decltype(&::GetRawInputDeviceInfoA)>("GetRawInputDeviceInfoA");
    return f ? f(device, command, data, size) : static_cast<UINT>(-1);
}

UINT_PTR WINAPI setTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC proc)
{
    const auto f = fromUser32<decltype(&::SetTimer)>("SetTimer");
    return f ? f(window, id, ms, proc) : 0;
}

BOOL WINAPI killTimer(HWND window, UINT_PTR id)
{
    const auto f = fromUser32<decltype(&::KillTimer)>("KillTimer");
    return f ? f(window, id) : FALSE;
}

} // namespace

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
    ::GetFullPathNameA,
    ::GetSystemDirectoryA,
    ::GetFileVersionInfoSizeA,
    ::GetFileVersionInfoA,
    ::VerQueryValueA,
    ::GetClientRect,
    rawInputDeviceList,
    rawInputDeviceInfoA,
    ::LoadLibraryA,
    ::GetProcAddress,
    ::FreeLibrary,
    setTimer,
    killTimer,
    ::VirtualQuery,
};

SysCalls g_sys = kRealSysCalls;

// The system calls that create a platform object or touch the system's
// state outside a COM interface go through this table, so that tests can
// answer and fail them. It points at the real functions; tests swap entries
// and restore them. What does not go through it: the C runtime's file calls
// (the pack reader, the MIDI header check, `test`, the Ogg Vorbis file
// converter), the decoder's threads and conversions that only compute
// (MultiByteToWideChar, PathFindExtensionA, lstrcmpiA, VariantClear).
#pragma once

#include <windows.h>
#include <objbase.h>

struct SysCalls {
    HRESULT(WINAPI* CoInitialize)(LPVOID);
    void(WINAPI* CoUninitialize)();
    HRESULT(WINAPI* CoCreateInstance)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
    HRESULT(WINAPI* DirectInput8Create)(HINSTANCE, DWORD, REFIID, LPVOID*, LPUNKNOWN);
    int(WINAPI* MessageBoxA)(HWND, LPCSTR, LPCSTR, UINT);
    BOOL(WINAPI* SystemParametersInfoA)(UINT, UINT, PVOID, UINT);
    DWORD(WINAPI* timeGetTime)();
    DWORD(WINAPI* GetFileAttributesA)(LPCSTR);
    DWORD(WINAPI* GetCurrentDirectoryA)(DWORD, LPSTR);
    DWORD(WINAPI* GetFullPathNameA)(LPCSTR, DWORD, LPSTR, LPSTR*);
    UINT(WINAPI* GetSystemDirectoryA)(LPSTR, UINT);
    DWORD(WINAPI* GetFileVersionInfoSizeA)(LPCSTR, LPDWORD);
    BOOL(WINAPI* GetFileVersionInfoA)(LPCSTR, DWORD, DWORD, LPVOID);
    BOOL(WINAPI* VerQueryValueA)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    BOOL(WINAPI* GetClientRect)(HWND, LPRECT);
    // Which game controllers are XInput pads, and the XInput library, which
    // is loaded at run time (it is missing on some systems).
    UINT(WINAPI* GetRawInputDeviceList)(PRAWINPUTDEVICELIST, PUINT, UINT);
    UINT(WINAPI* GetRawInputDeviceInfoA)(HANDLE, UINT, LPVOID, PUINT);
    HMODULE(WINAPI* LoadLibraryA)(LPCSTR);
    FARPROC(WINAPI* GetProcAddress)(HMODULE, LPCSTR);
    BOOL(WINAPI* FreeLibrary)(HMODULE);
    // The thread timer that stops the pads' motors on the host's thread.
    UINT_PTR(WINAPI* SetTimer)(HWND, UINT_PTR, UINT, TIMERPROC);
    BOOL(WINAPI* KillTimer)(HWND, UINT_PTR);
    // Whether a caller's text lies in memory the process may write.
    SIZE_T(WINAPI* VirtualQuery)(LPCVOID, PMEMORY_BASIC_INFORMATION, SIZE_T);
};

extern SysCalls g_sys;
extern const SysCalls kRealSysCalls;

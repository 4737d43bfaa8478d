#include "fakes/fake_system.h"

#include <algorithm>
#include <cstring>

#include "fakes/fault_plan.h"

static FakeSystem* s_fake = nullptr;

FakeSystem* currentFakeSystem()
{
    return s_fake;
}

int FakeSystem::count(const std::string& call) const
{
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

static HRESULT WINAPI fakeCoInitialize(LPVOID)
{
    s_fake->calls.push_back("CoInitialize");
    HRESULT hr;
    if (comFault("seam", "CoInitialize", hr))
        return hr;
    return s_fake->coInitializeResult;
}

static void WINAPI fakeCoUninitialize()
{
    s_fake->calls.push_back("CoUninitialize");
}

static HRESULT WINAPI fakeCoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD ctx, REFIID iid, LPVOID* out)
{
    s_fake->calls.push_back("CoCreateInstance");
    HRESULT hr;
    if (comFault("seam", "CoCreateInstance", hr, out))
        return hr;
    if (s_fake->coCreateInstance)
        return s_fake->coCreateInstance(clsid, outer, ctx, iid, out);
    if (out)
        *out = nullptr;
    return REGDB_E_CLASSNOTREG;
}

static HRESULT WINAPI fakeDirectInput8Create(HINSTANCE inst, DWORD version, REFIID iid, LPVOID* out, LPUNKNOWN outer)
{
    s_fake->calls.push_back("DirectInput8Create");
    HRESULT hr;
    if (comFault("seam", "DirectInput8Create", hr, out))
        return hr;
    if (s_fake->directInput8Create)
        return s_fake->directInput8Create(inst, version, iid, out, outer);
    if (out)
        *out = nullptr;
    return E_FAIL;
}

static int WINAPI fakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    s_fake->calls.push_back("MessageBoxA");
    s_fake->boxes.push_back({owner, text ? text : "(null)", caption ? caption : "(null)", style});
    // A box that could not be shown answers 0.
    return faultAt("seam", "MessageBoxA", kFaultError) ? 0 : IDOK;
}

static BOOL WINAPI fakeSystemParametersInfoA(UINT action, UINT uiParam, PVOID pv, UINT winIni)
{
    s_fake->calls.push_back("SystemParametersInfoA");
    s_fake->spi.push_back({action, uiParam, pv, winIni});
    if (faultAt("seam", "SystemParametersInfoA", kFaultError))
        return FALSE;
    BOOL* out = static_cast<BOOL*>(pv);
    switch (action) {
    case SPI_GETSCREENSAVEACTIVE: *out = s_fake->spiValue[0]; break;
    case SPI_GETPOWEROFFACTIVE: *out = s_fake->spiValue[1]; break;
    case SPI_GETLOWPOWERACTIVE: *out = s_fake->spiValue[2]; break;
    case SPI_SETSCREENSAVEACTIVE: s_fake->spiValue[0] = uiParam; break;
    case SPI_SETPOWEROFFACTIVE: s_fake->spiValue[1] = uiParam; break;
    case SPI_SETLOWPOWERACTIVE: s_fake->spiValue[2] = uiParam; break;
    default: break;
    }
    return TRUE;
}

static DWORD WINAPI fakeTimeGetTime()
{
    s_fake->calls.push_back("timeGetTime");
    return s_fake->clock;
}

static DWORD WINAPI fakeGetFileAttributesA(LPCSTR name)
{
    s_fake->calls.push_back("GetFileAttributesA");
    if (faultAt("seam", "GetFileAttributesA", kFaultError))
        return INVALID_FILE_ATTRIBUTES;
    return s_fake->getFileAttributesA ? s_fake->getFileAttributesA(name) : ::GetFileAttributesA(name);
}

static DWORD WINAPI fakeGetCurrentDirectoryA(DWORD n, LPSTR buf)
{
    s_fake->calls.push_back("GetCurrentDirectoryA");
    if (const unsigned kind = faultAt("seam", "GetCurrentDirectoryA", kFaultError | kFaultTooSmall))
        return kind == kFaultTooSmall ? n + 40 : 0;
    if (s_fake->getCurrentDirectoryA)
        return s_fake->getCurrentDirectoryA(n, buf);
    const std::string& dir = s_fake->currentDirectory;
    if (dir.empty())
        return ::GetCurrentDirectoryA(n, buf);
    // Too long for the buffer: the length it would need, terminator included.
    if (n < dir.size() + 1)
        return static_cast<DWORD>(dir.size() + 1);
    std::memcpy(buf, dir.c_str(), dir.size() + 1);
    return static_cast<DWORD>(dir.size());
}

static UINT WINAPI fakeGetSystemDirectoryA(LPSTR buf, UINT n)
{
    s_fake->calls.push_back("GetSystemDirectoryA");
    if (const unsigned kind = faultAt("seam", "GetSystemDirectoryA", kFaultError | kFaultTooSmall))
        return kind == kFaultTooSmall ? n + 40 : 0;
    return s_fake->getSystemDirectoryA ? s_fake->getSystemDirectoryA(buf, n) : ::GetSystemDirectoryA(buf, n);
}

static DWORD WINAPI fakeGetFileVersionInfoSizeA(LPCSTR name, LPDWORD handle)
{
    s_fake->calls.push_back("GetFileVersionInfoSizeA");
    if (faultAt("seam", "GetFileVersionInfoSizeA", kFaultError))
        return 0;
    return s_fake->getFileVersionInfoSizeA ? s_fake->getFileVersionInfoSizeA(name, handle)
                                           : ::GetFileVersionInfoSizeA(name, handle);
}

static BOOL WINAPI fakeGetFileVersionInfoA(LPCSTR name, DWORD handle, DWORD len, LPVOID data)
{
    s_fake->calls.push_back("GetFileVersionInfoA");
    if (faultAt("seam", "GetFileVersionInfoA", kFaultError))
        return FALSE;
    return s_fake->getFileVersionInfoA ? s_fake->getFileVersionInfoA(name, handle, len, data)
                                       : ::GetFileVersionInfoA(name, handle, len, data);
}

static BOOL WINAPI fakeVerQueryValueA(LPCVOID block, LPCSTR sub, LPVOID* out, PUINT len)
{
    s_fake->calls.push_back("VerQueryValueA");
    const unsigned kind = faultAt("seam", "VerQueryValueA", kFaultError | kFaultNullOut | kFaultTooSmall);
    if (kind == kFaultError)
        return FALSE;
    if (kind == kFaultNullOut) {
        *out = nullptr;
        *len = 0;
        return TRUE;
    }
    const BOOL found = s_fake->verQueryValueA ? s_fake->verQueryValueA(block, sub, out, len)
                                              : ::VerQueryValueA(block, sub, out, len);
    // A block whose fixed part is cut short.
    if (kind == kFaultTooSmall && found)
        *len = 4;
    return found;
}

static BOOL WINAPI fakeGetClientRect(HWND hwnd, LPRECT rect)
{
    s_fake->calls.push_back("GetClientRect");
    if (faultAt("seam", "GetClientRect", kFaultError))
        return FALSE;
    return s_fake->getClientRect ? s_fake->getClientRect(hwnd, rect) : ::GetClientRect(hwnd, rect);
}

FakeSystemScope::FakeSystemScope() : saved_(g_sys)
{
    s_fake = &fake_;
    g_sys.CoInitialize = fakeCoInitialize;
    g_sys.CoUninitialize = fakeCoUninitialize;
    g_sys.CoCreateInstance = fakeCoCreateInstance;
    g_sys.DirectInput8Create = fakeDirectInput8Create;
    g_sys.MessageBoxA = fakeMessageBoxA;
    g_sys.SystemParametersInfoA = fakeSystemParametersInfoA;
    g_sys.timeGetTime = fakeTimeGetTime;
    g_sys.GetFileAttributesA = fakeGetFileAttributesA;
    g_sys.GetCurrentDirectoryA = fakeGetCurrentDirectoryA;
    g_sys.GetSystemDirectoryA = fakeGetSystemDirectoryA;
    g_sys.GetFileVersionInfoSizeA = fakeGetFileVersionInfoSizeA;
    g_sys.GetFileVersionInfoA = fakeGetFileVersionInfoA;
    g_sys.VerQueryValueA = fakeVerQueryValueA;
    g_sys.GetClientRect = fakeGetClientRect;
}

FakeSystemScope::~FakeSystemScope()
{
    g_sys = saved_;
    s_fake = nullptr;
}

#include "fakes/fake_system.h"

#include <xinput.h>

#include <algorithm>
#include <cstring>
#include <iterator>

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

// With a current directory of the fake's, a relative name joined to it.
static DWORD WINAPI fakeGetFullPathNameA(LPCSTR name, DWORD n, LPSTR buf, LPSTR* part)
{
    s_fake->calls.push_back("GetFullPathNameA");
    if (const unsigned kind = faultAt("seam", "GetFullPathNameA", kFaultError | kFaultTooSmall))
        return kind == kFaultTooSmall ? n + 40 : 0;
    const std::string& dir = s_fake->currentDirectory;
    if (dir.empty())
        return ::GetFullPathNameA(name, n, buf, part);
    // A name with a root of its own stays as it is.
    const bool relative = name[0] != '\\' && name[0] != '/' && !(name[0] && name[1] == ':');
    const std::string full = relative ? dir + "\\" + name : name;
    if (n < full.size() + 1)
        return static_cast<DWORD>(full.size() + 1);
    std::memcpy(buf, full.c_str(), full.size() + 1);
    if (part)
        *part = nullptr;
    return static_cast<DWORD>(full.size());
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

static UINT WINAPI fakeGetRawInputDeviceList(PRAWINPUTDEVICELIST list, PUINT count, UINT)
{
    s_fake->calls.push_back("GetRawInputDeviceList");
    const UINT n = static_cast<UINT>(s_fake->rawDevices.size());
    // Too small also when a device was plugged in since the count.
    const unsigned kind = faultAt("seam", "GetRawInputDeviceList", list ? kFaultError | kFaultTooSmall : kFaultError);
    if (kind == kFaultError || !list || *count < n || kind == kFaultTooSmall) {
        const bool query = !list && !kind;
        *count = n + (kind == kFaultTooSmall);
        return query ? 0 : static_cast<UINT>(-1);
    }
    for (UINT k = 0; k < n; ++k)
        list[k] = {reinterpret_cast<HANDLE>(static_cast<uintptr_t>(k + 1)), s_fake->rawDevices[k].type};
    return n;
}

static UINT WINAPI fakeGetRawInputDeviceInfoA(HANDLE device, UINT, LPVOID data, PUINT size)
{
    s_fake->calls.push_back("GetRawInputDeviceInfoA");
    const std::string& name = s_fake->rawDevices.at(reinterpret_cast<uintptr_t>(device) - 1).name;
    const UINT need = static_cast<UINT>(name.size() + 1); // characters, the terminator too
    if (faultAt("seam", "GetRawInputDeviceInfoA", kFaultError) || *size < need)
        return static_cast<UINT>(-1);
    std::memcpy(data, name.c_str(), need);
    return need;
}

static DWORD WINAPI fakeXInputSetState(DWORD user, XINPUT_VIBRATION* v)
{
    s_fake->calls.push_back("XInputSetState");
    // A pad that fails is taken as unplugged: its motors stopped with it.
    if (faultAt("XInput", "XInputSetState", kFaultError))
        s_fake->xinputConnected[user] = false;
    if (!s_fake->xinputConnected[user])
        return ERROR_DEVICE_NOT_CONNECTED;
    if (s_fake->xinputSetStateResult != ERROR_SUCCESS)
        return s_fake->xinputSetStateResult;
    const WORD l = v->wLeftMotorSpeed, r = v->wRightMotorSpeed;
    const std::string what = l == 0xFFFF && r == 0xFFFF ? "on" : !l && !r ? "off" : std::to_string(l) + " " + std::to_string(r);
    s_fake->motors.push_back(std::to_string(user) + " " + what);
    return ERROR_SUCCESS;
}

static DWORD WINAPI fakeXInputGetCapabilities(DWORD user, DWORD, XINPUT_CAPABILITIES* caps)
{
    s_fake->calls.push_back("XInputGetCapabilities");
    if (faultAt("XInput", "XInputGetCapabilities", kFaultError) || !s_fake->xinputConnected[user])
        return ERROR_DEVICE_NOT_CONNECTED;
    *caps = {};
    return ERROR_SUCCESS;
}

// A fake XInput library's handle: its position in this list, past the base.
static const char* const kXInputNames[] = {"xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll"};
static const uintptr_t kFakeModuleBase = 0x7e570000;

static HMODULE WINAPI fakeLoadLibraryA(LPCSTR path)
{
    s_fake->calls.push_back("LoadLibraryA");
    s_fake->loadedPaths.push_back(path);
    const std::string file = s_fake->loadedPaths.back().substr(s_fake->loadedPaths.back().find_last_of('\\') + 1);
    for (size_t k = 0; k < std::size(kXInputNames); ++k) {
        if (file == kXInputNames[k] && s_fake->libraries.count(file) && !faultAt("seam", "LoadLibraryA", kFaultError)) {
            ++s_fake->openLibraries;
            return reinterpret_cast<HMODULE>(kFakeModuleBase + k);
        }
    }
    return nullptr;
}

static FARPROC WINAPI fakeGetProcAddress(HMODULE, LPCSTR name)
{
    s_fake->calls.push_back("GetProcAddress");
    void* f = nullptr;
    if (!std::strcmp(name, "XInputSetState"))
        f = reinterpret_cast<void*>(fakeXInputSetState);
    if (!std::strcmp(name, "XInputGetCapabilities"))
        f = reinterpret_cast<void*>(fakeXInputGetCapabilities);
    return faultAt("seam", "GetProcAddress", kFaultError) ? nullptr : reinterpret_cast<FARPROC>(f);
}

static BOOL WINAPI fakeFreeLibrary(HMODULE)
{
    s_fake->calls.push_back("FreeLibrary");
    --s_fake->openLibraries;
    return TRUE;
}

static UINT_PTR WINAPI fakeSetTimer(HWND, UINT_PTR id, UINT ms, TIMERPROC proc)
{
    s_fake->calls.push_back("SetTimer");
    if (faultAt("seam", "SetTimer", kFaultError))
        return 0;
    // The same timer when the id is a live one's, else a new one.
    static UINT_PTR s_lastId = 0x100;
    auto& timers = s_fake->timers;
    auto it = std::find_if(timers.begin(), timers.end(), [id](const FakeSystem::Timer& t) { return t.id == id; });
    if (it == timers.end())
        it = timers.insert(timers.end(), {++s_lastId, 0, nullptr});
    it->ms = ms;
    it->proc = proc;
    return it->id;
}

static BOOL WINAPI fakeKillTimer(HWND, UINT_PTR id)
{
    s_fake->calls.push_back("KillTimer");
    auto& timers = s_fake->timers;
    const size_t before = timers.size();
    timers.erase(std::remove_if(timers.begin(), timers.end(), [id](const FakeSystem::Timer& t) { return t.id == id; }),
                 timers.end());
    return timers.size() < before;
}

// The platform's own answer, or none.
static SIZE_T WINAPI fakeVirtualQuery(LPCVOID at, PMEMORY_BASIC_INFORMATION info, SIZE_T size)
{
    s_fake->calls.push_back("VirtualQuery");
    if (faultAt("seam", "VirtualQuery", kFaultError))
        return 0;
    return ::VirtualQuery(at, info, size);
}

void FakeSystem::fireTimers()
{
    for (const Timer& t : std::vector<Timer>(timers))
        t.proc(nullptr, WM_TIMER, t.id, clock);
}

std::string FakeSystem::xinputProblems() const
{
    std::string out;
    if (openLibraries != 0)
        out += std::to_string(openLibraries) + " library(ies) left loaded\n";
    if (!timers.empty())
        out += std::to_string(timers.size()) + " timer(s) left\n";
    for (int user = 0; user < 4; ++user) {
        std::string last = "off";
        for (const std::string& m : motors)
            if (m.rfind(std::to_string(user) + " ", 0) == 0)
                last = m.substr(2);
        if (last != "off" && xinputConnected[user])
            out += "the motors of XInput user " + std::to_string(user) + " left running\n";
    }
    return out;
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
    g_sys.GetFullPathNameA = fakeGetFullPathNameA;
    g_sys.GetSystemDirectoryA = fakeGetSystemDirectoryA;
    g_sys.GetFileVersionInfoSizeA = fakeGetFileVersionInfoSizeA;
    g_sys.GetFileVersionInfoA = fakeGetFileVersionInfoA;
    g_sys.VerQueryValueA = fakeVerQueryValueA;
    g_sys.GetClientRect = fakeGetClientRect;
    g_sys.GetRawInputDeviceList = fakeGetRawInputDeviceList;
    g_sys.GetRawInputDeviceInfoA = fakeGetRawInputDeviceInfoA;
    g_sys.LoadLibraryA = fakeLoadLibraryA;
    g_sys.GetProcAddress = fakeGetProcAddress;
    g_sys.FreeLibrary = fakeFreeLibrary;
    g_sys.SetTimer = fakeSetTimer;
    g_sys.KillTimer = fakeKillTimer;
    g_sys.VirtualQuery = fakeVirtualQuery;
}

FakeSystemScope::~FakeSystemScope()
{
    g_sys = saved_;
    s_fake = nullptr;
}

// Rumble for the pads whose motors DirectInput cannot reach: Xbox-style
// controllers, which DirectInput opens for their buttons and sticks but
// reports without force feedback. Their motors answer to XInput, which is
// loaded at run time (a system may lack it), and only when such a pad is
// attached.
//
// Stopping the motors: XInput has no timed effects, so a jolt starts both
// motors and the plug-in stops them 0.2 s later itself, on the host's
// thread, without a thread of its own. A thread timer (SetTimer without a
// window, with a callback) fires through the host's message loop, and every
// input poll looks as well, so the motors stop within about one timer tick
// of the jolt's end whether the host pumps messages or only polls.
// releaseDInput (tovbye, a new tovinit) stops whatever still runs and kills
// the timer on the same thread, so no callback can come after it; so does
// the library's unload without tovbye (DllMain).
#include <cstdlib>
#include <cstring>

#include "input.h"
#include "padids.h"
#include "plugin/boundary.h"
#include "plugin/syscalls.h"

#include <xinput.h>

typedef DWORD(WINAPI* XInputSetStateFn)(DWORD, XINPUT_VIBRATION*);
typedef DWORD(WINAPI* XInputGetCapabilitiesFn)(DWORD, DWORD, XINPUT_CAPABILITIES*);

HMODULE g_hXInput = nullptr;
XInputSetStateFn g_pXInputSetState = nullptr;
XInputGetCapabilitiesFn g_pXInputGetCapabilities = nullptr;
int g_bXInputPad[kMaxJoysticks] = {};
DWORD g_dwXInputUser[kMaxJoysticks] = {};
int g_bMotorOn[kXInputUsers] = {};
DWORD g_dwMotorStop[kXInputUsers] = {};
UINT_PTR g_uMotorTimer = 0;

namespace {

constexpr WORD kMotorFull = 0xFFFF;
constexpr DWORD kJoltMs = kEffectDuration / 1000;
// No XInput pad's interface name is longer; a longer one is not looked at.
constexpr UINT kRawNameSize = 256;
// XInput serves four pads; a few more interfaces than that are looked at.
constexpr int kMaxXInputDevices = 16;

// The ids of the XInput devices among the raw input devices.
int listXInputIds(uint32_t (&ids)[kMaxXInputDevices])
{
    UINT count = 0;
    if (g_sys.GetRawInputDeviceList(nullptr, &count, sizeof(RAWINPUTDEVICELIST)) != 0)
        return 0;
    // A device plugged in between the two calls makes the list longer than
    // counted: then once more with the new count.
    for (int attempt = 0; attempt < 2 && count > 0; ++attempt) {
        auto* list = static_cast<RAWINPUTDEVICELIST*>(std::malloc(count * sizeof(RAWINPUTDEVICELIST)));
        if (!list)
            return 0;
        UINT room = count;
        const UINT listed = g_sys.GetRawInputDeviceList(list, &room, sizeof(RAWINPUTDEVICELIST));
        if (listed == static_cast<UINT>(-1)) {
            std::free(list);
            count = room;
            continue;
        }
        int found = 0;
        for (UINT k = 0; k < listed && k < count && found < kMaxXInputDevices; ++k) {
            if (list[k].dwType != RIM_TYPEHID)
                continue;
            char name[kRawNameSize];
            UINT size = kRawNameSize;
            const UINT length = g_sys.GetRawInputDeviceInfoA(list[k].hDevice, RIDI_DEVICENAME, name, &size);
            if (length == 0 || length == static_cast<UINT>(-1))
                continue;
            name[length < kRawNameSize ? length : kRawNameSize - 1] = '\0';
            if (xinputIdsOfName(name, ids[found]))
                ++found;
        }
        std::free(list);
        return found;
    }
    return 0;
}

void unloadXInput()
{
    if (g_hXInput)
        g_sys.FreeLibrary(g_hXInput);
    g_hXInput = nullptr;
    g_pXInputSetState = nullptr;
    g_pXInputGetCapabilities = nullptr;
}

void stopMotor(DWORD user)
{
    // A pad unplugged meanwhile has stopped on its own.
    XINPUT_VIBRATION off{0, 0};
    g_pXInputSetState(user, &off);
    g_bMotorOn[user] = 0;
}

void CALLBACK motorTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    // Fired from the host's message loop, maybe while another thread runs a
    // command (one that waits for the host's thread, even): no waiting
    // here. A tick that finds a command running is skipped; the timer fires
    // again, and the next poll stops the motors as well.
    if (!tryEnterCommand())
        return;
    if (id == g_uMotorTimer)
        stopDueMotors();
    leaveCommand();
}

} // namespace

bool loadXInput()
{
    // From the system folder only, never from the game's folder.
    char path[MAX_PATH];
    const UINT n = g_sys.GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH - 20)
        return false;
    static const char* const kNames[] = {"\\xinput1_4.dll", "\\xinput1_3.dll", "\\xinput9_1_0.dll"};
    for (const char* name : kNames) {
        std::strcpy(path + n, name);
        g_hXInput = g_sys.LoadLibraryA(path);
        if (!g_hXInput)
            continue;
        g_pXInputSetState = reinterpret_cast<XInputSetStateFn>(
            reinterpret_cast<void*>(g_sys.GetProcAddress(g_hXInput, "XInputSetState")));
        g_pXInputGetCapabilities = reinterpret_cast<XInputGetCapabilitiesFn>(
            reinterpret_cast<void*>(g_sys.GetProcAddress(g_hXInput, "XInputGetCapabilities")));
        if (g_pXInputSetState && g_pXInputGetCapabilities)
            return true;
        unloadXInput();
    }
    return false;
}

void findXInputPads()
{
    uint32_t ids[kMaxXInputDevices];
    const int devices = g_nJoystickCount > 0 ? listXInputIds(ids) : 0;
    bool pad[kMaxJoysticks] = {};
    bool any = false;
    for (int i = 0; i < g_nJoystickCount; ++i) {
        for (int k = 0; k < devices; ++k)
            pad[i] = pad[i] || (g_dwJoystickProduct[i] != 0 && g_dwJoystickProduct[i] == ids[k]);
        any = any || pad[i];
    }
    if (!any || !loadXInput())
        return;

    // Every XInput pad takes an index, also one that DirectInput can shake
    // itself, so that the pads after it get theirs.
    bool connected[kXInputUsers];
    for (DWORD u = 0; u < kXInputUsers; ++u) {
        XINPUT_CAPABILITIES caps{};
        connected[u] = g_pXInputGetCapabilities(u, 0, &caps) == ERROR_SUCCESS;
    }
    int user[kMaxJoysticks];
    pairXInputUsers(pad, g_nJoystickCount, connected, user);
    bool used = false;
    for (int i = 0; i < g_nJoystickCount; ++i) {
        if (user[i] >= 0 && g_bForceFeedback[i] == 0) {
            g_bXInputPad[i] = 1;
            g_dwXInputUser[i] = static_cast<DWORD>(user[i]);
            used = true;
        }
    }
    if (!used)
        unloadXInput();
}

DWORD joltXInputPad(int joystick)
{
    const DWORD user = g_dwXInputUser[joystick];
    XINPUT_VIBRATION full{kMotorFull, kMotorFull};
    const DWORD rc = g_pXInputSetState(user, &full);
    if (rc != ERROR_SUCCESS)
        return rc;
    // A jolt while one plays starts it again: the stop moves on.
    g_bMotorOn[user] = 1;
    g_dwMotorStop[user] = g_sys.timeGetTime() + kJoltMs;
    stopDueMotors();
    return ERROR_SUCCESS;
}

void stopDueMotors()
{
    bool running = false;
    for (int u = 0; u < kXInputUsers; ++u)
        running = running || g_bMotorOn[u];
    if (!running)
        return;

    const DWORD now = g_sys.timeGetTime();
    DWORD wait = 0;
    for (DWORD u = 0; u < kXInputUsers; ++u) {
        if (!g_bMotorOn[u])
            continue;
        const DWORD left = g_dwMotorStop[u] - now;
        if (static_cast<LONG>(left) <= 0)
            stopMotor(u);
        else if (wait == 0 || left < wait)
            wait = left;
    }
    if (wait == 0) {
        if (g_uMotorTimer)
            g_sys.KillTimer(nullptr, g_uMotorTimer);
        g_uMotorTimer = 0;
        return;
    }
    // The same timer, set to the next end. Should it not be set, the polls
    // still stop the motors, and the old timer is killed with the last.
    if (const UINT_PTR id = g_sys.SetTimer(nullptr, g_uMotorTimer, wait, motorTimer))
        g_uMotorTimer = id;
}

void stopRumble()
{
    for (DWORD u = 0; u < kXInputUsers; ++u)
        if (g_bMotorOn[u])
            stopMotor(u);
    if (g_uMotorTimer)
        g_sys.KillTimer(nullptr, g_uMotorTimer);
    g_uMotorTimer = 0;
}

void releaseXInput()
{
    stopRumble();
    unloadXInput();
    std::memset(g_bXInputPad, 0, sizeof g_bXInputPad);
    std::memset(g_dwXInputUser, 0, sizeof g_dwXInputUser);
}

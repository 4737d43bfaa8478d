// The input engine: DirectInput, the system mouse and keyboard and up to
// eight game controllers, opened at tovinit and released at tovbye.
#include <cstring>

#include "input.h"
#include "plugin/boxes.h"
#include "plugin/com.h"
#include "plugin/globals.h"
#include "plugin/messages.h"
#include "plugin/syscalls.h"

LPDIRECTINPUT8A g_lpDI = nullptr;
LPDIRECTINPUTDEVICE8A g_lpDIMouse = nullptr;
LPDIRECTINPUTDEVICE8A g_lpDIKeyboard = nullptr;
LPDIRECTINPUTDEVICE8A g_lpDIJoystick[kMaxJoysticks] = {};
int g_nJoystickCount = 0;
char g_szJoystickName[kMaxJoysticks][kJoystickNameSize] = {};
DIDEVCAPS g_DIDevCaps[kMaxJoysticks] = {};
int g_bForceFeedback[kMaxJoysticks] = {};
DWORD g_dwAxes[kMaxJoysticks] = {};
LPDIRECTINPUTEFFECT g_lpDIEffect[kMaxJoysticks] = {};
DWORD g_dwJoystickProduct[kMaxJoysticks] = {};

namespace {

DIPROPDWORD dwordProperty(DWORD obj, DWORD how, DWORD data)
{
    DIPROPDWORD prop{};
    prop.diph.dwSize = sizeof(DIPROPDWORD);
    prop.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    prop.diph.dwObj = obj;
    prop.diph.dwHow = how;
    prop.dwData = data;
    return prop;
}

DIPROPRANGE rangeProperty(DWORD obj, DWORD how)
{
    DIPROPRANGE prop{};
    prop.diph.dwSize = sizeof(DIPROPRANGE);
    prop.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    prop.diph.dwObj = obj;
    prop.diph.dwHow = how;
    prop.lMin = kAxisMin;
    prop.lMax = kAxisMax;
    return prop;
}

// The joystick's constant-force effect, made silent: tovjoyshock gives it
// direction and magnitude when it plays it.
HRESULT createConstantForce(int i)
{
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG direction[2] = {0, 0};
    DICONSTANTFORCE force{};
    force.lMagnitude = 0;

    DIEFFECT effect{};
    effect.dwSize = sizeof(DIEFFECT);
    effect.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    effect.dwDuration = kEffectDuration;
    effect.dwSamplePeriod = 0;
    effect.dwGain = DI_FFNOMINALMAX;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.dwTriggerRepeatInterval = 0;
    effect.cAxes = g_dwAxes[i];
    effect.rgdwAxes = axes;
    effect.rglDirection = direction;
    effect.lpEnvelope = nullptr;
    effect.cbTypeSpecificParams = sizeof(DICONSTANTFORCE);
    effect.lpvTypeSpecificParams = &force;
    effect.dwStartDelay = 0;
    return g_lpDIJoystick[i]->CreateEffect(GUID_ConstantForce, &effect, &g_lpDIEffect[i], nullptr);
}

} // namespace

bool initDMouse()
{
    // Only DI_OK counts: a positive success code fails the mouse as well
    // (the device it handed out stays for releaseDInput), and so does a
    // success that hands out no device.
    const HRESULT hr = g_lpDI->CreateDevice(GUID_SysMouse, &g_lpDIMouse, nullptr);
    if (!obtained(hr, g_lpDIMouse) || hr != DI_OK)
        return false;
    if (g_lpDIMouse->SetDataFormat(&c_dfDIMouse2) != DI_OK)
        return false;
    if (g_lpDIMouse->SetCooperativeLevel(g_hWnd, kSharedForeground) != DI_OK)
        return false;
    const DIPROPDWORD mode = dwordProperty(0, DIPH_DEVICE, DIPROPAXISMODE_REL);
    if (g_lpDIMouse->SetProperty(DIPROP_AXISMODE, &mode.diph) != DI_OK)
        return false;
    // A foreground device cannot be acquired while the host's window is in
    // the background; the reading commands acquire it again.
    g_lpDIMouse->Acquire();
    return true;
}

bool initDKeyboard()
{
    const HRESULT hr = g_lpDI->CreateDevice(GUID_SysKeyboard, &g_lpDIKeyboard, nullptr);
    if (!obtained(hr, g_lpDIKeyboard) || hr != DI_OK)
        return false;
    if (g_lpDIKeyboard->SetDataFormat(&c_dfDIKeyboard) != DI_OK)
        return false;
    if (g_lpDIKeyboard->SetCooperativeLevel(g_hWnd, kSharedForeground) != DI_OK)
        return false;
    g_lpDIKeyboard->Acquire();
    return true;
}

BOOL CALLBACK enumJoysticksCallback(LPCDIDEVICEINSTANCEA instance, LPVOID)
{
    if (g_nJoystickCount >= kMaxJoysticks)
        return DIENUM_STOP;
    const int i = g_nJoystickCount;

    // A controller that cannot be opened takes no number: the next one gets
    // this entry.
    if (!obtained(g_lpDI->CreateDevice(instance->guidInstance, &g_lpDIJoystick[i], nullptr), g_lpDIJoystick[i]))
        return DIENUM_CONTINUE;
    std::memset(&g_DIDevCaps[i], 0, sizeof g_DIDevCaps[i]);
    g_DIDevCaps[i].dwSize = sizeof(DIDEVCAPS);
    if (FAILED(g_lpDIJoystick[i]->GetCapabilities(&g_DIDevCaps[i]))) {
        releaseAndNull(g_lpDIJoystick[i]);
        return DIENUM_CONTINUE;
    }
    g_bForceFeedback[i] = (g_DIDevCaps[i].dwFlags & DIDC_FORCEFEEDBACK) ? 1 : 0;

    // The platform's name may fill its whole field without a terminator.
    const size_t n = strnlen(instance->tszInstanceName, kJoystickNameSize - 1);
    std::memcpy(g_szJoystickName[i], instance->tszInstanceName, n);
    g_szJoystickName[i][n] = '\0';

    // DirectInput makes a HID device's product GUID of its USB ids, marked
    // by "PIDVID" at its end.
    const GUID& product = instance->guidProduct;
    g_dwJoystickProduct[i] = std::memcmp(product.Data4, "\0\0PIDVID", 8) == 0 ? product.Data1 : 0;

    ++g_nJoystickCount;
    return DIENUM_CONTINUE;
}

BOOL CALLBACK enumAxesCallback(LPCDIDEVICEOBJECTINSTANCEA instance, LPVOID context)
{
    const int i = static_cast<int>(reinterpret_cast<INT_PTR>(context));
    const DIPROPRANGE range = rangeProperty(instance->dwType, DIPH_BYID);
    // The axes after one that refuses its range are neither set nor counted.
    if (FAILED(g_lpDIJoystick[i]->SetProperty(DIPROP_RANGE, &range.diph)))
        return DIENUM_STOP;
    ++g_dwAxes[i];
    return DIENUM_CONTINUE;
}

bool initDJoystick()
{
    // No attached controller is no failure: the count stays 0.
    if (FAILED(g_lpDI->EnumDevices(DI8DEVCLASS_GAMECTRL, enumJoysticksCallback, nullptr, DIEDFL_ATTACHEDONLY))) {
        showBoxAlways(kTextInitDJoystickCreate);
        return false;
    }
    findXInputPads();

    for (int i = 0; i < g_nJoystickCount; ++i) {
        LPDIRECTINPUTDEVICE8A joystick = g_lpDIJoystick[i];
        if (FAILED(joystick->SetDataFormat(&c_dfDIJoystick))) {
            showBoxAlways(kTextInitDJoystickFormat);
            return false;
        }
        if (FAILED(joystick->SetCooperativeLevel(g_hWnd, kExclusiveForeground))) {
            showBoxAlways(kTextInitDJoystickCoop);
            return false;
        }
        // The callback learns whose axes it sets from its context.
        if (FAILED(joystick->EnumObjects(enumAxesCallback, reinterpret_cast<LPVOID>(static_cast<INT_PTR>(i)),
                                         DIDFT_AXIS))) {
            showBoxAlways(kTextInitDJoystickAxes);
            return false;
        }

        // X and Y on the same scale as the other axes, with a dead zone so
        // that a stick near its centre reads exactly 0. Results ignored.
        const DWORD xy[2] = {DIJOFS_X, DIJOFS_Y};
        for (DWORD offset : xy) {
            const DIPROPRANGE range = rangeProperty(offset, DIPH_BYOFFSET);
            joystick->SetProperty(DIPROP_RANGE, &range.diph);
        }
        for (DWORD offset : xy) {
            const DIPROPDWORD zone = dwordProperty(offset, DIPH_BYOFFSET, kDeadZone);
            joystick->SetProperty(DIPROP_DEADZONE, &zone.diph);
        }
        joystick->Acquire();

        if (g_bForceFeedback[i] == 1) {
            // The effect pushes along X and Y only.
            if (g_dwAxes[i] > 2)
                g_dwAxes[i] = 2;
            // A joystick whose effect cannot be made fails like any other
            // step: the joystick box is shown and the mouse and keyboard stay
            // open.
            if (!obtained(createConstantForce(i), g_lpDIEffect[i]))
                return false;
        }
    }
    return true;
}

bool initDInput()
{
    // Only DI_OK counts (an object handed out with another success code stays
    // for releaseDInput); a success that hands out no object is no
    // DirectInput either.
    const HRESULT hr = g_sys.DirectInput8Create(g_hInstance, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                                reinterpret_cast<LPVOID*>(&g_lpDI), nullptr);
    if (!obtained(hr, g_lpDI) || hr != DI_OK)
        return false;

    const bool mouse = initDMouse();
    if (!mouse)
        showBoxAlways(kTextInitDInputMouse);
    const bool keyboard = initDKeyboard();
    if (!keyboard)
        showBoxAlways(kTextInitDInputKeyboard);
    const bool joystick = initDJoystick();
    if (!joystick)
        showBoxAlways(kTextInitDInputJoystick);

    // Every device stays open while at least one setup succeeded, also one
    // whose setup stopped half-way.
    if (mouse || keyboard || joystick)
        return true;
    releaseDInput();
    return false;
}

void releaseDInput()
{
    // The pads' motors stop before their devices go.
    releaseXInput();
    // An effect belongs to its device and goes first.
    for (int i = 0; i < kMaxJoysticks; ++i) {
        releaseAndNull(g_lpDIEffect[i]);
        if (g_lpDIJoystick[i]) {
            g_lpDIJoystick[i]->Unacquire();
            releaseAndNull(g_lpDIJoystick[i]);
        }
    }
    releaseAndNull(g_lpDIKeyboard);
    releaseAndNull(g_lpDIMouse);
    releaseAndNull(g_lpDI);

    // A later start counts its joysticks and axes from nothing.
    g_nJoystickCount = 0;
    std::memset(g_szJoystickName, 0, sizeof g_szJoystickName);
    std::memset(g_DIDevCaps, 0, sizeof g_DIDevCaps);
    std::memset(g_bForceFeedback, 0, sizeof g_bForceFeedback);
    std::memset(g_dwAxes, 0, sizeof g_dwAxes);
    std::memset(g_dwJoystickProduct, 0, sizeof g_dwJoystickProduct);
}

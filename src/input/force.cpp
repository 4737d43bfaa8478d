// Force feedback: whether a joystick can push back, and one short jolt.
#include <cstdio>

#include "input.h"
#include "plugin/boxes.h"
#include "plugin/messages.h"
#include "plugin/records.h"

extern "C" int TOLVO_CALL tovjoyforce(TolvoVar* var, int32_t joystick, int32_t, int32_t)
{
    const int status = joystickNumberTest(joystick);
    if (status != 0)
        return status;
    // One byte, the first of the storage; nothing else of the variable.
    if (!hasStorage(var))
        return -1;
    const bool rumbles = g_bForceFeedback[joystick] == 1 || g_bXInputPad[joystick] == 1;
    *static_cast<unsigned char*>(var->data) = rumbles ? 1 : 0;
    return 0;
}

namespace {

// The box of a failed jolt: the device's code.
void showJoltCodeBox(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, kTextCodeFormat, static_cast<int>(hr));
    showBoxWhileVerbose(text, kTextShortCaption);
}

} // namespace

extern "C" int TOLVO_CALL tovjoyshock(int32_t joystick, int32_t, int32_t, int32_t)
{
    if (joystick < 0 || joystick >= kMaxJoysticks || !g_lpDIJoystick[joystick])
        return -1;
    if (g_bXInputPad[joystick] == 1) {
        const DWORD rc = joltXInputPad(joystick);
        // An unplugged pad answers as a DirectInput device that lost its
        // input; XInput's other failures show nothing.
        if (rc == ERROR_DEVICE_NOT_CONNECTED)
            showJoltCodeBox(DIERR_INPUTLOST);
        return rc == ERROR_SUCCESS ? 0 : -1;
    }
    if (g_bForceFeedback[joystick] == 0)
        return -1;
    // A force-feedback joystick whose effect could not be made has nothing
    // to play.
    LPDIRECTINPUTEFFECT effect = g_lpDIEffect[joystick];
    if (!effect)
        return -1;

    LONG direction[2] = {0, 0};
    DICONSTANTFORCE force{};
    force.lMagnitude = kJoltMagnitude;
    if (g_dwAxes[joystick] != 1) {
        // Towards positive X and positive Y.
        direction[0] = kJoltDirection;
        direction[1] = kJoltDirection;
    }

    // Only direction and magnitude are replaced; the duration and gain stay
    // those the effect was made with.
    DIEFFECT params{};
    params.dwSize = sizeof(DIEFFECT);
    params.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    params.cAxes = g_dwAxes[joystick];
    params.rglDirection = direction;
    params.lpEnvelope = nullptr;
    params.cbTypeSpecificParams = sizeof(DICONSTANTFORCE);
    params.lpvTypeSpecificParams = &force;
    params.dwStartDelay = 0;

    // Starts the jolt, or starts it again from its beginning.
    const HRESULT hr = effect->SetParameters(&params, kJoltFlags);
    switch (static_cast<DWORD>(hr)) {
    case static_cast<DWORD>(DIERR_NOTINITIALIZED):
    case static_cast<DWORD>(DIERR_INCOMPLETEEFFECT):
    case static_cast<DWORD>(DIERR_EFFECTPLAYING):
    case static_cast<DWORD>(DIERR_INPUTLOST):
    case static_cast<DWORD>(DIERR_INVALIDPARAM):
        showJoltCodeBox(hr);
        return -1;
    default:
        return 0;
    }
}

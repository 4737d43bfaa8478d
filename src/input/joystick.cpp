// Joystick count, names, and polled stick directions and buttons.
#include <cstring>

#include "input.h"
#include "plugin/records.h"

BYTE g_byJoyLatch[kJoystickBits] = {};

namespace {

// Whether joystick bit k is set in the state: bits 0 to 3 are up, down, left
// and right (beyond the dead zone), bit 4 + n is button n.
inline bool bitHolds(const DIJOYSTATE& s, int k)
{
    switch (k) {
    case 0: return s.lY < 0;
    case 1: return s.lY > 0;
    case 2: return s.lX < 0;
    case 3: return s.lX > 0;
    default: return isDown(s.rgbButtons[k - 4]);
    }
}

// One Poll and one read of an open joystick. A failed read acquires the
// device again for the next call.
bool readJoystick(int32_t joystick, DIJOYSTATE& state)
{
    LPDIRECTINPUTDEVICE8A device = g_lpDIJoystick[joystick];
    device->Poll();
    if (device->GetDeviceState(sizeof state, &state) != DI_OK) {
        device->Acquire();
        return false;
    }
    return true;
}

// The prologue of both state commands: 0 stored first, then the joystick
// number test; false (with the status to return) when there is nothing to
// report, also after a failed read (status 0).
bool readJoystickBits(int32_t* result, int32_t joystick, DIJOYSTATE& state, int& status)
{
    if (!hasResult(result)) {
        status = -1;
        return false;
    }
    *result = 0;
    status = joystickNumberTest(joystick);
    return status == 0 && readJoystick(joystick, state);
}

} // namespace

int joystickNumberTest(int32_t joystick)
{
    if (joystick < 0 || joystick >= kMaxJoysticks)
        return -2;
    if (!g_lpDIJoystick[joystick])
        return -1;
    if (g_nJoystickCount < joystick + 1)
        return -2;
    return 0;
}

extern "C" int TOLVO_CALL tovjoynum(int32_t* result, int32_t, int32_t, int32_t)
{
    // With no joystick open the script gets -1, not a count of 0.
    if (!g_lpDIJoystick[0] || !hasResult(result))
        return -1;
    *result = g_nJoystickCount;
    return 0;
}

extern "C" int TOLVO_CALL tovjoyname(TolvoVar* var, int32_t joystick, int32_t, int32_t)
{
    const int status = joystickNumberTest(joystick);
    if (status != 0)
        return status;
    // The name goes only into the storage the variable has: cut to fit and
    // always terminated. A variable without storage gets nothing.
    if (!hasStorage(var))
        return -1;
    if (var->type == TOLVO_TYPE_INT)
        var->type = TOLVO_TYPE_STRING;
    const size_t room = static_cast<size_t>(var->word_count) * 4;
    const char* name = g_szJoystickName[joystick];
    const size_t n = strnlen(name, room - 1);
    char* out = static_cast<char*>(var->data);
    std::memcpy(out, name, n);
    out[n] = '\0';
    return 0;
}

extern "C" int TOLVO_CALL tovjoystate(int32_t* result, int32_t joystick, int32_t, int32_t)
{
    stopDueMotors();
    DIJOYSTATE state;
    int status;
    if (!readJoystickBits(result, joystick, state, status))
        return status;
    int32_t bits = 0;
    for (int k = 0; k < kJoystickBits; ++k)
        if (bitHolds(state, k))
            bits |= 1 << k;
    *result = bits;
    return 0;
}

extern "C" int TOLVO_CALL tovjoytrigger(int32_t* result, int32_t joystick, int32_t, int32_t)
{
    stopDueMotors();
    DIJOYSTATE state;
    int status;
    if (!readJoystickBits(result, joystick, state, status))
        return status;
    // One set of latches for all joysticks.
    int32_t bits = 0;
    for (int k = 0; k < kJoystickBits; ++k)
        if (latchTrigger(bitHolds(state, k), g_byJoyLatch[k]))
            bits |= 1 << k;
    *result = bits;
    return 0;
}

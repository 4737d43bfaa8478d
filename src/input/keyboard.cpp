// Polled mouse buttons and the fifteen game keys, as state and as triggers.
#include "input.h"
#include "plugin/records.h"

BYTE g_byKeyLatch[256] = {};

namespace {

// Bit n of the keyboard commands' result is the key in row n.
constexpr int kGameKeys = 15;
constexpr BYTE kKeyTable[kGameKeys] = {
    DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT,      // 0x0001 .. 0x0008
    DIK_Z, DIK_X, DIK_C, DIK_V,                 // 0x0010 .. 0x0080
    DIK_RETURN, DIK_SPACE, DIK_ESCAPE,          // 0x0100 .. 0x0400
    DIK_LSHIFT, DIK_LCONTROL, DIK_LMENU, DIK_F1, // 0x0800 .. 0x4000
};

// Bit n of tovmousestate's result is button n: left, right, middle.
constexpr int kMouseButtons = 3;

// One read of the keyboard into keys. A failed read (device lost, window in
// the background) acquires the device again for the next call.
bool readKeyboard(BYTE (&keys)[256])
{
    if (g_lpDIKeyboard->GetDeviceState(sizeof keys, keys) != DI_OK) {
        g_lpDIKeyboard->Acquire();
        return false;
    }
    return true;
}

// The prologue of both keyboard commands: 0 stored first, -1 without a
// keyboard; false (status 0, nothing to report) after a failed read or with
// a mode other than 0.
bool readKeys(int32_t* result, int32_t mode, BYTE (&keys)[256], int& status)
{
    if (!hasResult(result)) {
        status = -1;
        return false;
    }
    *result = 0;
    status = g_lpDIKeyboard ? 0 : -1;
    return g_lpDIKeyboard && readKeyboard(keys) && mode == 0;
}

} // namespace

extern "C" int TOLVO_CALL tovmousestate(int32_t* result, int32_t, int32_t, int32_t)
{
    stopDueMotors();
    if (!g_lpDIMouse || !hasResult(result))
        return -1;
    DIMOUSESTATE2 state;
    if (g_lpDIMouse->GetDeviceState(sizeof state, &state) != DI_OK) {
        g_lpDIMouse->Acquire();
        *result = 0;
        return 0;
    }
    int32_t bits = 0;
    for (int b = 0; b < kMouseButtons; ++b)
        if (isDown(state.rgbButtons[b]))
            bits |= 1 << b;
    *result = bits;
    return 0;
}

extern "C" int TOLVO_CALL tovkeystate(int32_t* result, int32_t mode, int32_t, int32_t)
{
    stopDueMotors();
    BYTE keys[256];
    int status;
    if (!readKeys(result, mode, keys, status))
        return status;
    int32_t bits = 0;
    for (int row = 0; row < kGameKeys; ++row)
        if (isDown(keys[kKeyTable[row]]))
            bits |= 1 << row;
    *result = bits;
    return 0;
}

extern "C" int TOLVO_CALL tovkeytrigger(int32_t* result, int32_t mode, int32_t, int32_t)
{
    stopDueMotors();
    BYTE keys[256];
    int status;
    if (!readKeys(result, mode, keys, status))
        return status;
    // A held key is reported by the first call that sees it down, and again
    // only after a call has seen it up.
    int32_t bits = 0;
    for (int row = 0; row < kGameKeys; ++row)
        if (latchTrigger(isDown(keys[kKeyTable[row]]), g_byKeyLatch[kKeyTable[row]]))
            bits |= 1 << row;
    *result = bits;
    return 0;
}

// Input commands until the DirectInput engine lands: no device is open, so
// every command answers as it does when input was not started.
#include "input.h"

int initDInput()
{
    return 0;
}

void releaseDInput()
{
}

// Joystick number test with an empty joystick table.
static int joystickNumberTest(int32_t joystick)
{
    return (joystick < 0 || joystick > 7) ? -2 : -1;
}

extern "C" int TOLVO_CALL tovmousestate(int32_t*, int32_t, int32_t, int32_t) { return -1; }
extern "C" int TOLVO_CALL tovkeystate(int32_t* result, int32_t, int32_t, int32_t) { *result = 0; return -1; }
extern "C" int TOLVO_CALL tovkeytrigger(int32_t* result, int32_t, int32_t, int32_t) { *result = 0; return -1; }
extern "C" int TOLVO_CALL tovjoynum(int32_t*, int32_t, int32_t, int32_t) { return -1; }
extern "C" int TOLVO_CALL tovjoyname(TolvoVar*, int32_t j, int32_t, int32_t) { return joystickNumberTest(j); }
extern "C" int TOLVO_CALL tovjoyforce(TolvoVar*, int32_t j, int32_t, int32_t) { return joystickNumberTest(j); }
extern "C" int TOLVO_CALL tovjoystate(int32_t* result, int32_t j, int32_t, int32_t) { *result = 0; return joystickNumberTest(j); }
extern "C" int TOLVO_CALL tovjoytrigger(int32_t* result, int32_t j, int32_t, int32_t) { *result = 0; return joystickNumberTest(j); }
extern "C" int TOLVO_CALL tovjoyshock(int32_t, int32_t, int32_t, int32_t) { return -1; }

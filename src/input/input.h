// Internal header of the input subsystem: the DirectInput objects that the
// engine start opens, the tables that the reading commands use, and the
// engine's own steps. Windows builds only.
#pragma once

#include <windows.h>

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <dinput.h>

#include <cstdint>

#include "padids.h"
#include "tolvo.h"

// At most this many game controllers are opened, numbered 0 to 7 in the order
// DirectInput enumerates them.
constexpr int kMaxJoysticks = 8;
constexpr int kJoystickNameSize = 128;

// Axis scale of the joysticks, and the dead zone of X and Y in DirectInput's
// units of 1/10000 of the range (a quarter of it).
constexpr LONG kAxisMin = -1000;
constexpr LONG kAxisMax = 1000;
constexpr DWORD kDeadZone = 2500;

// Cooperative levels: the mouse and keyboard are shared with the system, a
// joystick belongs to the game while its window is in the foreground.
constexpr DWORD kSharedForeground = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;   // 6
constexpr DWORD kExclusiveForeground = DISCL_EXCLUSIVE | DISCL_FOREGROUND;   // 5

// The jolt of tovjoyshock and the effect it plays. Full strength is
// DirectInput's nominal maximum: a magnitude beyond it is outside the range
// DirectInput defines, and Wine's plays it as no force at all.
constexpr DWORD kEffectDuration = 200000; // microseconds
constexpr LONG kJoltMagnitude = DI_FFNOMINALMAX; // 10000
constexpr LONG kJoltDirection = 10000;
constexpr DWORD kJoltFlags = DIEP_DIRECTION | DIEP_TYPESPECIFICPARAMS | DIEP_START; // 0x20000140

// Objects opened by initDInput and released by releaseDInput. A device
// pointer is set as soon as its CreateDevice succeeded, even if a later step
// of its setup failed; the reading commands use it all the same.
extern LPDIRECTINPUT8A g_lpDI;
extern LPDIRECTINPUTDEVICE8A g_lpDIMouse;
extern LPDIRECTINPUTDEVICE8A g_lpDIKeyboard;
extern LPDIRECTINPUTDEVICE8A g_lpDIJoystick[kMaxJoysticks];

// Entries 0 to g_nJoystickCount - 1 of the per-joystick tables are filled.
extern int g_nJoystickCount;
extern char g_szJoystickName[kMaxJoysticks][kJoystickNameSize];
extern DIDEVCAPS g_DIDevCaps[kMaxJoysticks];
extern int g_bForceFeedback[kMaxJoysticks];
// Axes whose range was set; at most 2 for a force-feedback joystick.
extern DWORD g_dwAxes[kMaxJoysticks];
// The constant-force effect of a force-feedback joystick, null otherwise.
extern LPDIRECTINPUTEFFECT g_lpDIEffect[kMaxJoysticks];
// The first word of the joystick's product GUID (vendor | product << 16)
// when DirectInput made it of the USB ids, else 0.
extern DWORD g_dwJoystickProduct[kMaxJoysticks];

// XInput pads (xinput.cpp): 1 for a joystick without DirectInput force
// feedback that is an XInput pad with a user index; its jolt goes through
// XInput to that index. Set by initDJoystick, cleared by releaseDInput.
extern int g_bXInputPad[kMaxJoysticks];
extern DWORD g_dwXInputUser[kMaxJoysticks];
extern HMODULE g_hXInput;
// The motors of each XInput user index: running, and when they stop.
extern int g_bMotorOn[kXInputUsers];
extern DWORD g_dwMotorStop[kXInputUsers];
extern UINT_PTR g_uMotorTimer;

// Loads XInput from the system folder (xinput1_4, then 1_3, then 9_1_0);
// false when none has both functions the plug-in calls.
bool loadXInput();
// Finds the XInput pads among the opened joysticks and pairs them with
// XInput's user indices; loads XInput only when one rumbles through it.
void findXInputPads();
// Starts both motors of the joystick's pad for the jolt's length: XInput's
// answer (ERROR_SUCCESS, or ERROR_DEVICE_NOT_CONNECTED for an unplugged pad).
DWORD joltXInputPad(int joystick);
// Stops the motors whose jolt is over; called by the timer and every poll.
void stopDueMotors();
// Stops every motor still running and kills the timer, on the calling
// thread; XInput stays loaded (the library's unload calls this under the
// loader's lock).
void stopRumble();
// Stops every motor, kills the timer, unloads XInput, forgets the pads.
void releaseXInput();

// The bits of the joystick commands' result: 4 directions, buttons 0 to 15.
constexpr int kJoystickBits = 20;

// Trigger latches: 1 while the last tovkeytrigger (tovjoytrigger) saw the
// key (joystick bit) set. One set of joystick latches serves all joysticks.
// Neither is reset by tovbye or a later tovinit.
extern BYTE g_byKeyLatch[256];
extern BYTE g_byJoyLatch[kJoystickBits];

// Engine start and stop (called through the frame's engine table).
bool initDInput();
void releaseDInput();

// Steps of initDInput: true when the device's setup went through.
bool initDMouse();
bool initDKeyboard();
bool initDJoystick();
BOOL CALLBACK enumJoysticksCallback(LPCDIDEVICEINSTANCEA instance, LPVOID context);
// Sets the range of one axis of the joystick whose number is the context.
BOOL CALLBACK enumAxesCallback(LPCDIDEVICEOBJECTINSTANCEA instance, LPVOID context);

// The joystick number test shared by the joystick commands: 0 when the
// joystick is open, else the command's status (-2 out of range, -1 no device,
// -2 not below the joystick count).
int joystickNumberTest(int32_t joystick);

// Whether a key's or button's byte of a DirectInput state says it is held:
// its high bit.
inline bool isDown(BYTE b)
{
    return (b & 0x80) != 0;
}

// One step of a trigger: true when the key or bit is held now and its latch
// saw it released (or never saw it); the latch follows what is held.
inline bool latchTrigger(bool held, BYTE& latch)
{
    const bool fresh = held && latch == 0;
    latch = held ? 1 : 0;
    return fresh;
}

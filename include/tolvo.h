/* tolvo.h - the 40 commands of tolvo.dll and the two host records.
 *
 * Every command is stdcall, takes four 32-bit arguments and returns a 32-bit
 * signed status: 0 success, negative failure. Values reach the script only
 * through the first argument (a result pointer or a variable record).
 * The DLL exports them under their decorated names (_tovinit@16, ...).
 */
#ifndef TOLVO_H
#define TOLVO_H

#include <stdint.h>

#if defined(_WIN32)
#define TOLVO_CALL __stdcall
#else
#define TOLVO_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The host's window-info record: an array of 32-bit words of which the
 * plug-in reads word 13 (the main window) and word 14 (the host module).
 * The host's record may be longer; nothing past word 14 is touched. */
typedef struct TolvoWindowInfo {
    int32_t words[13];
    void* hwnd;      /* byte offset 52 */
    void* hinstance; /* byte offset 56 */
} TolvoWindowInfo;

/* The host's descriptor of one script variable. Only these four fields are
 * used; the other bytes belong to the host. */
typedef struct TolvoVar {
    int16_t type;        /* 0: 4 integer, 2 string */
    uint16_t kind;       /* 2: set to 2 when the plug-in attaches its own buffer */
    uint32_t host_4;     /* 4: the host's */
    int32_t word_count;  /* 8: storage capacity in 32-bit words */
    uint32_t host_12[4]; /* 12..27: the host's */
    void* data;          /* 28: the storage */
} TolvoVar;

enum { TOLVO_TYPE_STRING = 2, TOLVO_TYPE_INT = 4 };

#if defined(_WIN32) && !defined(_WIN64)
#ifdef __cplusplus
#include <cstddef>
static_assert(offsetof(TolvoWindowInfo, hwnd) == 52, "window handle at byte 52");
static_assert(offsetof(TolvoWindowInfo, hinstance) == 56, "instance handle at byte 56");
static_assert(offsetof(TolvoVar, type) == 0 && sizeof(((TolvoVar*)0)->type) == 2, "type");
static_assert(offsetof(TolvoVar, kind) == 2 && sizeof(((TolvoVar*)0)->kind) == 2, "kind");
static_assert(offsetof(TolvoVar, word_count) == 8, "word_count at byte 8");
static_assert(offsetof(TolvoVar, data) == 28 && sizeof(void*) == 4, "data at byte 28");
#else
#include <stddef.h>
_Static_assert(offsetof(TolvoWindowInfo, hwnd) == 52, "window handle at byte 52");
_Static_assert(offsetof(TolvoWindowInfo, hinstance) == 56, "instance handle at byte 56");
_Static_assert(offsetof(TolvoVar, word_count) == 8, "word_count at byte 8");
_Static_assert(offsetof(TolvoVar, data) == 28, "data at byte 28");
#endif
#endif

/* Plug-in frame */
int TOLVO_CALL tovinit(TolvoWindowInfo* info, int32_t init_mask, int32_t verbose, int32_t unused);
int TOLVO_CALL tovbye(int32_t, int32_t, int32_t, int32_t);
int TOLVO_CALL tovsysmode(int32_t mode, int32_t, int32_t, int32_t);
int TOLVO_CALL test(TolvoVar* var, int32_t, int32_t, int32_t);

/* Input */
int TOLVO_CALL tovmousestate(int32_t* result, int32_t, int32_t, int32_t);
int TOLVO_CALL tovkeystate(int32_t* result, int32_t mode, int32_t, int32_t);
int TOLVO_CALL tovkeytrigger(int32_t* result, int32_t mode, int32_t, int32_t);
int TOLVO_CALL tovjoynum(int32_t* result, int32_t, int32_t, int32_t);
int TOLVO_CALL tovjoyname(TolvoVar* var, int32_t joystick, int32_t, int32_t);
int TOLVO_CALL tovjoyforce(TolvoVar* var, int32_t joystick, int32_t, int32_t);
int TOLVO_CALL tovjoystate(int32_t* result, int32_t joystick, int32_t, int32_t);
int TOLVO_CALL tovjoytrigger(int32_t* result, int32_t joystick, int32_t, int32_t);
int TOLVO_CALL tovjoyshock(int32_t joystick, int32_t, int32_t, int32_t);

/* Music */
int TOLVO_CALL tovmusicload(int32_t slot, const char* file, int32_t, int32_t);
int TOLVO_CALL tovmusicload2(TolvoVar* var, int32_t slot, int32_t, int32_t);
int TOLVO_CALL tovmusicplay(int32_t slot, int32_t repeats, int32_t, int32_t);
int TOLVO_CALL tovmusicplay2(int32_t slot, int32_t repeats, int32_t, int32_t);
int TOLVO_CALL tovmusicstop(int32_t slot, int32_t, int32_t, int32_t);
int TOLVO_CALL tovmusicsetpos(int32_t axis, int32_t hundredths, int32_t, int32_t);
int TOLVO_CALL tovmusicgetvol(int32_t* result, int32_t, int32_t, int32_t);
int TOLVO_CALL tovmusicsetvol(int32_t, int32_t volume, int32_t, int32_t);
int TOLVO_CALL tovmusicgettenpo(int32_t* result, int32_t, int32_t, int32_t);
int TOLVO_CALL tovmusicsettenpo(int32_t tenths, int32_t, int32_t, int32_t);
int TOLVO_CALL tovmusiccheck(int32_t slot, int32_t, int32_t, int32_t);
int TOLVO_CALL tovmusicfx(int32_t effect, int32_t, int32_t, int32_t);

/* Movie */
int TOLVO_CALL tovmovieload(const char* file, int32_t, int32_t, int32_t);
int TOLVO_CALL tovmovieplay(int32_t, int32_t, int32_t, int32_t);
int TOLVO_CALL tovmoviestop(int32_t, int32_t, int32_t, int32_t);
int TOLVO_CALL tovmoviecheck(int32_t, int32_t, int32_t, int32_t);
int TOLVO_CALL tovmoviesize(int32_t left, int32_t top, int32_t width, int32_t height);
int TOLVO_CALL tovmoviefree(int32_t, int32_t, int32_t, int32_t);

/* Utilities */
int TOLVO_CALL tovdxver(TolvoVar* var, int32_t, int32_t, int32_t);
int TOLVO_CALL tovfps(int32_t* result, int32_t, int32_t, int32_t);
int TOLVO_CALL tovsin(int32_t* result, int32_t angle, int32_t size, int32_t);
int TOLVO_CALL tovcos(int32_t* result, int32_t angle, int32_t size, int32_t);
int TOLVO_CALL tovatan(int32_t* result, int32_t x, int32_t y, int32_t);
int TOLVO_CALL tovsqr(int32_t* result, int32_t value, int32_t, int32_t);

/* Packs */
int TOLVO_CALL tovdpmload(int32_t, char* pack_text, int32_t, int32_t);
int TOLVO_CALL tovdpmread(TolvoVar* var, const char* entry, int32_t, int32_t);
int TOLVO_CALL tovdpmsize(TolvoVar* var, const char* entry, int32_t, int32_t);

#ifdef __cplusplus
}
#endif

#endif /* TOLVO_H */

/* tolvo.h - the 40 commands of tolvo.dll and the two host records.
 *
 * Every command is stdcall, takes four 32-bit arguments and returns a 32-bit
 * signed status: 0 success, negative failure. Values reach the script only
 * through the first argument (a result pointer or a variable record).
 * The DLL exports them under their decorated names (_tovinit@16, ...).
 *
 * Threads: the commands run one at a time, whichever threads call them (a
 * call waits while another thread's command runs). Call tovinit, tovbye and
 * the input and movie commands from the thread that owns the host's window:
 * tovinit initialises COM there as a single-threaded apartment, and the
 * devices, the rumble's timer and the movie window belong to that thread.
 * Music commands may come from any thread that has initialised COM itself
 * (CoInitializeEx, either apartment): the music objects are free-threaded.
 * The pack, math and frame commands, tovdxver, tovsysmode and test may come
 * from any thread. docs/commands.md ("Threads") says more.
 */
#ifndef TOLVO_H
#define TOLVO_H

#include <stddef.h>
#if defined(_MSC_VER) && _MSC_VER < 1600
/* Compilers before Visual C++ 2010 have no <stdint.h>. */
typedef __int16 int16_t;
typedef unsigned __int16 uint16_t;
typedef __int32 int32_t;
typedef unsigned __int32 uint32_t;
#else
#include <stdint.h>
#endif

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

/* The layout the host relies on, checked wherever the header is compiled
 * for 32-bit Windows: an array of negative size stops any C or C++
 * compiler (C89 and C++98 included) where a record is laid out otherwise. */
#if defined(_WIN32) && !defined(_WIN64)
#define TOLVO_LAYOUT(name, holds) typedef char tolvo_layout_##name[(holds) ? 1 : -1]
TOLVO_LAYOUT(hwnd_at_byte_52, offsetof(TolvoWindowInfo, hwnd) == 52);
TOLVO_LAYOUT(hinstance_at_byte_56, offsetof(TolvoWindowInfo, hinstance) == 56);
TOLVO_LAYOUT(type_at_byte_0, offsetof(TolvoVar, type) == 0 && sizeof(((TolvoVar*)0)->type) == 2);
TOLVO_LAYOUT(kind_at_byte_2, offsetof(TolvoVar, kind) == 2 && sizeof(((TolvoVar*)0)->kind) == 2);
TOLVO_LAYOUT(word_count_at_byte_8, offsetof(TolvoVar, word_count) == 8);
TOLVO_LAYOUT(data_at_byte_28, offsetof(TolvoVar, data) == 28 && sizeof(void*) == 4);
#undef TOLVO_LAYOUT
#endif

/* The commands, in one list: X(name, its four arguments). An argument
 * with a name is read; a bare int32_t is ignored and may hold anything.
 * The prototypes below are made from this list, and so are the DLL's
 * export table and the tests that call every command; a program may walk
 * it with an X of its own (to name every command, say). */
#define TOLVO_COMMANDS(X) \
    /* Plug-in frame */ \
    X(tovinit, TolvoWindowInfo* info, int32_t init_mask, int32_t verbose, int32_t unused) \
    X(tovbye, int32_t, int32_t, int32_t, int32_t) \
    X(tovsysmode, int32_t mode, int32_t, int32_t, int32_t) \
    X(test, TolvoVar* var, int32_t, int32_t, int32_t) \
    /* Input */ \
    X(tovmousestate, int32_t* result, int32_t, int32_t, int32_t) \
    X(tovkeystate, int32_t* result, int32_t mode, int32_t, int32_t) \
    X(tovkeytrigger, int32_t* result, int32_t mode, int32_t, int32_t) \
    X(tovjoynum, int32_t* result, int32_t, int32_t, int32_t) \
    X(tovjoyname, TolvoVar* var, int32_t joystick, int32_t, int32_t) \
    X(tovjoyforce, TolvoVar* var, int32_t joystick, int32_t, int32_t) \
    X(tovjoystate, int32_t* result, int32_t joystick, int32_t, int32_t) \
    X(tovjoytrigger, int32_t* result, int32_t joystick, int32_t, int32_t) \
    X(tovjoyshock, int32_t joystick, int32_t, int32_t, int32_t) \
    /* Music */ \
    X(tovmusicload, int32_t slot, const char* file, int32_t, int32_t) \
    X(tovmusicload2, TolvoVar* var, int32_t slot, int32_t, int32_t) \
    X(tovmusicplay, int32_t slot, int32_t repeats, int32_t, int32_t) \
    X(tovmusicplay2, int32_t slot, int32_t repeats, int32_t, int32_t) \
    X(tovmusicstop, int32_t slot, int32_t, int32_t, int32_t) \
    X(tovmusicsetpos, int32_t axis, int32_t hundredths, int32_t, int32_t) \
    X(tovmusicgetvol, int32_t* result, int32_t, int32_t, int32_t) \
    X(tovmusicsetvol, int32_t, int32_t volume, int32_t, int32_t) \
    X(tovmusicgettenpo, int32_t* result, int32_t, int32_t, int32_t) \
    X(tovmusicsettenpo, int32_t tenths, int32_t, int32_t, int32_t) \
    X(tovmusiccheck, int32_t slot, int32_t, int32_t, int32_t) \
    X(tovmusicfx, int32_t effect, int32_t, int32_t, int32_t) \
    /* Movie */ \
    X(tovmovieload, const char* file, int32_t, int32_t, int32_t) \
    X(tovmovieplay, int32_t, int32_t, int32_t, int32_t) \
    X(tovmoviestop, int32_t, int32_t, int32_t, int32_t) \
    X(tovmoviecheck, int32_t, int32_t, int32_t, int32_t) \
    X(tovmoviesize, int32_t left, int32_t top, int32_t width, int32_t height) \
    X(tovmoviefree, int32_t, int32_t, int32_t, int32_t) \
    /* Utilities */ \
    X(tovdxver, TolvoVar* var, int32_t, int32_t, int32_t) \
    X(tovfps, int32_t* result, int32_t, int32_t, int32_t) \
    X(tovsin, int32_t* result, int32_t angle, int32_t size, int32_t) \
    X(tovcos, int32_t* result, int32_t angle, int32_t size, int32_t) \
    X(tovatan, int32_t* result, int32_t x, int32_t y, int32_t) \
    X(tovsqr, int32_t* result, int32_t value, int32_t, int32_t) \
    /* Packs: tovdpmload cuts a pack_text it may write at its first comma; \
     * a text the process cannot write (a string constant) stays whole */ \
    X(tovdpmload, int32_t, char* pack_text, int32_t, int32_t) \
    X(tovdpmread, TolvoVar* var, const char* entry, int32_t, int32_t) \
    X(tovdpmsize, TolvoVar* var, const char* entry, int32_t, int32_t)

#define TOLVO_PROTOTYPE(name, a, b, c, d) int TOLVO_CALL name(a, b, c, d);
TOLVO_COMMANDS(TOLVO_PROTOTYPE)
#undef TOLVO_PROTOTYPE

#ifdef __cplusplus
}
#endif

#endif /* TOLVO_H */

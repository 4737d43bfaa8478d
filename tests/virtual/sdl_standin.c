/* A stand-in for SDL2 that gives one Wine session game controllers.
 *
 * Wine's bus driver loads libSDL2-2.0.so.0 and makes every SDL joystick a
 * HID device that DirectInput, HID and XInput take for real. This library,
 * first on LD_LIBRARY_PATH of one Wine session (scripts/wine-run with
 * TOLVO_LANE=virtual), is that SDL2: it passes every call on to the real
 * library (TOLVO_VIRTUAL_SDL names it) and adds
 *  - SDL's own virtual joysticks, which the tests attach, move and detach by
 *    appending lines to TOLVO_VIRTUAL/commands;
 *  - a force-feedback device behind each joystick of the kinds that have one;
 *  - a line in TOLVO_VIRTUAL/log for every rumble and every force-feedback
 *    call that reaches a controller, with the time it came.
 *
 * The commands, one a line (NAME is a word of the test's choosing, and the
 * controller's name as SDL reports it):
 *     attach NAME KIND       KIND: pad (an Xbox 360 pad: 6 axes, 15
 *                            buttons, rumble), force (4 axes, 8 buttons, a
 *                            hat, force feedback), force1 (the same with one
 *                            axis), plain (4 axes, 20 buttons, a hat)
 *     detach NAME            (the commands after it wait until the bus has
 *                            let go of it, at most 2 s)
 *     axis NAME N VALUE      -32768 to 32767
 *     button NAME N 0|1
 *     hat NAME N VALUE       SDL's bits: 1 up, 2 right, 4 down, 8 left
 *     rest NAME              sticks centred, triggers and buttons released
 *     tester NAME            moves NAME as a person does for the Windows
 *                            check, over and over (tester_round, below)
 *     sync                   what comes before reaches the bus first
 * They are applied on the bus's own thread each time it waits for SDL's
 * events, so they reach the bus in the order written; a `sync` holds the
 * rest back until the next wait, which is after the bus has been handed
 * everything before it.
 *
 * The log, one line each: `MS NAME WHAT ...`, MS being milliseconds of the
 * system's monotonic clock: attached, detached, released (the bus let go of
 * it), rumble LOW HIGH, triggers
 * LEFT RIGHT, effect new|update ID TYPE level=L length=MS dir=TYPE:D0,D1,
 * run ID ITERATIONS, stop ID, destroy ID, stopall, gain G, autocenter A,
 * pause, unpause, closed. A `sync` line says that every command before it
 * was applied (with NAME `-`).
 */
#define _GNU_SOURCE
#include <SDL.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum kind { PAD, FORCE, FORCE1, PLAIN };

struct controller {
    char name[32];
    enum kind kind;
    int attached;
    SDL_JoystickID id;
    SDL_Joystick *joystick; /* our own handle, for setting its state */
    int closing;            /* while we close our handle */
    int releasing;          /* detached, and the bus has not let go of it yet */
    int tested;             /* moved by the tester */
    int effects;            /* force-feedback effects made so far */
};

#define MAX_CONTROLLERS 16
static struct controller controllers[MAX_CONTROLLERS];

/* Wine 10's bus loses the removal of controllers that go while it is still
   removing another, so one goes at a time: the commands after a detach
   wait until the bus has let go of it (or 2 s have passed). */
static long long release_deadline;
static int command_fd = -1, log_fd = -1;
static char pending[4096];
static size_t pending_len;

/* --- the real library ------------------------------------------------------ */

static void *real_handle;

static void open_real_library(void)
{
    const char *path = getenv("TOLVO_VIRTUAL_SDL");
    real_handle = path ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : NULL;
    if (!real_handle)
        fprintf(stderr, "sdl stand-in: no real SDL2 (TOLVO_VIRTUAL_SDL=%s)\n", path ? path : "");
}

static void *real(const char *symbol)
{
    static pthread_once_t once = PTHREAD_ONCE_INIT;
    pthread_once(&once, open_real_library);
    return real_handle ? dlsym(real_handle, symbol) : NULL;
}

/* A function that passes its call on; its pointer is looked up once. */
#define FORWARD(ret, name, params, args)                      \
    ret SDLCALL name params                                   \
    {                                                         \
        static ret(SDLCALL * fn) params;                      \
        if (!fn)                                              \
            fn = (ret(SDLCALL *) params)real(#name);          \
        return fn args;                                       \
    }
#define FORWARD_VOID(name, params, args)                      \
    void SDLCALL name params                                  \
    {                                                         \
        static void(SDLCALL * fn) params;                     \
        if (!fn)                                              \
            fn = (void(SDLCALL *) params)real(#name);         \
        fn args;                                              \
    }

/* What Wine's bus calls and this library leaves as it is. */
FORWARD(const char *, SDL_GetError, (void), ())
FORWARD(int, SDL_JoystickEventState, (int state), (state))
FORWARD(SDL_JoystickGUID, SDL_JoystickGetGUID, (SDL_Joystick * j), (j))
FORWARD_VOID(SDL_JoystickGetGUIDString, (SDL_JoystickGUID g, char *s, int n), (g, s, n))
FORWARD(SDL_JoystickID, SDL_JoystickInstanceID, (SDL_Joystick * j), (j))
FORWARD(const char *, SDL_JoystickName, (SDL_Joystick * j), (j))
FORWARD(int, SDL_JoystickNumAxes, (SDL_Joystick * j), (j))
FORWARD(SDL_Joystick *, SDL_JoystickOpen, (int index), (index))
FORWARD(int, SDL_JoystickNumButtons, (SDL_Joystick * j), (j))
FORWARD(int, SDL_JoystickNumBalls, (SDL_Joystick * j), (j))
FORWARD(int, SDL_JoystickNumHats, (SDL_Joystick * j), (j))
FORWARD(Sint16, SDL_JoystickGetAxis, (SDL_Joystick * j, int axis), (j, axis))
FORWARD(Uint8, SDL_JoystickGetHat, (SDL_Joystick * j, int hat), (j, hat))
FORWARD(SDL_bool, SDL_IsGameController, (int index), (index))
FORWARD_VOID(SDL_GameControllerClose, (SDL_GameController * c), (c))
FORWARD(Sint16, SDL_GameControllerGetAxis, (SDL_GameController * c, SDL_GameControllerAxis a), (c, a))
FORWARD(Uint8, SDL_GameControllerGetButton, (SDL_GameController * c, SDL_GameControllerButton b), (c, b))
FORWARD(const char *, SDL_GameControllerName, (SDL_GameController * c), (c))
FORWARD(SDL_GameController *, SDL_GameControllerOpen, (int index), (index))
FORWARD(int, SDL_GameControllerEventState, (int state), (state))
FORWARD(int, SDL_GameControllerAddMapping, (const char *mapping), (mapping))
FORWARD(Uint32, SDL_RegisterEvents, (int n), (n))
FORWARD(int, SDL_PushEvent, (SDL_Event * e), (e))
FORWARD(Uint32, SDL_GetTicks, (void), ())
FORWARD(int, SDL_JoystickRumble, (SDL_Joystick * j, Uint16 low, Uint16 high, Uint32 ms), (j, low, high, ms))
FORWARD(int, SDL_JoystickRumbleTriggers, (SDL_Joystick * j, Uint16 left, Uint16 right, Uint32 ms),
        (j, left, right, ms))
FORWARD(Uint16, SDL_JoystickGetProduct, (SDL_Joystick * j), (j))
FORWARD(Uint16, SDL_JoystickGetProductVersion, (SDL_Joystick * j), (j))
FORWARD(Uint16, SDL_JoystickGetVendor, (SDL_Joystick * j), (j))
FORWARD(SDL_JoystickType, SDL_JoystickGetType, (SDL_Joystick * j), (j))
FORWARD(const char *, SDL_JoystickGetSerial, (SDL_Joystick * j), (j))

/* What this library calls itself. */
FORWARD(int, SDL_JoystickAttachVirtualEx, (const SDL_VirtualJoystickDesc *desc), (desc))
FORWARD(int, SDL_JoystickDetachVirtual, (int index), (index))
FORWARD(int, SDL_NumJoysticks, (void), ())
FORWARD(SDL_JoystickID, SDL_JoystickGetDeviceInstanceID, (int index), (index))
FORWARD(int, SDL_JoystickSetVirtualAxis, (SDL_Joystick * j, int axis, Sint16 value), (j, axis, value))
FORWARD(int, SDL_JoystickSetVirtualButton, (SDL_Joystick * j, int button, Uint8 value), (j, button, value))
FORWARD(int, SDL_JoystickSetVirtualHat, (SDL_Joystick * j, int hat, Uint8 value), (j, hat, value))

/* --- the log ------------------------------------------------------------- */

static long long now_ms(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

static void note(const char *name, const char *format, ...)
{
    struct timespec now;
    char line[256];
    int n;
    va_list args;
    if (log_fd < 0)
        return;
    clock_gettime(CLOCK_MONOTONIC, &now);
    n = snprintf(line, sizeof line, "%lld.%03ld %s ", (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000,
                 (now.tv_nsec / 1000) % 1000, name);
    va_start(args, format);
    n += vsnprintf(line + n, sizeof line - n - 1, format, args);
    va_end(args);
    if (n > (int)sizeof line - 2)
        n = sizeof line - 2;
    line[n++] = '\n';
    /* One write per line, appended: the bus's threads may log at once. A
       line that cannot be written is missed by the test that waits for it. */
    (void)!write(log_fd, line, (size_t)n);
}

/* --- the controllers ----------------------------------------------------- */

static struct controller *by_name(const char *name)
{
    for (int i = 0; i < MAX_CONTROLLERS; ++i)
        if (controllers[i].attached && !strcmp(controllers[i].name, name))
            return &controllers[i];
    return NULL;
}

static struct controller *of_joystick(SDL_Joystick *j)
{
    SDL_JoystickID id = j ? SDL_JoystickInstanceID(j) : -1;
    for (int i = 0; i < MAX_CONTROLLERS; ++i)
        if (controllers[i].attached && controllers[i].id == id)
            return &controllers[i];
    return NULL;
}

static int has_force_feedback(const struct controller *c)
{
    return c && (c->kind == FORCE || c->kind == FORCE1);
}

static int SDLCALL rumble(void *userdata, Uint16 low, Uint16 high)
{
    note(((struct controller *)userdata)->name, "rumble %u %u", low, high);
    return 0;
}

static int SDLCALL rumble_triggers(void *userdata, Uint16 left, Uint16 right)
{
    note(((struct controller *)userdata)->name, "triggers %u %u", left, right);
    return 0;
}

static void attach(const char *name, const char *kind)
{
    static const struct {
        const char *word;
        Uint16 type, axes, buttons, hats, vendor, product;
    } shapes[] = {
        [PAD] = {"pad", SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0, 0x045e, 0x028e},
        /* Ids of our own, and below the bus's gamepad shape (6 axes and 14
           or more buttons), so that no platform takes them for a pad. */
        [FORCE] = {"force", SDL_JOYSTICK_TYPE_UNKNOWN, 4, 8, 1, 0x1209, 0x7f01},
        [FORCE1] = {"force1", SDL_JOYSTICK_TYPE_UNKNOWN, 1, 8, 0, 0x1209, 0x7f02},
        [PLAIN] = {"plain", SDL_JOYSTICK_TYPE_UNKNOWN, 4, 20, 1, 0x1209, 0x7f03},
    };
    struct controller *c = NULL;
    int k, index;
    for (k = 0; k < 4 && strcmp(shapes[k].word, kind); ++k)
        ;
    for (int i = 0; i < MAX_CONTROLLERS && !c; ++i)
        if (!controllers[i].attached)
            c = &controllers[i];
    if (k == 4 || !c || by_name(name) || strlen(name) >= sizeof c->name) {
        note(name, "refused attach %s", kind);
        return;
    }
    memset(c, 0, sizeof *c);
    strcpy(c->name, name);
    c->kind = (enum kind)k;

    SDL_VirtualJoystickDesc desc;
    memset(&desc, 0, sizeof desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = shapes[k].type;
    desc.naxes = shapes[k].axes;
    desc.nbuttons = shapes[k].buttons;
    desc.nhats = shapes[k].hats;
    desc.vendor_id = shapes[k].vendor;
    desc.product_id = shapes[k].product;
    desc.name = c->name;
    desc.userdata = c;
    if (c->kind == PAD) {
        desc.Rumble = rumble;
        desc.RumbleTriggers = rumble_triggers;
    }
    index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0 || !(c->joystick = SDL_JoystickOpen(index))) {
        note(name, "refused attach %s: %s", kind, SDL_GetError());
        if (index >= 0)
            SDL_JoystickDetachVirtual(index);
        return;
    }
    c->id = SDL_JoystickInstanceID(c->joystick);
    c->attached = 1;
    note(name, "attached %s", kind);
}

static void detach(struct controller *c)
{
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == c->id) {
            c->closing = 1;
            SDL_JoystickClose(c->joystick);
            c->closing = 0;
            SDL_JoystickDetachVirtual(i);
            break;
        }
    }
    c->attached = 0;
    c->releasing = 1;
    release_deadline = now_ms() + 2000;
    note(c->name, "detached");
}

static void rest(struct controller *c)
{
    const int axes = SDL_JoystickNumAxes(c->joystick), buttons = SDL_JoystickNumButtons(c->joystick);
    for (int i = 0; i < axes; ++i)
        SDL_JoystickSetVirtualAxis(c->joystick, i, c->kind == PAD && i >= 4 ? -32768 : 0); /* triggers up */
    for (int i = 0; i < buttons; ++i)
        SDL_JoystickSetVirtualButton(c->joystick, i, 0);
    if (SDL_JoystickNumHats(c->joystick) > 0)
        SDL_JoystickSetVirtualHat(c->joystick, 0, SDL_HAT_CENTERED);
}

/* The tester: what the Windows check (examples/windows-check) asks a person
   to do with the first controller, one step every 0.4 s with a rest between:
   the stick left, right, up and down, the first button, the stick up-left
   with the first and fourth buttons, the first button with the hat (the
   pad's d-pad) up, and with the second stick to the left. */
static const struct step {
    Sint16 x, y, x2;
    Uint8 buttons, up;
} tester_round[] = {
    {-32768, 0, 0, 0, 0}, {0}, {32767, 0, 0, 0, 0}, {0}, {0, -32768, 0, 0, 0}, {0}, {0, 32767, 0, 0, 0}, {0},
    {0, 0, 0, 1, 0},      {0}, {-32768, -32768, 0, 9, 0}, {0}, {0, 0, 0, 1, 1}, {0}, {0, 0, -32768, 1, 0}, {0},
};
static long long tester_next;
static unsigned tester_step;

static void play_tester(void)
{
    const struct step *s = &tester_round[tester_step % (sizeof tester_round / sizeof *tester_round)];
    if (now_ms() < tester_next)
        return;
    tester_next = now_ms() + 400;
    ++tester_step;
    for (struct controller *c = controllers; c < controllers + MAX_CONTROLLERS; ++c) {
        if (!c->attached || !c->tested)
            continue;
        rest(c);
        SDL_JoystickSetVirtualAxis(c->joystick, 0, s->x);
        SDL_JoystickSetVirtualAxis(c->joystick, 1, s->y);
        SDL_JoystickSetVirtualAxis(c->joystick, 2, s->x2);
        for (int i = 0; i < 4; ++i)
            SDL_JoystickSetVirtualButton(c->joystick, i, (s->buttons >> i) & 1);
        if (c->kind == PAD)
            SDL_JoystickSetVirtualButton(c->joystick, SDL_CONTROLLER_BUTTON_DPAD_UP, s->up);
        else
            SDL_JoystickSetVirtualHat(c->joystick, 0, s->up ? SDL_HAT_UP : SDL_HAT_CENTERED);
    }
}

/* One command line; answers 0 at a `sync`. */
static int apply(char *line)
{
    char verb[16] = "", name[32] = "", word[16] = "";
    int n = 0, value = 0;
    struct controller *c;
    const int words = sscanf(line, "%15s %31s %15s %d", verb, name, word, &value);
    if (words < 1)
        return 1;
    if (!strcmp(verb, "sync")) {
        note("-", "sync");
        return 0;
    }
    if (!strcmp(verb, "attach") && words == 3) {
        attach(name, word);
        return 1;
    }
    c = by_name(name);
    if (!c) {
        note(name[0] ? name : "-", "unknown %s", line);
        return 1;
    }
    n = atoi(word);
    if (!strcmp(verb, "detach"))
        detach(c);
    else if (!strcmp(verb, "axis") && words == 4)
        SDL_JoystickSetVirtualAxis(c->joystick, n, (Sint16)value);
    else if (!strcmp(verb, "button") && words == 4)
        SDL_JoystickSetVirtualButton(c->joystick, n, (Uint8)value);
    else if (!strcmp(verb, "hat") && words == 4)
        SDL_JoystickSetVirtualHat(c->joystick, n, (Uint8)value);
    else if (!strcmp(verb, "rest"))
        rest(c);
    else if (!strcmp(verb, "tester"))
        c->tested = 1;
    else
        note(name, "unknown %s", line);
    return 1;
}

static int releasing(void)
{
    int any = 0;
    for (int i = 0; i < MAX_CONTROLLERS; ++i)
        any |= controllers[i].releasing;
    if (any && now_ms() > release_deadline) {
        note("-", "not released in time");
        for (int i = 0; i < MAX_CONTROLLERS; ++i)
            controllers[i].releasing = 0;
        return 0;
    }
    return any;
}

/* Applies the whole lines written since the last call, up to a `sync`. */
static void apply_commands(void)
{
    for (;;) {
        if (releasing())
            return;
        char *end = memchr(pending, '\n', pending_len);
        if (!end) {
            ssize_t got;
            if (command_fd < 0 || pending_len == sizeof pending)
                return;
            got = read(command_fd, pending + pending_len, sizeof pending - pending_len);
            if (got <= 0)
                return;
            pending_len += (size_t)got;
            continue;
        }
        *end = '\0';
        const int go_on = apply(pending);
        pending_len -= (size_t)(end + 1 - pending);
        memmove(pending, end + 1, pending_len);
        if (!go_on)
            return;
    }
}

/* --- what this library does itself ----------------------------------------- */

void SDLCALL SDL_JoystickClose(SDL_Joystick *j)
{
    static void(SDLCALL * close_joystick)(SDL_Joystick *);
    SDL_JoystickID id = j ? SDL_JoystickInstanceID(j) : -1;
    for (int i = 0; i < MAX_CONTROLLERS; ++i)
        if (controllers[i].name[0] && controllers[i].id == id && !controllers[i].closing) {
            controllers[i].releasing = 0;
            note(controllers[i].name, "released");
        }
    if (!close_joystick)
        close_joystick = (void(SDLCALL *)(SDL_Joystick *))real("SDL_JoystickClose");
    close_joystick(j);
}

int SDLCALL SDL_Init(Uint32 flags)
{
    static int(SDLCALL * init)(Uint32);
    const char *dir = getenv("TOLVO_VIRTUAL");
    char path[4096];
    int rc;
    if (!init && !(init = (int(SDLCALL *)(Uint32))real("SDL_Init")))
        return -1;
    rc = init(flags);
    if (rc == 0 && dir && command_fd < 0) {
        snprintf(path, sizeof path, "%s/log", dir);
        log_fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        snprintf(path, sizeof path, "%s/commands", dir);
        command_fd = open(path, O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        note("-", "ready");
    }
    return rc;
}

int SDLCALL SDL_WaitEventTimeout(SDL_Event *event, int timeout)
{
    static int(SDLCALL * wait)(SDL_Event *, int);
    if (!wait)
        wait = (int(SDLCALL *)(SDL_Event *, int))real("SDL_WaitEventTimeout");
    apply_commands();
    play_tester();
    return wait(event, timeout);
}

int SDLCALL SDL_JoystickIsHaptic(SDL_Joystick *j)
{
    static int(SDLCALL * is_haptic)(SDL_Joystick *);
    if (has_force_feedback(of_joystick(j)))
        return 1;
    if (!is_haptic)
        is_haptic = (int(SDLCALL *)(SDL_Joystick *))real("SDL_JoystickIsHaptic");
    return is_haptic(j);
}

/* A controller's force-feedback device is the controller's own entry. */
static struct controller *ours(SDL_Haptic *h)
{
    struct controller *c = (struct controller *)h;
    return c >= controllers && c < controllers + MAX_CONTROLLERS ? c : NULL;
}

SDL_Haptic *SDLCALL SDL_HapticOpenFromJoystick(SDL_Joystick *j)
{
    static SDL_Haptic *(SDLCALL * open_haptic)(SDL_Joystick *);
    struct controller *c = of_joystick(j);
    if (has_force_feedback(c))
        return (SDL_Haptic *)c;
    if (!open_haptic)
        open_haptic = (SDL_Haptic * (SDLCALL *)(SDL_Joystick *)) real("SDL_HapticOpenFromJoystick");
    return open_haptic(j);
}

static void note_effect(struct controller *c, const char *what, int id, const SDL_HapticEffect *e)
{
    static const char *const directions[] = {"polar", "cartesian", "spherical", "steering"};
    const SDL_HapticDirection *d = &e->constant.direction;
    const char *dir = d->type < 4 ? directions[d->type] : "?";
    if (e->type == SDL_HAPTIC_CONSTANT)
        note(c->name, "effect %s %d constant level=%d length=%u dir=%s:%d,%d", what, id, e->constant.level,
             e->constant.length, dir, d->dir[0], d->dir[1]);
    else
        note(c->name, "effect %s %d type=%u", what, id, e->type);
}

/* A haptic call on one of ours is noted; any other goes to SDL. */
#define HAPTIC(ret, name, params, args, ours_answer)           \
    ret SDLCALL name params                                   \
    {                                                         \
        static ret(SDLCALL * fn) params;                      \
        struct controller *c = ours(h);                       \
        if (c) {                                              \
            ours_answer;                                      \
        }                                                     \
        if (!fn)                                              \
            fn = (ret(SDLCALL *) params)real(#name);          \
        return fn args;                                       \
    }

HAPTIC(unsigned int, SDL_HapticQuery, (SDL_Haptic * h), (h),
       return SDL_HAPTIC_CONSTANT | SDL_HAPTIC_SINE | SDL_HAPTIC_GAIN | SDL_HAPTIC_AUTOCENTER)
HAPTIC(int, SDL_HapticRumbleSupported, (SDL_Haptic * h), (h), return 0)
HAPTIC(int, SDL_HapticRumbleInit, (SDL_Haptic * h), (h), return -1)
HAPTIC(int, SDL_HapticRumblePlay, (SDL_Haptic * h, float strength, Uint32 ms), (h, strength, ms), return -1)
HAPTIC(int, SDL_HapticRumbleStop, (SDL_Haptic * h), (h), return -1)
HAPTIC(int, SDL_HapticNewEffect, (SDL_Haptic * h, SDL_HapticEffect * e), (h, e),
       note_effect(c, "new", c->effects, e);
       return c->effects++)
HAPTIC(int, SDL_HapticUpdateEffect, (SDL_Haptic * h, int id, SDL_HapticEffect * e), (h, id, e),
       note_effect(c, "update", id, e);
       return 0)
HAPTIC(int, SDL_HapticRunEffect, (SDL_Haptic * h, int id, Uint32 iterations), (h, id, iterations),
       note(c->name, "run %d %u", id, iterations);
       return 0)
HAPTIC(int, SDL_HapticStopEffect, (SDL_Haptic * h, int id), (h, id), note(c->name, "stop %d", id); return 0)
HAPTIC(int, SDL_HapticGetEffectStatus, (SDL_Haptic * h, int id), (h, id), return 1)
HAPTIC(int, SDL_HapticStopAll, (SDL_Haptic * h), (h), note(c->name, "stopall"); return 0)
HAPTIC(int, SDL_HapticSetGain, (SDL_Haptic * h, int gain), (h, gain), note(c->name, "gain %d", gain); return 0)
HAPTIC(int, SDL_HapticSetAutocenter, (SDL_Haptic * h, int a), (h, a), note(c->name, "autocenter %d", a); return 0)
HAPTIC(int, SDL_HapticPause, (SDL_Haptic * h), (h), note(c->name, "pause"); return 0)
HAPTIC(int, SDL_HapticUnpause, (SDL_Haptic * h), (h), note(c->name, "unpause"); return 0)

void SDLCALL SDL_HapticDestroyEffect(SDL_Haptic *h, int id)
{
    static void(SDLCALL * destroy)(SDL_Haptic *, int);
    if (ours(h)) {
        note(ours(h)->name, "destroy %d", id);
        return;
    }
    if (!destroy)
        destroy = (void(SDLCALL *)(SDL_Haptic *, int))real("SDL_HapticDestroyEffect");
    destroy(h, id);
}

void SDLCALL SDL_HapticClose(SDL_Haptic *h)
{
    static void(SDLCALL * close_haptic)(SDL_Haptic *);
    if (ours(h)) {
        note(ours(h)->name, "closed");
        return;
    }
    if (!close_haptic)
        close_haptic = (void(SDLCALL *)(SDL_Haptic *))real("SDL_HapticClose");
    close_haptic(h);
}

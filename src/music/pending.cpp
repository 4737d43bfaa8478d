// Music commands until the DirectMusic engine lands: the engine is never up,
// so every command answers -9, except that the play commands test the slot
// (always empty here) before the engine.
#include "music.h"

int initDMusic()
{
    return 0;
}

int releaseDMusic()
{
    return 1;
}

extern "C" int TOLVO_CALL tovmusicload(int32_t, const char*, int32_t, int32_t) { return -9; }
extern "C" int TOLVO_CALL tovmusicload2(TolvoVar*, int32_t, int32_t, int32_t) { return -9; }
extern "C" int TOLVO_CALL tovmusicplay(int32_t, int32_t, int32_t, int32_t) { return -1; }
extern "C" int TOLVO_CALL tovmusicplay2(int32_t, int32_t, int32_t, int32_t) { return -2; }
extern "C" int TOLVO_CALL tovmusicstop(int32_t, int32_t, int32_t, int32_t) { return -9; }
extern "C" int TOLVO_CALL tovmusicsetpos(int32_t, int32_t, int32_t, int32_t) { return -9; }
extern "C" int TOLVO_CALL tovmusicgetvol(int32_t*, int32_t, int32_t, int32_t) { return -9; }
extern "C" int TOLVO_CALL tovmusicsetvol(int32_t, int32_t, int32_t, int32_t) { return -9; }
extern "C" int TOLVO_CALL tovmusicgettenpo(int32_t*, int32_t, int32_t, int32_t) { return -9; }
extern "C" int TOLVO_CALL tovmusicsettenpo(int32_t, int32_t, int32_t, int32_t) { return -9; }
extern "C" int TOLVO_CALL tovmusiccheck(int32_t, int32_t, int32_t, int32_t) { return -9; }
extern "C" int TOLVO_CALL tovmusicfx(int32_t, int32_t, int32_t, int32_t) { return -9; }

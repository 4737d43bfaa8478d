// Movie commands until the DirectShow engine lands: there is no graph, so
// every command fails with -1.
#include "movie.h"

int initDShow()
{
    return 0;
}

int releaseDShow()
{
    return 1;
}

extern "C" int TOLVO_CALL tovmovieload(const char*, int32_t, int32_t, int32_t) { return -1; }
extern "C" int TOLVO_CALL tovmovieplay(int32_t, int32_t, int32_t, int32_t) { return -1; }
extern "C" int TOLVO_CALL tovmoviestop(int32_t, int32_t, int32_t, int32_t) { return -1; }
extern "C" int TOLVO_CALL tovmoviecheck(int32_t, int32_t, int32_t, int32_t) { return -1; }
extern "C" int TOLVO_CALL tovmoviesize(int32_t, int32_t, int32_t, int32_t) { return -1; }
extern "C" int TOLVO_CALL tovmoviefree(int32_t, int32_t, int32_t, int32_t) { return -1; }

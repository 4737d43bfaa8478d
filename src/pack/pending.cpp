// Pack commands until the reader lands: no pack is ever open.
#include <cstring>

#include "pack.h"

void* g_lpReadBuffer = nullptr;

void failureFill(TolvoVar* var)
{
    var->word_count = 16;
    std::memset(var->data, 0, 64);
}

extern "C" int TOLVO_CALL tovdpmload(int32_t, char*, int32_t, int32_t)
{
    return -1;
}

extern "C" int TOLVO_CALL tovdpmread(TolvoVar* var, const char*, int32_t, int32_t)
{
    failureFill(var);
    return -1;
}

extern "C" int TOLVO_CALL tovdpmsize(TolvoVar* var, const char*, int32_t, int32_t)
{
    failureFill(var);
    return -1;
}

// tovdxver until the probe lands: nothing found, the text is "00".
#include <cstring>

#include "util.h"

extern "C" int TOLVO_CALL tovdxver(TolvoVar* var, int32_t, int32_t, int32_t)
{
    if (var->type == TOLVO_TYPE_INT)
        var->type = TOLVO_TYPE_STRING;
    // The three bytes fit any storage of one word or more; a variable
    // without storage gets nothing.
    if (var->word_count > 0)
        std::memcpy(var->data, "00", 3);
    return 0;
}

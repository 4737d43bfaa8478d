// The memory stream through which the decoder reads an Ogg Vorbis image held
// in a host variable. The decoder may seek anywhere; reads copy only bytes
// inside base .. base + length, and no position arithmetic can overflow.
#include <stdio.h>
#include <string.h>

#include "decoding.h"

size_t memRead(void* dest, size_t size, size_t count, void* stream)
{
    MemStream* ms = static_cast<MemStream*>(stream);
    if (ms->pos < 0)
        return static_cast<size_t>(-1);
    // The decoder always reads single bytes; an element of no size would
    // leave nothing to count.
    if (size == 0)
        return 0;
    const uint32_t pos = static_cast<uint32_t>(ms->pos);
    size_t wanted = count > SIZE_MAX / size ? SIZE_MAX : size * count;
    if (pos > ms->length)
        wanted = 0;
    else if (wanted > ms->length - pos)
        wanted = ms->length - pos;
    if (wanted != 0) {
        memcpy(dest, ms->base + pos, wanted);
        // pos + wanted <= length <= INT32_MAX
        ms->pos = static_cast<int32_t>(pos + wanted);
    }
    return wanted / size;
}

int memSeek(void* stream, ogg_int64_t offset, int whence)
{
    MemStream* ms = static_cast<MemStream*>(stream);
    uint64_t from;
    switch (whence) {
    case SEEK_SET:
        from = 0;
        break;
    case SEEK_CUR:
        from = static_cast<uint64_t>(static_cast<int64_t>(ms->pos));
        break;
    case SEEK_END:
        from = ms->length;
        break;
    default:
        return -1;
    }
    // No clamping: the position keeps the low 32 bits of the sum (unsigned
    // arithmetic, so a wild offset wraps instead of overflowing). Reads past
    // the end then deliver nothing and reads below 0 fail.
    ms->pos = static_cast<int32_t>(static_cast<uint32_t>(from + static_cast<uint64_t>(offset)));
    return ms->pos;
}

int memClose(void*)
{
    // The bytes belong to the host variable.
    return 0;
}

long memTell(void* stream)
{
    return static_cast<MemStream*>(stream)->pos;
}

const ov_callbacks g_memCallbacks = {memRead, memSeek, memClose, memTell};

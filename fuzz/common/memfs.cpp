#include "memfs.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/types.h>

#include <string>

extern "C" FILE* __real_fopen(const char* name, const char* mode);

namespace {

std::string s_name;
const uint8_t* s_data = nullptr;
size_t s_size = 0;

struct Cursor {
    const uint8_t* data;
    size_t size;
    off64_t pos;
};

ssize_t readCursor(void* cookie, char* buf, size_t n)
{
    Cursor* c = static_cast<Cursor*>(cookie);
    if (c->pos >= static_cast<off64_t>(c->size))
        return 0;
    const size_t left = c->size - static_cast<size_t>(c->pos);
    const size_t got = n < left ? n : left;
    memcpy(buf, c->data + c->pos, got);
    c->pos += static_cast<off64_t>(got);
    return static_cast<ssize_t>(got);
}

int seekCursor(void* cookie, off64_t* offset, int whence)
{
    Cursor* c = static_cast<Cursor*>(cookie);
    off64_t from = 0;
    if (whence == SEEK_CUR)
        from = c->pos;
    else if (whence == SEEK_END)
        from = static_cast<off64_t>(c->size);
    else if (whence != SEEK_SET)
        return errno = EINVAL, -1;
    if (*offset < -from)
        return errno = EINVAL, -1;
    c->pos = from + *offset;
    *offset = c->pos;
    return 0;
}

int closeCursor(void* cookie)
{
    delete static_cast<Cursor*>(cookie);
    return 0;
}

} // namespace

void memfsPut(const char* name, const uint8_t* data, size_t size)
{
    s_name = name;
    s_data = data;
    s_size = size;
}

extern "C" FILE* __wrap_fopen(const char* name, const char* mode)
{
    if (!name || s_name.empty() || s_name != name)
        return __real_fopen(name, mode);
    if (strcmp(mode, "r") != 0 && strcmp(mode, "rb") != 0)
        return errno = EROFS, nullptr;
    cookie_io_functions_t io = {readCursor, nullptr, seekCursor, closeCursor};
    Cursor* c = new Cursor{s_data, s_size, 0};
    FILE* f = fopencookie(c, "r", io);
    if (!f)
        delete c;
    return f;
}

#include "pack_fuzz_entry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pack/format.h"
#include "pack/pack.h"

namespace {

// Reads larger than this would only measure the allocator (inputs are a few
// KB, so the rest of such an entry is the zero fill past the file's end).
constexpr uint32_t kReadLimit = 1u << 16;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "pack fuzz: %s\n", what);
        std::abort();
    }
}

struct HostVar {
    unsigned char storage[64];
    TolvoVar var;
    HostVar()
    {
        std::memset(storage, 0xAB, sizeof storage);
        std::memset(&var, 0, sizeof var);
        var.type = 4;
        var.word_count = 16;
        var.data = storage;
    }
};

bool filled(const TolvoVar& v)
{
    if (v.word_count != 16)
        return false;
    for (int i = 0; i < 64; ++i) {
        if (static_cast<const unsigned char*>(v.data)[i] != 0)
            return false;
    }
    return true;
}

struct Image {
    const uint8_t* data;
    size_t size;
};

void sizeAndRead(const std::string& name, const Image& image)
{
    HostVar s;
    const int sized = tovdpmsize(&s.var, name.c_str(), 0, 0);
    check(sized == 0 || sized == -1, "tovdpmsize result");
    check(sized == 0 || filled(s.var), "tovdpmsize failure fill");
    if (sized == 0 && g_dwEntrySize > kReadLimit)
        return;

    HostVar r;
    const int read = tovdpmread(&r.var, name.c_str(), 0, 0);
    check(read == 0 || read == -1 || read == -2, "tovdpmread result");
    check(read == sized || (sized == 0 && read == -1), "tovdpmread and tovdpmsize disagree");
    if (r.var.data != r.storage) {
        check(r.var.data == g_lpReadBuffer, "the read buffer is not remembered");
        check(r.var.kind == 2, "kind");
        check(r.var.word_count == static_cast<int32_t>((g_dwEntrySize + 3) / 4), "word count");
        // The entry's bytes as the file holds them, zero past its end and in
        // the padding to a whole word.
        const unsigned char* got = static_cast<unsigned char*>(r.var.data);
        const uint32_t position = g_dwDataBase + g_dwEntryOffset;
        const size_t bytes = static_cast<size_t>(r.var.word_count) * 4;
        if (read == 0) {
            const size_t held = position < image.size ? image.size - position : 0;
            const size_t fromFile = g_dwEntrySize < held ? g_dwEntrySize : held;
            check(fromFile == 0 || std::memcmp(got, image.data + position, fromFile) == 0, "the entry's bytes");
            for (size_t i = fromFile; i < bytes; ++i)
                check(got[i] == 0, "zero past the file's end");
        }
        std::free(g_lpReadBuffer);
        g_lpReadBuffer = nullptr;
    } else {
        check(filled(r.var), "tovdpmread failure fill");
    }
}

} // namespace

void packFuzzOne(const uint8_t* data, size_t size, const char* packFile, PackFileStore store)
{
    if (size < 3)
        return;
    const uint8_t flags = data[0];
    const uint32_t base = data[1];
    const size_t keyLength = data[2] < size - 3 ? data[2] : size - 3;
    const std::string key(reinterpret_cast<const char*>(data + 3), keyLength);
    const uint8_t* image = data + 3 + keyLength;
    const size_t imageSize = size - 3 - keyLength;

    store(packFile, image, imageSize);

    resetPackState();
    const char* forms[] = {"%s,%u", "%s, +%u", "%s", "%s,%u junk"};
    char text[96];
    std::snprintf(text, sizeof text, forms[flags & 3], packFile, base);
    const bool loaded = openPack(text);
    check(!loaded || g_bPackOpen == 1, "a loaded pack is open");
    if (flags & 4) {
        char again[96];
        std::snprintf(again, sizeof again, "%s,%u", packFile, base ^ 16);
        const bool sticky = loaded && g_nEntryCount != 0;
        check(!sticky || openPack(again), "a pack with entries stays");
    }

    const Image whole{image, imageSize};
    sizeAndRead(key, whole);
    // Look up the first names of the directory itself, so that reads happen.
    if (g_bPackOpen == 1 && static_cast<size_t>(g_nPackBase) < imageSize) {
        const uint8_t* dir = image + g_nPackBase + kDpmxHeaderSize;
        for (int i = 0; i < 8; ++i) {
            const size_t at = static_cast<size_t>(g_nPackBase) + kDpmxHeaderSize + i * kDpmxRecordSize;
            if (at + kDpmxNameField > imageSize)
                break;
            const uint8_t* field = dir + i * kDpmxRecordSize;
            const void* zero = std::memchr(field, 0, kDpmxNameField);
            const size_t n = zero ? static_cast<const uint8_t*>(zero) - field : kDpmxNameField;
            sizeAndRead(std::string(reinterpret_cast<const char*>(field), n), whole);
        }
    }
}

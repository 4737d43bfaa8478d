// What the Ogg Vorbis converters make of the streams that
// tests/fixtures/ogg encodes at build time: helpers shared by their tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ogg/oggwave.h"

typedef std::vector<unsigned char> Bytes;

inline std::string fixture(const std::string& name)
{
    return std::string(TOLVO_OGG_FIXTURES) + "/" + name;
}

inline Bytes readFile(const std::string& path)
{
    Bytes b;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "cannot open " << path;
        return b;
    }
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        b.insert(b.end(), buf, buf + n);
    std::fclose(f);
    return b;
}

// A host variable whose storage holds `bytes` followed by `extra` filler
// bytes, rounded up to whole words as the host does.
struct HostVar {
    std::vector<uint32_t> words;
    TolvoVar rec{};

    explicit HostVar(const Bytes& bytes, size_t extra = 0, unsigned char filler = 0)
    {
        const size_t total = bytes.size() + extra;
        words.assign((total + 3) / 4, 0);
        unsigned char* p = reinterpret_cast<unsigned char*>(words.data());
        if (!bytes.empty())
            std::memcpy(p, bytes.data(), bytes.size());
        std::memset(p + bytes.size(), filler, words.size() * 4 - bytes.size());
        rec.word_count = static_cast<int32_t>(words.size());
        rec.data = words.data();
    }
};

// What a converter made: its result and, on success, the image's bytes.
struct Outcome {
    int rc = -1;
    void* image = nullptr;
    int32_t size = -7;
    Bytes bytes;
};

inline void* const kUntouched = reinterpret_cast<void*>(static_cast<uintptr_t>(0x5eed));

inline Outcome finish(int rc, void* image, int32_t size)
{
    Outcome o;
    o.rc = rc;
    o.image = image;
    o.size = size;
    if (rc == 1 && image && size >= WAVE_HEADER_BYTES)
        o.bytes.assign(static_cast<unsigned char*>(image), static_cast<unsigned char*>(image) + size);
    if (image && image != kUntouched)
        std::free(image);
    return o;
}

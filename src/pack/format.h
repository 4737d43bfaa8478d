// The DPMX pack format, shared by the reader and the tolvo-pack tool.
//
// A pack begins at byte `base` of its file (0 for a file that is a pack by
// itself). All integers are unsigned 32-bit little-endian.
//   header, 16 bytes at base:  "DPMX", data start (from base), entry count,
//                              reserved
//   directory at base + 16:    entry count records of 32 bytes: a name of at
//                              most 23 bytes ended by a zero in a 24-byte
//                              field, the offset of the data from the data
//                              area, the size of the data
//   data of an entry:          size bytes at base + data start + offset
// Names are stored lowered (bytes 'A'..'Z' become 'a'..'z', also inside
// double-byte characters); the first of two equal names is the one found.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr unsigned char kDpmxMagic[4] = {'D', 'P', 'M', 'X'};
constexpr uint32_t kDpmxHeaderSize = 16;
constexpr uint32_t kDpmxDataStartField = 4;
constexpr uint32_t kDpmxCountField = 8;
constexpr uint32_t kDpmxRecordSize = 32;
constexpr uint32_t kDpmxNameField = 24;
constexpr uint32_t kDpmxMaxName = 23;
constexpr uint32_t kDpmxOffsetField = 24;
constexpr uint32_t kDpmxSizeField = 28;

// File positions are handed to fseek as a signed 32-bit value on the
// platform, so every position a pack uses must lie below 2^31.
constexpr uint32_t kDpmxPositionLimit = 0x80000000u;

// The largest entry whose size in 32-bit words, rounded up, the host's
// signed word count can hold as (size + 3) / 4 in signed arithmetic.
constexpr uint32_t kDpmxMaxEntrySize = 0x7FFFFFFCu;

inline uint32_t loadLe32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline void storeLe32(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

// tolower of the "C" locale, byte by byte: whatever locale the host process
// has set, only 'A'..'Z' change, also where the byte is the second byte of a
// double-byte character.
inline unsigned char lowerNameByte(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
}

// The position text of a pack text ("file,position"), read as atoi reads it:
// leading white space, one optional sign, decimal digits up to the first
// other character; no digits give 0. The value is held at +-2^32 instead of
// wrapping, so a caller can refuse what does not fit.
inline int64_t parsePackPosition(const char* text)
{
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (v < (int64_t{1} << 32))
            v = v * 10 + (*p - '0');
    }
    if (v > (int64_t{1} << 32))
        v = int64_t{1} << 32;
    return negative ? -v : v;
}

// The memory stream's callbacks at their edges. The bytes live in a heap
// block of exactly `length` bytes, so the sanitizer build catches any read
// outside it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "ogg/decoding.h"

namespace {

struct Stream {
    std::vector<unsigned char> bytes;
    MemStream ms{};

    explicit Stream(uint32_t length)
        : bytes(length)
    {
        for (uint32_t i = 0; i < length; ++i)
            bytes[i] = static_cast<unsigned char>(i + 1);
        ms.base = bytes.data();
        ms.length = length;
        ms.pos = 0;
    }
};

TEST(MemRead, CopiesOnlyUpToTheEnd)
{
    Stream s(10);
    unsigned char out[16] = {};
    EXPECT_EQ(memRead(out, 1, 4, &s.ms), 4u);
    EXPECT_EQ(s.ms.pos, 4);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[3], 4);

    // A request crossing the end delivers the bytes up to the end.
    std::fill(out, out + 16, 0xee);
    EXPECT_EQ(memRead(out, 1, 16, &s.ms), 6u);
    EXPECT_EQ(s.ms.pos, 10);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[5], 10);
    EXPECT_EQ(out[6], 0xee);

    // At the end: nothing.
    EXPECT_EQ(memRead(out, 1, 16, &s.ms), 0u);
    EXPECT_EQ(s.ms.pos, 10);
}

TEST(MemRead, CountsWholeElements)
{
    Stream s(10);
    unsigned char out[12] = {};
    // 10 bytes are copied, two whole elements of 4.
    EXPECT_EQ(memRead(out, 4, 3, &s.ms), 2u);
    EXPECT_EQ(s.ms.pos, 10);
    EXPECT_EQ(out[9], 10);
    // An element of no size counts nothing and moves nothing.
    s.ms.pos = 0;
    EXPECT_EQ(memRead(out, 0, 5, &s.ms), 0u);
    EXPECT_EQ(s.ms.pos, 0);
}

TEST(MemRead, HugeRequestsDoNotWrapAround)
{
    Stream s(10);
    unsigned char out[10] = {};
    s.ms.pos = 3;
    // size * count overflows a machine word; the request is simply "all".
    EXPECT_EQ(memRead(out, 2, SIZE_MAX / 2 + 2, &s.ms), 3u);
    EXPECT_EQ(s.ms.pos, 10);
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(out[6], 10);
}

TEST(MemRead, BeyondTheEndOrBelowZero)
{
    Stream s(10);
    unsigned char out[4] = {0xee, 0xee, 0xee, 0xee};
    s.ms.pos = 11;
    EXPECT_EQ(memRead(out, 1, 4, &s.ms), 0u);
    EXPECT_EQ(s.ms.pos, 11);
    s.ms.pos = INT32_MAX;
    EXPECT_EQ(memRead(out, 1, 4, &s.ms), 0u);
    EXPECT_EQ(s.ms.pos, INT32_MAX);

    // A negative position fails with all ones and copies nothing.
    for (int32_t pos : {-1, -4, INT32_MIN}) {
        s.ms.pos = pos;
        EXPECT_EQ(memRead(out, 1, 4, &s.ms), SIZE_MAX);
        EXPECT_EQ(s.ms.pos, pos);
    }
    EXPECT_EQ(out[0], 0xee);
}

TEST(MemRead, EmptyStreamWithoutBytes)
{
    MemStream ms{nullptr, 0, 0};
    unsigned char out[4] = {};
    EXPECT_EQ(memRead(out, 1, 4, &ms), 0u);
    EXPECT_EQ(ms.pos, 0);
}

TEST(MemSeek, ReturnsTheNewPositionWithoutClamping)
{
    Stream s(100);
    EXPECT_EQ(memSeek(&s.ms, 40, SEEK_SET), 40);
    EXPECT_EQ(memSeek(&s.ms, -15, SEEK_CUR), 25);
    EXPECT_EQ(memSeek(&s.ms, 0, SEEK_END), 100);
    EXPECT_EQ(memSeek(&s.ms, -30, SEEK_END), 70);
    EXPECT_EQ(s.ms.pos, 70);
    EXPECT_EQ(memSeek(&s.ms, 500, SEEK_SET), 500);
    EXPECT_EQ(memSeek(&s.ms, 5, SEEK_END), 105);
    EXPECT_EQ(memSeek(&s.ms, -7, SEEK_SET), -7);
    EXPECT_EQ(s.ms.pos, -7);
}

TEST(MemSeek, UnknownWhenceLeavesThePosition)
{
    Stream s(100);
    s.ms.pos = 33;
    for (int whence : {3, -1, 99}) {
        EXPECT_EQ(memSeek(&s.ms, 10, whence), -1);
        EXPECT_EQ(s.ms.pos, 33);
    }
}

TEST(MemSeek, KeepsTheLow32BitsOfTheSum)
{
    Stream s(100);
    EXPECT_EQ(memSeek(&s.ms, (int64_t(1) << 32) + 5, SEEK_SET), 5);
    s.ms.pos = INT32_MAX;
    EXPECT_EQ(memSeek(&s.ms, 1, SEEK_CUR), INT32_MIN);
    EXPECT_EQ(memSeek(&s.ms, INT64_MIN, SEEK_CUR), INT32_MIN);
    EXPECT_EQ(memSeek(&s.ms, INT64_MAX, SEEK_END), 99);
}

TEST(MemStream, TellCloseAndTheCallbackTable)
{
    Stream s(8);
    s.ms.pos = 6;
    EXPECT_EQ(memTell(&s.ms), 6);
    s.ms.pos = -3;
    EXPECT_EQ(memTell(&s.ms), -3);
    EXPECT_EQ(memClose(&s.ms), 0);
    EXPECT_EQ(s.ms.base, s.bytes.data());
    EXPECT_EQ(s.bytes[7], 8);

    EXPECT_EQ(g_memCallbacks.read_func, &memRead);
    EXPECT_EQ(g_memCallbacks.seek_func, &memSeek);
    EXPECT_EQ(g_memCallbacks.close_func, &memClose);
    EXPECT_EQ(g_memCallbacks.tell_func, &memTell);
}

} // namespace

#include <gtest/gtest.h>

#include <string>

#include "names.h"

namespace {

struct Case {
    const char* system; // the file's name in the system's code
    const char* cp932;  // the entry name's bytes
};

// What each system code gives, both ways. Natively file names are UTF-8;
// under Wine the code pages are given, whatever the process's own is.
#ifdef _WIN32
const NameCode kSystem = 932;
const NameCode kWestern = 1252;
// With code page 932 the bytes pass as they are, also a second spelling of
// a character (87 90 and 81 E0 are both "≒").
const Case kBoth[] = {
    {"Stage1.MAP", "Stage1.MAP"},
    {"\x95\x5c.txt", "\x95\x5c.txt"},
    {"\x83\x41\x83\x5c", "\x83\x41\x83\x5c"},
    {"\x87\x90", "\x87\x90"},
};
const char* const kNotHeld[] = {"\x95", "a\x84"};
#else
const NameCode kSystem = "UTF-8";
const Case kBoth[] = {
    {"Stage1.MAP", "Stage1.MAP"},
    {"効果音.wav", "\x8c\xf8\x89\xca\x89\xb9.wav"},
    {"表.txt", "\x95\x5c.txt"},     // second byte '\\'
    {"アソ", "\x83\x41\x83\x5c"},   // second bytes 'A' and '\\'
    {"ｱ", "\xb1"},                  // half-width katakana: one byte
    {"≒", "\x81\xe0"},
};
// "¥" and "‾" would come back as "\" and "~"; "é" is not there at all.
const char* const kNotHeld[] = {"¥.txt", "a‾", "café", "\xff", "\xe8\xa1"};
#endif

TEST(ToolNames, FileNamesBecomeCodePage932AndBack)
{
    for (const Case& c : kBoth) {
        std::string cp932, back;
        ASSERT_TRUE(nameToCp932(c.system, cp932, kSystem)) << c.system;
        EXPECT_EQ(cp932, c.cp932);
        ASSERT_TRUE(nameFromCp932(cp932, back, kSystem)) << c.system;
        EXPECT_EQ(back, c.system);
        EXPECT_TRUE(isCp932Text(cp932));
    }
    for (const char* name : kNotHeld) {
        std::string cp932;
        EXPECT_FALSE(nameToCp932(name, cp932, kSystem)) << name;
    }
}

TEST(ToolNames, StoredNamesComeBackAsTheReaderLeftThem)
{
    // "ア" (83 41) is stored lowered as 83 61, itself a character ("ヂ"):
    // that is the name shown. Cyrillic "Б" (84 41) lowered is 84 61, no
    // character at all: it comes back as the character it was made from.
    struct Stored {
        const char* cp932;
        const char* shown; // null: no file name
    };
#ifdef _WIN32
    const Stored cases[] = {{"\x83\x61", "\x83\x61"}, {"\x84\x61", "\x84\x41"}, {"\x85\x40", nullptr}, {"a\x95", nullptr}};
#else
    const Stored cases[] = {{"\x83\x61", "ヂ"}, {"\x84\x61.txt", "Б.txt"}, {"\x85\x40", nullptr}, {"a\x95", nullptr}};
#endif
    for (const Stored& c : cases) {
        std::string name;
        EXPECT_EQ(nameFromCp932(c.cp932, name, kSystem), c.shown != nullptr) << c.cp932;
        EXPECT_EQ(isCp932Text(c.cp932), c.shown != nullptr) << c.cp932;
        if (c.shown) {
            EXPECT_EQ(name, c.shown);
        }
    }
    EXPECT_EQ(printableName("a\x95"), "a\\x95");
}

#ifdef _WIN32
TEST(ToolNames, OtherAnsiCodePagesConvertThroughUnicode)
{
    std::string out;
    EXPECT_TRUE(nameToCp932("Title.ogg", out, kWestern));
    EXPECT_EQ(out, "Title.ogg");
    // "é" has no place in code page 932, "表" none in 1252.
    EXPECT_FALSE(nameToCp932("caf\xe9", out, kWestern));
    EXPECT_FALSE(nameFromCp932("\x95\x5c.txt", out, kWestern));
    // A full-width "Ａ" is not made a plain "A" on the way.
    EXPECT_FALSE(nameFromCp932("\x82\x60", out, kWestern));
    EXPECT_TRUE(nameFromCp932("stage1.map", out, kWestern));
    EXPECT_EQ(out, "stage1.map");
}
#endif

} // namespace

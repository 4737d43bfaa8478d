#include <gtest/gtest.h>

#include <string>

#include "names.h"

// The common names go through the pack tool's tests; these are the edges.
namespace {

#ifdef _WIN32
const NameCode kSystem = 932; // whatever the process's own code page is
#else
const NameCode kSystem = "UTF-8";
#endif

TEST(ToolNames, StoredNamesComeBackAsTheReaderLeftThem)
{
    // "ア" (83 41) is stored lowered as 83 61, itself a character ("ヂ"),
    // which is the name shown. Cyrillic "Б" (84 41) lowered is 84 61, no
    // character at all: it comes back as the one it was made from. 85 40
    // and a lone lead byte are no text.
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
        EXPECT_EQ(name, c.shown ? c.shown : name);
    }
    EXPECT_EQ(printableName("a\x95"), "a\\x95");
}

#ifdef _WIN32
TEST(ToolNames, CodePage932NamesPassAsTheyAreAndOthersWithoutBestFit)
{
    std::string out;
    // 87 90 and 81 E0 are both "≒": Unicode would merge them.
    EXPECT_TRUE(nameToCp932("\x87\x90", out, 932));
    EXPECT_EQ(out, "\x87\x90");
    // A full-width "Ａ" has no place in 1252; it is not made a plain "A".
    EXPECT_FALSE(nameFromCp932("\x82\x60", out, 1252));
}
#else
TEST(ToolNames, NamesThatWouldComeBackOtherwiseAreRefused)
{
    // glibc's code page 932 takes "¥" and "‾" to '\\' and '~'.
    for (const char* name : {"¥.txt", "a‾", "café", "\xff", "\xe8\xa1"}) {
        std::string out;
        EXPECT_FALSE(nameToCp932(name, out, kSystem)) << name;
    }
}
#endif

} // namespace

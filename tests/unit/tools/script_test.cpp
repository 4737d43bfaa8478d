#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script.h"

namespace {

// The second word of a script's first line as the host passes it on, or
// "error N: ...".
std::string read(const std::string& text)
{
    try {
        return readScript(text).at(0).words.at(1);
    } catch (const ScriptError& e) {
        return "error " + std::to_string(e.line) + ": " + e.message.substr(0, 40);
    }
}

TEST(HostScript, StringsAreCodePage932Text)
{
    const std::pair<std::string, std::string> cases[] = {
        // Trail bytes 0x5C (ソ, 表) are no backslash, also after an escape.
        {"x \"\x83\x5cnode.ogg\"", "\"\x83\x5cnode.ogg"},
        {"x \"\x95\x5c\\\\\\x41\"", "\"\x95\x5c\\A"},
        {"x \"\\\x83\x5c\"", "\"\x83\x5c"},
        {"x \"\\x82\\xa0\\n\\\"\"", "\"\x82\xa0\n\""},
        {"x \"a\\x4\"", "error 1: \\x takes two hexadecimal digits (\\x5c)"},
        {"\n\nx \"\\xZZ\"", "error 3: \\x takes two hexadecimal digits (\\x5c)"},
        {"x \"\x83\x5c", "error 1: unterminated string"},
        // UTF-8, with a byte-order mark or without (Notepad's default), goes
        // on in code page 932; \x escapes stay bytes. Half-width katakana
        // (C3 BD: ﾃｽ) could be UTF-8 too and stay code page 932.
        {"\xEF\xBB\xBFx \"a\\\\b\"", "\"a\\b"},
        {"\xEF\xBB\xBF# ok\r\nx \"ソ\\\\\"", "\"\x83\x5c\\"},
        {"x \"サウンド\"", "\"\x83\x54\x83\x45\x83\x93\x83\x68"},
        {"x \"ロード\" # ド ends in 89, a lead byte", "\"\x83\x8d\x81\x5b\x83\x68"},
        {"x \"タイトル.txt\"", "\"\x83\x5e\x83\x43\x83\x67\x83\x8b.txt"},
        {"x \"ロ\\x82\\xa0\"", "\"\x83\x8d\x82\xa0"},
        {"x \"\xC3\xBD\"", "\"\xC3\xBD"},
        {"# 効果音\nx \"café\"", "error 2: the string holds U+00E9, a character tha"},
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(read(text), want) << text;
}

} // namespace

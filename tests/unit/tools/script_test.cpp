#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script.h"

namespace {

// The second word of a script's first line as the host passes it on, or
// "error: ..." / "warning N: ...".
std::string read(const std::string& text)
{
    std::vector<ScriptError> warnings;
    try {
        const std::vector<Line> lines = readScript(text, warnings);
        if (!warnings.empty())
            return "warning " + std::to_string(warnings[0].line) + ": " + warnings[0].message.substr(0, 30);
        return lines.at(0).words.at(1);
    } catch (const ScriptError& e) {
        return "error " + std::to_string(e.line) + ": " + e.message;
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
        // A byte-order mark is skipped; UTF-8 text in a string is named.
        {"\xEF\xBB\xBFx \"a\\\\b\"", "\"a\\b"},
        {"\xEF\xBB\xBF# ok\r\nx \"\xE3\x82\xBD\\\\\"", "warning 2: the script is UTF-8 (it begins"},
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(read(text), want) << text;
}

} // namespace

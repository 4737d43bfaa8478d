// What the tools say, in English and in Japanese. Every message is a line
// of the one table, messages.inc: its name, its English and its Japanese
// (written in UTF-8), with {1}, {2} ... where the values go, since the two
// languages place them differently. A tool's main chooses the user's
// language once (speak(userLanguage())); the texts come out in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

struct ToolText {
    const char* english;
    const char* japanese;
};

#define TOLVO_TOOL_TEXT(name, english, japanese) extern const ToolText name;
#include "messages.inc"
#undef TOLVO_TOOL_TEXT

// Every text of the table, for the tests.
extern const ToolText* const kToolTexts[];
extern const size_t kToolTextCount;

enum class ToolLanguage { English, Japanese };

// Japanese when the user reads it: on Windows, the user's UI language is
// Japanese and the ANSI code page is 932, in which the file names come
// (a Japanese text would not survive another code page); elsewhere the
// first of LC_ALL, LC_MESSAGES and LANG that is set names Japanese ("ja",
// "ja_JP.UTF-8"). English otherwise.
ToolLanguage userLanguage();

// The language toolText answers in: English until a tool's main says.
void speak(ToolLanguage language);

// The text in that language with {1}, {2} ... replaced by the values, in
// the system's code, as the file names among the values are: UTF-8, or the
// ANSI code page on Windows.
std::string toolText(const ToolText& text, std::initializer_list<std::string> values = {});

// "1 entry", "2 entries": `one` for 1, `many` (with {1}) otherwise.
std::string counted(uint64_t n, const ToolText& one, const ToolText& many);

// Writes text to a stream. A Windows console gets it through WriteConsoleW,
// so that Japanese shows whatever the console's code page; a file or a pipe
// gets the bytes as they are (the ANSI code page on Windows, UTF-8
// elsewhere).
void writeText(FILE* to, const std::string& text);

// Windows: an argument that came in with characters the ANSI code page
// cannot hold (the system put '?' in their place), as a message naming the
// cause; "" when every argument is whole. Elsewhere always "".
std::string unreadableArgument(int argc, char** argv);

// How tolvo-host reads a script: lines, words and strings. No Windows
// header: the tests read scripts natively too.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "messages.h"

struct ScriptError {
    int line;
    std::string message;
};

struct Line {
    int number;
    std::vector<std::string> words; // quoted words keep their opening quote
};

// Stops the script: throws a ScriptError naming the line.
[[noreturn]] void fail(int line, const ToolText& text, std::initializer_list<std::string> values = {});

// The script's non-empty lines, split into words, strings decoded. A script
// is code page 932 text, in which the DLL takes names and texts: a lead
// byte and its trail byte are taken together, so a trail byte 0x5C is never
// a backslash. A script saved as UTF-8 (with a byte-order mark, or without
// one where looksLikeUtf8 says so: Notepad's default) is read as UTF-8 and
// the text of its strings passed on in code page 932. Throws ScriptError on
// an unterminated string, a bad \x escape, an unset ${VAR} or a character
// that code page 932 lacks.
std::vector<Line> readScript(const std::string& text);

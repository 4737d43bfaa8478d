// How tolvo-host reads a script: lines, words and strings. No Windows
// header: the tests read scripts natively too.
#pragma once

#include <string>
#include <vector>

struct ScriptError {
    int line;
    std::string message;
};

struct Line {
    int number;
    std::vector<std::string> words; // quoted words keep their opening quote
};

// Stops the script: throws a ScriptError naming the line.
[[noreturn]] void fail(int line, const char* fmt, ...);

// The script's non-empty lines, split into words, strings decoded. A script
// is code page 932 text: a lead byte and its trail byte are taken together,
// so a trail byte 0x5C is never a backslash. A UTF-8 byte-order mark at the
// start is skipped and the text read as UTF-8; a string that then holds
// UTF-8 text (which reaches the DLL as it stands, not as code page 932)
// adds a warning (its line and text). Throws ScriptError on an
// unterminated string, a bad \x escape or an unset ${VAR}.
std::vector<Line> readScript(const std::string& text, std::vector<ScriptError>& warnings);

// Entry names in packs are code page 932 (Shift-JIS) bytes on every
// platform: scripts pass names in the host's code page, 932. File names are
// the system's own: UTF-8 on Linux (converted with iconv), the ANSI code
// page on Windows (passed as they are when that is 932, converted through
// UTF-16 otherwise).
#pragma once

#include <string>

#ifdef _WIN32
using NameCode = unsigned; // a Windows code page
#else
using NameCode = const char*; // an iconv encoding name
#endif

// The code of file names here: "UTF-8", or the ANSI code page.
NameCode systemNameCode();

#ifdef _WIN32
// Between a code page and UTF-16. `lossy`: set when a character had no form
// in the code page and was replaced.
std::wstring toWide(unsigned codePage, const std::string& text);
std::string fromWide(unsigned codePage, const std::wstring& wide, bool* lossy = nullptr);
#endif

// For messages: "UTF-8", or "code page 1252".
std::string systemNameCodeText();

// Text that was saved as UTF-8, not as code page 932: valid UTF-8 with a
// character of two or more bytes that code page 932 would not read as two
// half-width katakana (C2-DF A1-BF is both, and stays code page 932).
// Japanese in UTF-8 (three bytes a character) is never read so.
bool looksLikeUtf8(const std::string& text);

// UTF-8 text as code page 932. False when a character has no code page 932
// form (every character must come back as it was); `missing` is then the
// first such character, in UTF-8.
bool utf8ToCp932(const std::string& utf8, std::string& cp932, std::string& missing);

// A name written in a text file (code page 932, or UTF-8) as a file name
// here. False when the system's code cannot hold it.
bool fileNameFromText(const std::string& text, bool utf8, std::string& name);

// A file name as code page 932 bytes. False when code page 932 cannot hold
// it: every character must come back as it was (so "¥" and "‾", which
// would come back as "\" and "~", are refused too).
bool nameToCp932(const std::string& name, std::string& cp932, NameCode system = systemNameCode());

// A stored name as a file name. A double-byte character whose second byte
// the reader's lowering moved out of code page 932 (Cyrillic Б, 84 41,
// stored as 84 61) comes back as the character it was made from; any
// other character is the stored one. False when a character has no file
// name here (not code page 932, or not in the system's code page).
bool nameFromCp932(const std::string& cp932, std::string& name, NameCode system = systemNameCode());

// The stored name is code page 932 text that a script can spell (allowing
// for the lowering as above).
bool isCp932Text(const std::string& cp932);

// The length of the code page 932 character at byte i of s: 2 for a lead
// byte (0x81-0x9F, 0xE0-0xFC) with a byte after it, else 1.
size_t cp932CharLength(const std::string& s, size_t i);

// For messages and listings: the file name, with the bytes that have none
// and control characters shown as \xNN.
std::string printableName(const std::string& cp932);

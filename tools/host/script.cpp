#include "script.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "names.h"

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "U+00E9": a UTF-8 character by its code point, which shows the same on
// any console.
std::string codePoint(const std::string& utf8)
{
    const unsigned char lead = static_cast<unsigned char>(utf8[0]);
    unsigned long cp = utf8.size() == 1 ? lead : lead & (0x7F >> utf8.size());
    for (size_t k = 1; k < utf8.size(); ++k)
        cp = cp << 6 | (static_cast<unsigned char>(utf8[k]) & 0x3F);
    char text[16];
    std::snprintf(text, sizeof text, "U+%04lX", cp);
    return text;
}

// A quoted word from its opening quote at i to its closing one, which i
// moves past: '"' and the text, with its escapes and ${NAME}s replaced.
// `utf8`: the script's text is UTF-8 and goes on in code page 932; \x
// escapes and ${NAME} values are bytes and go on as they are.
std::string quotedWord(const std::string& text, size_t& i, int lineNo, bool utf8)
{
    std::string w(1, '"');
    std::string written; // the script's own text, not yet passed on
    auto passOn = [&] {
        std::string cp932, missing;
        if (!utf8)
            w += written;
        else if (utf8ToCp932(written, cp932, missing))
            w += cp932;
        else
            fail(lineNo, kHostNoCodePage932, {missing.empty() ? "?" : codePoint(missing)});
        written.clear();
    };
    ++i;
    while (i < text.size()) {
        // A double-byte character, after a backslash too (which is then
        // dropped as before any other character).
        const size_t at = text[i] == '\\' && i + 1 < text.size() ? i + 1 : i;
        if (!utf8 && cp932CharLength(text, at) == 2) {
            written.append(text, at, 2);
            i = at + 2;
            continue;
        }
        char c = text[i++];
        if (c == '"') {
            passOn();
            return w;
        }
        if (c == '$' && i < text.size() && text[i] == '{') {
            // ${NAME}: the environment variable's value, as it stands.
            const size_t close = text.find('}', i);
            if (close == std::string::npos)
                fail(lineNo, kHostUnterminatedVariable);
            const std::string name = text.substr(i + 1, close - i - 1);
            const char* value = std::getenv(name.c_str());
            if (!value)
                fail(lineNo, kHostVariableNotSet, {name});
            passOn();
            w += value;
            i = close + 1;
            continue;
        }
        if (c == '\\' && i < text.size() && text[i] == 'x') {
            ++i;
            const int high = i < text.size() ? hexDigit(text[i]) : -1;
            const int low = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
            if (high < 0 || low < 0)
                fail(lineNo, kHostBadHexEscape);
            i += 2;
            passOn();
            w.push_back(static_cast<char>(high * 16 + low));
            continue;
        }
        if (c == '\\' && i < text.size()) {
            c = text[i++];
            c = c == 'n' ? '\n' : c == 't' ? '\t' : c;
        }
        written.push_back(c);
    }
    fail(lineNo, kHostUnterminatedString);
}

// The words of one line. `utf8`: the script is UTF-8, whose multi-byte
// characters hold no ASCII bytes; otherwise code page 932, whose
// double-byte characters may end in '\\'.
std::vector<std::string> tokenize(const std::string& text, int lineNo, bool utf8)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r'))
            ++i;
        if (i >= text.size() || text[i] == '#')
            break;
        std::string w;
        if (text[i] == '"') {
            w = quotedWord(text, i, lineNo, utf8);
        } else {
            while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r')
                w.push_back(text[i++]);
        }
        words.push_back(w);
    }
    return words;
}

} // namespace

void fail(int line, const ToolText& text, std::initializer_list<std::string> values)
{
    throw ScriptError{line, toolText(text, values)};
}

std::vector<Line> readScript(const std::string& text)
{
    static const char kBom[] = "\xEF\xBB\xBF";
    const bool bom = text.compare(0, 3, kBom) == 0;
    const bool utf8 = bom || looksLikeUtf8(text);
    std::vector<Line> lines;
    size_t start = bom ? 3 : 0;
    for (int n = 1; start < text.size(); ++n) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        auto words = tokenize(text.substr(start, end - start), n, utf8);
        if (!words.empty())
            lines.push_back({n, std::move(words)});
        start = end + 1;
    }
    return lines;
}

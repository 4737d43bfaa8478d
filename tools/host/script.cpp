#include "script.h"

#include <cstdarg>
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

// The character that the escape after a backslash stands for; i is at the
// escape's first character and moves past it.
char escaped(const std::string& text, size_t& i, int lineNo)
{
    const char e = text[i++];
    if (e == 'n')
        return '\n';
    if (e == 't')
        return '\t';
    if (e != 'x')
        return e;
    const int high = i < text.size() ? hexDigit(text[i]) : -1;
    const int low = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
    if (high < 0 || low < 0)
        fail(lineNo, "\\x takes two hexadecimal digits (\\x5c)");
    i += 2;
    return static_cast<char>(high * 16 + low);
}

// A quoted word from its opening quote at i to its closing one, which i
// moves past: '"' and the text, with its escapes and ${NAME}s replaced.
std::string quotedWord(const std::string& text, size_t& i, int lineNo, bool utf8, bool& rawText)
{
    std::string w(1, '"');
    ++i;
    while (i < text.size()) {
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            rawText = true;
        // A double-byte character, after a backslash too (which is then
        // dropped as before any other character).
        const size_t at = text[i] == '\\' && i + 1 < text.size() ? i + 1 : i;
        if (!utf8 && cp932CharLength(text, at) == 2) {
            w.append(text, at, 2);
            i = at + 2;
            continue;
        }
        char c = text[i++];
        if (c == '"')
            return w;
        if (c == '$' && i < text.size() && text[i] == '{') {
            // ${NAME}: the environment variable's value, as it stands.
            const size_t close = text.find('}', i);
            if (close == std::string::npos)
                fail(lineNo, "unterminated ${");
            const std::string name = text.substr(i + 1, close - i - 1);
            const char* value = std::getenv(name.c_str());
            if (!value)
                fail(lineNo, "environment variable %s is not set", name.c_str());
            w += value;
            i = close + 1;
            continue;
        }
        if (c == '\\' && i < text.size())
            c = escaped(text, i, lineNo);
        w.push_back(c);
    }
    fail(lineNo, "unterminated string");
}

// The words of one line. `utf8`: the script is UTF-8, whose multi-byte
// characters hold no ASCII bytes; otherwise code page 932, whose
// double-byte characters may end in '\\'. `rawText`: set when a string
// holds bytes from 0x80 on written as they are (not as \x escapes).
std::vector<std::string> tokenize(const std::string& text, int lineNo, bool utf8, bool& rawText)
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
            w = quotedWord(text, i, lineNo, utf8, rawText);
        } else {
            while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r')
                w.push_back(text[i++]);
        }
        words.push_back(w);
    }
    return words;
}

} // namespace

void fail(int line, const char* fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    throw ScriptError{line, buf};
}

std::vector<Line> readScript(const std::string& text, std::vector<ScriptError>& warnings)
{
    static const char kBom[] = "\xEF\xBB\xBF";
    const bool utf8 = text.compare(0, 3, kBom) == 0;
    std::vector<Line> lines;
    bool warned = false;
    size_t start = utf8 ? 3 : 0;
    for (int n = 1; start < text.size(); ++n) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        bool rawText = false;
        auto words = tokenize(text.substr(start, end - start), n, utf8, rawText);
        if (utf8 && rawText && !warned) {
            warnings.push_back({n, "the script is UTF-8 (it begins with a byte-order mark), so this string's "
                                   "text reaches tolvo.dll as UTF-8 bytes, but it takes names and texts in code "
                                   "page 932 (Shift-JIS): save the script as Shift-JIS, or write the bytes as \\x "
                                   "escapes"});
            warned = true;
        }
        if (!words.empty())
            lines.push_back({n, std::move(words)});
        start = end + 1;
    }
    return lines;
}

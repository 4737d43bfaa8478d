#include "names.h"

#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include "messages.h"

namespace {

#ifdef _WIN32
const NameCode kPackCode = 932;
const NameCode kUnicodeCode = CP_UTF8;

// A string of one code page in another, through UTF-16. False on a byte
// sequence that is no character of `from`, or a character `to` has not.
bool recode(NameCode to, NameCode from, const std::string& in, std::string& out)
{
    out.clear();
    if (in.empty())
        return true;
    const int n = static_cast<int>(in.size());
    const int wide = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), n, nullptr, 0);
    if (wide <= 0)
        return false;
    std::vector<wchar_t> w(static_cast<size_t>(wide));
    MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), n, w.data(), wide);
    // A code page without a character gives its default one, which the flag
    // reports; UTF-8 has every character and takes neither.
    BOOL usedDefault = FALSE;
    const DWORD flags = to == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* used = to == CP_UTF8 ? nullptr : &usedDefault;
    const int bytes = WideCharToMultiByte(to, flags, w.data(), wide, nullptr, 0, nullptr, used);
    if (bytes <= 0 || usedDefault)
        return false;
    out.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(to, flags, w.data(), wide, out.data(), bytes, nullptr, used);
    return !usedDefault;
}
#else
const NameCode kPackCode = "CP932";
const NameCode kUnicodeCode = "UTF-8";

// One converter per direction, opened once: a listing converts every name
// character by character.
iconv_t converter(NameCode to, NameCode from)
{
    struct Open {
        std::string to, from;
        iconv_t cd;
    };
    static struct Converters {
        std::vector<Open> open;
        ~Converters()
        {
            for (const Open& o : open)
                iconv_close(o.cd);
        }
    } converters;
    for (const Open& o : converters.open)
        if (o.to == to && o.from == from)
            return o.cd;
    iconv_t cd = iconv_open(to, from);
    if (cd != reinterpret_cast<iconv_t>(-1))
        converters.open.push_back({to, from, cd});
    return cd;
}

bool recode(NameCode to, NameCode from, const std::string& in, std::string& out)
{
    out.clear();
    iconv_t cd = converter(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string source = in;
    char* inPtr = source.data();
    size_t inLeft = source.size();
    std::vector<char> buffer(in.size() * 4 + 16);
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (r == static_cast<size_t>(-1) || inLeft != 0)
        return false;
    out.assign(buffer.data(), buffer.size() - outLeft);
    return true;
}
#endif

bool sameCode(NameCode a, NameCode b)
{
#ifdef _WIN32
    return a == b;
#else
    return std::string(a) == b;
#endif
}

// `in` in the other code. Between equal codes the bytes stay as they are
// once they are known to be text (code page 932 spells some characters two
// ways, which UTF-16 would merge). `exact`: `in` must also come back as it
// was.
bool recodeName(NameCode to, NameCode from, const std::string& in, std::string& out, bool exact)
{
    // ASCII is itself in every code here.
    bool ascii = true;
    for (char c : in)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        out = in;
        return true;
    }
    std::string back;
    if (sameCode(to, from)) {
        if (!recode(kUnicodeCode, from, in, back))
            return false;
        out = in;
        return true;
    }
    return recode(to, from, in, out) && (!exact || (recode(from, to, out, back) && back == in));
}

// One stored character as a file name: itself, or the character whose
// second byte the reader's lowering moved.
bool charFromCp932(std::string ch, std::string& out, NameCode system)
{
    if (recodeName(system, kPackCode, ch, out, false))
        return true;
    const unsigned char second = ch.size() == 2 ? static_cast<unsigned char>(ch[1]) : 0;
    if (second < 'a' || second > 'z')
        return false;
    ch[1] = static_cast<char>(second - 0x20);
    return recodeName(system, kPackCode, ch, out, false);
}

} // namespace

#ifdef _WIN32
std::wstring toWide(unsigned codePage, const std::string& text)
{
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), n);
    return wide;
}

std::string fromWide(unsigned codePage, const std::wstring& wide, bool* lossy)
{
    BOOL used = FALSE;
    BOOL* usedFlag = codePage == CP_UTF8 ? nullptr : &used;
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, usedFlag);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, flags, wide.data(), size, out.data(), n, nullptr, usedFlag);
    if (lossy)
        *lossy = used != FALSE;
    return out;
}
#endif

size_t cp932CharLength(const std::string& s, size_t i)
{
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return lead && i + 1 < s.size() ? 2 : 1;
}

NameCode systemNameCode()
{
#ifdef _WIN32
    return GetACP();
#else
    return kUnicodeCode;
#endif
}

std::string systemNameCodeText()
{
#ifdef _WIN32
    return toolText(kToolCodePage, {std::to_string(GetACP())});
#else
    return kUnicodeCode;
#endif
}

bool looksLikeUtf8(const std::string& text)
{
    bool other = false; // a character that is no pair of half-width katakana
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (n == 0 || i + n > text.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        const unsigned char second = n > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
        // Overlong forms, surrogates and code points beyond U+10FFFF.
        if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) || (c == 0xF0 && second < 0x90) ||
            (c == 0xF4 && second > 0x8F))
            return false;
        other = other || n > 2 || (n == 2 && second < 0xA1);
        i += n;
    }
    return other;
}

bool utf8ToCp932(const std::string& utf8, std::string& cp932, std::string& missing)
{
    missing.clear();
    if (recodeName(kPackCode, kUnicodeCode, utf8, cp932, true))
        return true;
    // The first character that has no form: each in turn, as UTF-8 lays them out.
    std::string one;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const size_t n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        missing = utf8.substr(i, n);
        if (!recodeName(kPackCode, kUnicodeCode, missing, one, true))
            return false;
        i += n;
    }
    missing.clear();
    return false;
}

bool fileNameFromText(const std::string& text, bool utf8, std::string& name)
{
    return recodeName(systemNameCode(), utf8 ? kUnicodeCode : kPackCode, text, name, true);
}

bool nameToCp932(const std::string& name, std::string& cp932, NameCode system)
{
    return recodeName(kPackCode, system, name, cp932, true);
}

bool nameFromCp932(const std::string& cp932, std::string& name, NameCode system)
{
    name.clear();
    std::string part;
    for (size_t i = 0; i < cp932.size();) {
        const size_t n = cp932CharLength(cp932, i);
        if (!charFromCp932(cp932.substr(i, n), part, system))
            return false;
        name += part;
        i += n;
    }
    return true;
}

bool isCp932Text(const std::string& cp932)
{
    std::string ignored;
    return nameFromCp932(cp932, ignored, kUnicodeCode);
}

std::string printableName(const std::string& cp932)
{
    std::string shown, part;
    for (size_t i = 0; i < cp932.size();) {
        const size_t n = cp932CharLength(cp932, i);
        // Control characters would act on the terminal: they are shown too.
        const unsigned char c = static_cast<unsigned char>(cp932[i]);
        if ((n > 1 || (c >= 0x20 && c != 0x7F)) && charFromCp932(cp932.substr(i, n), part, systemNameCode())) {
            shown += part;
        } else {
            for (size_t k = 0; k < n; ++k) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(cp932[i + k]));
                shown += hex;
            }
        }
        i += n;
    }
    return shown;
}

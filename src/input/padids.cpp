// XInput pads by their raw input names, and their user indices.
#include "padids.h"

namespace {

// Device names are ASCII; the system's locale has no say here.
inline char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The value of a hex digit, or -1.
inline int hexDigit(char c)
{
    c = upper(c);
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// The first place where `word` (upper case) stands in `text`, in any case.
const char* findWord(const char* text, const char* word)
{
    for (; *text; ++text) {
        int k = 0;
        while (word[k] && upper(text[k]) == word[k])
            ++k;
        if (!word[k])
            return text;
    }
    return nullptr;
}

// The id after `key` and one separator ('_' or '&'): 4 to 8 hex digits, of
// which the last four count (a Bluetooth name puts the id's source first).
bool idAfter(const char* name, const char* key, uint32_t& id)
{
    for (const char* p = findWord(name, key); p; p = findWord(p + 1, key)) {
        if (p[3] != '_' && p[3] != '&')
            continue;
        uint32_t value = 0;
        int digits = 0;
        for (const char* d = p + 4; digits < 8 && hexDigit(*d) >= 0; ++d, ++digits)
            value = value << 4 | static_cast<uint32_t>(hexDigit(*d));
        if (digits >= 4) {
            id = value & 0xFFFF;
            return true;
        }
    }
    return false;
}

} // namespace

bool xinputIdsOfName(const char* name, uint32_t& ids)
{
    uint32_t vendor = 0, product = 0;
    if (!name || !findWord(name, "IG_") || !idAfter(name, "VID", vendor) || !idAfter(name, "PID", product))
        return false;
    ids = vendor | product << 16;
    return true;
}

void pairXInputUsers(const bool* pad, int count, const bool (&connected)[kXInputUsers], int* user)
{
    int next = 0;
    for (int i = 0; i < count; ++i) {
        user[i] = -1;
        if (!pad[i])
            continue;
        while (next < kXInputUsers && !connected[next])
            ++next;
        if (next < kXInputUsers)
            user[i] = next++;
    }
}

// Small programs that make the plug-in's platform calls without any of the
// plug-in's code and compare the platform's answer with the one recorded
// for it. A platform that answers differently (an upgrade, say) fails the
// program, so the record below stays true.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tools/common/platform_name.h"

// One platform's recorded answer to a question, and why it answers so.
struct Answer {
    const char* platform;
    std::string expected;
    const char* why;
};

// Prints the answer and whether it is the one recorded for this platform
// ("*" records that any answer is right there). Returns 0 when it is, 1 when
// it differs or nothing is recorded.
template <size_t N> int expectAnswer(const char* question, const std::string& answer, const Answer (&answers)[N])
{
    const std::string here = platformName();
    for (const Answer& a : answers) {
        if (here != a.platform)
            continue;
        const bool same = a.expected == "*" || answer == a.expected;
        std::printf("%s %s: %s (%s: %s)\n", same ? "as recorded" : "CHANGED", question, answer.c_str(), here.c_str(),
                    a.why);
        if (!same)
            std::printf("  recorded for %s: %s\n", here.c_str(), a.expected.c_str());
        return same ? 0 : 1;
    }
    std::printf("UNKNOWN %s: %s (nothing recorded for %s)\n", question, answer.c_str(), here.c_str());
    return 1;
}

// The program's exit code for so many answers that differed; with none it
// says so in its last line, after which a death at exit is the platform's.
inline int verdict(int failures)
{
    if (!failures)
        std::printf("all as recorded\n");
    return failures ? 1 : 0;
}

inline std::string hexResult(HRESULT hr)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lx", static_cast<unsigned long>(hr));
    return buf;
}

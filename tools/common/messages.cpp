#include "messages.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#endif

#include "names.h"

#define TOLVO_TOOL_TEXT(name, english, japanese) extern const ToolText name = {english, japanese};
#include "messages.inc"
#undef TOLVO_TOOL_TEXT

#define TOLVO_TOOL_TEXT(name, english, japanese) &name,
const ToolText* const kToolTexts[] = {
#include "messages.inc"
};
#undef TOLVO_TOOL_TEXT
const size_t kToolTextCount = sizeof kToolTexts / sizeof kToolTexts[0];

namespace {

ToolLanguage s_language = ToolLanguage::English;

} // namespace

ToolLanguage userLanguage()
{
#ifdef _WIN32
    const bool japanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE && GetACP() == 932;
#else
    const char* setting = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        setting = std::getenv(name);
        if (setting && *setting)
            break;
    }
    const bool japanese = setting && std::strncmp(setting, "ja", 2) == 0 &&
                          (setting[2] == '\0' || std::strchr("_.@", setting[2]));
#endif
    return japanese ? ToolLanguage::Japanese : ToolLanguage::English;
}

void speak(ToolLanguage language)
{
    s_language = language;
}

std::string toolText(const ToolText& text, std::initializer_list<std::string> values)
{
    std::string pattern = text.english;
    if (s_language == ToolLanguage::Japanese) {
#ifdef _WIN32
        // Chosen with the ANSI code page 932, which holds every Japanese
        // text of the table (the tests check it); English where it cannot.
        bool lossy = false;
        const std::string ansi = fromWide(CP_ACP, toWide(CP_UTF8, text.japanese), &lossy);
        if (!lossy)
            pattern = ansi;
#else
        pattern = text.japanese;
#endif
    }
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        // "{1}" to "{9}" is a value's place; anything else is text.
        const bool place = pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' &&
                           pattern[i + 1] >= '1' && pattern[i + 1] <= '9';
        const size_t k = place ? static_cast<size_t>(pattern[i + 1] - '1') : 0;
        if (place && k < values.size()) {
            out += values.begin()[k];
            i += 2;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string counted(uint64_t n, const ToolText& one, const ToolText& many)
{
    return toolText(n == 1 ? one : many, {std::to_string(n)});
}

void writeText(FILE* to, const std::string& text)
{
#ifdef _WIN32
    // _isatty asks the C runtime, which knows the stream's kind already; only
    // a character device may be a console (NUL is one and is not).
    HANDLE h = _isatty(_fileno(to)) ? reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(to))) : INVALID_HANDLE_VALUE;
    DWORD mode = 0;
    if (h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode)) {
        std::fflush(to);
        const std::wstring wide = toWide(CP_ACP, text);
        DWORD written = 0;
        WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
#endif
    std::fwrite(text.data(), 1, text.size(), to);
}

std::string unreadableArgument(int argc, char** argv)
{
#ifdef _WIN32
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    std::string message;
    for (int i = 1; wide && i < n && message.empty(); ++i) {
        bool lossy = false;
        const std::string ansi = fromWide(CP_ACP, wide[i], &lossy);
        if (lossy)
            message = toolText(kToolArgumentUnreadable, {i < argc ? argv[i] : ansi, std::to_string(GetACP())});
    }
    LocalFree(wide);
    return message;
#else
    (void)argc;
    (void)argv;
    return "";
#endif
}

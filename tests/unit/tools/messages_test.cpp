#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

#include "messages.h"
#include "names.h"

namespace {

std::set<std::string> valuesIn(const std::string& text)
{
    std::set<std::string> values;
    for (size_t i = text.find('{'); i != std::string::npos; i = text.find('{', i + 1))
        if (i + 2 < text.size() && text[i + 2] == '}')
            values.insert(text.substr(i, 3));
    return values;
}

// Each language takes the same values; the English is ASCII and the
// Japanese has a code page 932 form, in which it reaches a Japanese
// Windows.
TEST(ToolMessages, EveryTextHasBothLanguagesWithTheSameValues)
{
    ASSERT_GT(kToolTextCount, 100u);
    for (size_t i = 0; i < kToolTextCount; ++i) {
        const ToolText& t = *kToolTexts[i];
        std::string cp932, missing;
        EXPECT_EQ(valuesIn(t.english), valuesIn(t.japanese)) << t.english;
        EXPECT_TRUE(utf8ToCp932(t.japanese, cp932, missing)) << t.english << " lacks " << missing;
        for (char c : std::string(t.english))
            EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << t.english;
    }
}

TEST(ToolMessages, ValuesGoWhereEachLanguagePutsThem)
{
    EXPECT_EQ(toolText(kPackNoEntry, {"a.txt", "p.dpm"}), "no entry \"a.txt\" in p.dpm");
    EXPECT_EQ(counted(1, kEntry, kEntries) + counted(2, kEntry, kEntries), "1 entry2 entries");
#ifdef _WIN32
    if (GetACP() != 932) {
        // Japanese cannot go out in this code page beside the names: English.
        speak(ToolLanguage::Japanese);
        EXPECT_EQ(toolText(kPackNoEntry, {"a", "p"}), "no entry \"a\" in p");
        speak(ToolLanguage::English);
        return;
    }
    const std::string noEntry = "p \x82\xc9\x83\x47\x83\x93\x83\x67\x83\x8a\x81\x75" "a\x81\x76\x82\xcd\x82\xa0\x82\xe8"
                                "\x82\xdc\x82\xb9\x82\xf1";
#else
    const std::string noEntry = "p にエントリ「a」はありません";
#endif
    speak(ToolLanguage::Japanese);
    EXPECT_EQ(toolText(kPackNoEntry, {"a", "p"}), noEntry);
    speak(ToolLanguage::English);
}

#ifdef _WIN32
// A console shows what is written as the characters meant, whatever its
// own code page (437 here has neither "€" nor Japanese).
TEST(ToolMessages, AConsoleShowsTheTextWhateverItsCodePage)
{
    const std::wstring meant = GetACP() == 932 ? L"\x30bf\x30a4\x30c8\x30eb" : L"\x20ac";
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    SetConsoleOutputCP(437);
    // Opened for reading too, as a console program's standard output is:
    // the console's mode can be asked only then.
    HANDLE h = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    FILE* console = _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(h), 0), "w");
    ASSERT_NE(console, nullptr);
    writeText(console, fromWide(CP_ACP, meant) + "!");
    std::fflush(console);
    wchar_t shown[8] = {};
    DWORD n = 0;
    ReadConsoleOutputCharacterW(h, shown, static_cast<DWORD>(meant.size() + 1), COORD{0, 0}, &n);
    std::fclose(console);
    FreeConsole();
    EXPECT_EQ(std::wstring(shown, n), meant + L"!");
}
#else
// LC_ALL, then LC_MESSAGES, then LANG: the first that is set decides.
TEST(ToolMessages, TheUserLanguageComesFromTheLocale)
{
    struct Case {
        const char* all;
        const char* messages;
        const char* lang;
        ToolLanguage language;
    };
    const ToolLanguage en = ToolLanguage::English, ja = ToolLanguage::Japanese;
    const Case cases[] = {
        {nullptr, nullptr, "ja_JP.UTF-8", ja}, {nullptr, nullptr, "ja", ja},
        {nullptr, "ja_JP.eucJP", "C", ja},     {"C.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8", en},
        {"", "", "ja_JP", ja},                 {nullptr, nullptr, "jam", en},
        {nullptr, nullptr, nullptr, en},
    };
    const char* const names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string saved[3];
    bool had[3];
    for (int k = 0; k < 3; ++k) {
        const char* v = std::getenv(names[k]);
        had[k] = v != nullptr;
        saved[k] = v ? v : "";
    }
    for (const Case& c : cases) {
        const char* values[] = {c.all, c.messages, c.lang};
        for (int k = 0; k < 3; ++k)
            values[k] ? setenv(names[k], values[k], 1) : unsetenv(names[k]);
        EXPECT_EQ(userLanguage(), c.language) << (c.all ? c.all : "-") << " " << (c.messages ? c.messages : "-")
                                              << " " << (c.lang ? c.lang : "-");
    }
    for (int k = 0; k < 3; ++k)
        had[k] ? setenv(names[k], saved[k].c_str(), 1) : unsetenv(names[k]);
}
#endif

} // namespace

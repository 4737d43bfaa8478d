// The texts are kept as code page 932 bytes. Each is compared with a
// conversion of its readable form made here, at test time, by the platform,
// and read back from the box the platform shows: under a code page 1252
// system and again under 932 (cp932.Messages.*), the same Japanese.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "plugin/boxes.h"
#include "plugin/messages.h"

namespace {

std::string toCp932(const char* utf8)
{
    const int wlen = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
    std::wstring wide(wlen, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide.data(), wlen);
    BOOL lossy = FALSE;
    const int len = WideCharToMultiByte(932, 0, wide.c_str(), -1, nullptr, 0, nullptr, &lossy);
    std::string out(len, '\0');
    WideCharToMultiByte(932, 0, wide.c_str(), -1, out.data(), len, nullptr, &lossy);
    EXPECT_FALSE(lossy) << utf8;
    out.resize(len - 1); // without the terminator
    return out;
}

struct Text {
    const char* stored;
    const char* readable; // UTF-8 (this file is compiled with the default charset)
};

const Text kTexts[] = {
    {kTextBoxCaption, "tolvo ver" TOLVO_VERSION}, // the project's version
    {kTextShortCaption, "tolvo"},
    {kTextCodeFormat, "%d"},
    {kTextTovinitCom, "[tovinit]COMの初期化に失敗"},
    {kTextFileOpenError, "ファイルオープンエラー"},
    {kTextInitDMusicPerformance, "[initDMusic]DirectMusicPerformance8オブジェクトの作成に失敗"},
    {kTextInitDMusicInitAudio, "[initDMusic]DirectMusicPerformance8の初期化に失敗"},
    {kTextInitDMusicLoader, "[initDMusic]DirectMusicLoader8オブジェクトの作成に失敗"},
    {kTextInitDMusicCurrentDir, "[initDMusic]カレントディレクトリの取得に失敗"},
    {kTextInitDMusicSearchPath, "[initDMusic]検索パスの設定に失敗"},
    {kTextInitDMusicAudioPath, "[initDMusic]g_lpPerformance->CreateStandardAudioPath"},
    {kTextMusicLoadOggDecode, "[tovmusicload]OggVorbisをWaveへのデコードに失敗"},
    {kTextMusicLoadOgg, "[tovmusicload]oggのロードに失敗"},
    {kTextMusicLoadSegment, "[tovmusicload]セグメントのロードに失敗"},
    {kTextMusicLoad2OggDecode, "[tovmusicload2]OggVorbisをWaveへのデコードに失敗"},
    {kTextMusicLoad2Load, "[tovmusicload2]ロードに失敗"},
    {kTextMusicPlayBand, "[tovmusicplay]セグメント１のバンドのダウンロードに失敗"},
    {kTextMusicPlay2Band, "[tovmusicplay2]セグメント１のバンドのダウンロードに失敗"},
    {kTextMusicStop, "[tovmusicstop]演奏停止に失敗"},
    {kTextMusicFx, "[tovmusicfx]g_lpDSBuffer"},
    {kTextInitDInputMouse, "[initDInput]マウスの初期化に失敗しました"},
    {kTextInitDInputKeyboard, "[initDInput]キーボードの初期化に失敗しました"},
    {kTextInitDInputJoystick, "[initDInput]ジョイスティックの初期化に失敗しました"},
    {kTextInitDJoystickCreate, "[initDJoystick]DirectInputDevice8オブジェクトの作成に失敗"},
    {kTextInitDJoystickFormat, "[initDJoystick]c_dfDIJoystick形式の設定に失敗"},
    {kTextInitDJoystickCoop, "[initDJoystick]フォアグラウンド＆排他モードの設定に失敗"},
    {kTextInitDJoystickAxes, "[initDJoystick]軸モードの設定に失敗"},
    {kTextInitDShowCreate, "[initDShow]DirectShowオブジェクトの作成に失敗"},
    {kTextMovieFreeCreate, "[tovmoviefree]DirectShowオブジェクトの作成に失敗"},
};

TEST(Messages, StoredAsCodePage932Bytes)
{
    for (const Text& t : kTexts)
        EXPECT_EQ(std::string(t.stored), toCp932(t.readable)) << t.readable;
}

std::wstring wideOf(const char* utf8)
{
    wchar_t wide[512];
    return MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512) ? wide : L"(no UTF-8)";
}

// What the platform shows in each box: "caption|text|buttons|owner", the
// buttons by their texts; each box is answered with OK.
std::vector<std::wstring> s_shown;

LRESULT CALLBACK readBox(int code, WPARAM wp, LPARAM lp)
{
    HWND box = reinterpret_cast<HWND>(wp);
    wchar_t cls[16] = L"";
    if (code == HCBT_ACTIVATE && GetClassNameW(box, cls, 16) && std::wstring(cls) == L"#32770") {
        wchar_t caption[256] = L"", text[512] = L"";
        GetWindowTextW(box, caption, 256);
        GetDlgItemTextW(box, 0xFFFF, text, 512); // the message's static control
        std::wstring buttons;
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            wchar_t name[64] = L"", label[64] = L"";
            GetClassNameW(c, name, 64);
            GetWindowTextW(c, label, 64);
            if (std::wstring(name) == L"Button")
                buttons += std::wstring(label) + L";";
        }
        s_shown.push_back(std::wstring(caption) + L"|" + text + L"|" + buttons + L"|" +
                          (GetWindow(box, GW_OWNER) ? L"owned" : L"no owner"));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

TEST(Messages, BoxesShowTheSameJapaneseOnEveryCodePage)
{
    // The run in the code page 932 prefix says so: it must be that.
    if (const char* lane = std::getenv("TOLVO_CODEPAGE")) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(lane)));
    }
    s_shown.clear();
    HHOOK hook = SetWindowsHookExW(WH_CBT, readBox, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    for (const Text& t : kTexts)
        showBoxAlways(t.stored);
    showBoxAlways(kTextFileOpenError, ""); // the boxes that name their own caption
    showBoxAlways(kTextCodeFormat, kTextShortCaption);
    UnhookWindowsHookEx(hook);
    ASSERT_EQ(s_shown.size(), std::size(kTexts) + 2);
    for (size_t i = 0; i < std::size(kTexts); ++i)
        EXPECT_EQ(s_shown[i], wideOf("tolvo ver" TOLVO_VERSION) + L"|" + wideOf(kTexts[i].readable) + L"|OK;|no owner")
            << kTexts[i].readable << " under code page " << GetACP();
    EXPECT_EQ(s_shown[std::size(kTexts)], L"|" + wideOf("ファイルオープンエラー") + L"|OK;|no owner");
    EXPECT_EQ(s_shown[std::size(kTexts) + 1], L"tolvo|%d|OK;|no owner");
}

TEST(Messages, FullWidthCharactersAreDoubleByte)
{
    // "１" is 0x82 0x50 and "＆" 0x81 0x95 in code page 932.
    EXPECT_NE(std::string(kTextMusicPlayBand).find("\x82\x50"), std::string::npos);
    EXPECT_NE(std::string(kTextInitDJoystickCoop).find("\x81\x95"), std::string::npos);
    // "ファイル" starts with 0x83 0x74.
    EXPECT_EQ(std::string(kTextFileOpenError).substr(0, 2), "\x83\x74");
}

} // namespace

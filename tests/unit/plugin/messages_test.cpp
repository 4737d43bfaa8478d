// The texts reach MessageBoxA as code page 932 bytes. Each is compared with a
// conversion of its readable form made here, at test time, by the platform.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

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

TEST(Messages, FullWidthCharactersAreDoubleByte)
{
    // "１" is 0x82 0x50 and "＆" 0x81 0x95 in code page 932.
    EXPECT_NE(std::string(kTextMusicPlayBand).find("\x82\x50"), std::string::npos);
    EXPECT_NE(std::string(kTextInitDJoystickCoop).find("\x81\x95"), std::string::npos);
    // "ファイル" starts with 0x83 0x74.
    EXPECT_EQ(std::string(kTextFileOpenError).substr(0, 2), "\x83\x74");
}

} // namespace

// Written in UTF-8, compiled with -fexec-charset=CP932: the arrays hold the
// Shift-JIS bytes that MessageBoxA shows on a Japanese system.
#include "messages.h"

// The plug-in's name and the project's version (CMake's project()).
const char kTextBoxCaption[] = "tolvo ver" TOLVO_VERSION;
const char kTextShortCaption[] = "tolvo";
const char kTextCodeFormat[] = "%d";

const char kTextTovinitCom[] = "[tovinit]COMの初期化に失敗";
const char kTextFileOpenError[] = "ファイルオープンエラー";

const char kTextInitDMusicPerformance[] = "[initDMusic]DirectMusicPerformance8オブジェクトの作成に失敗";
const char kTextInitDMusicInitAudio[] = "[initDMusic]DirectMusicPerformance8の初期化に失敗";
const char kTextInitDMusicLoader[] = "[initDMusic]DirectMusicLoader8オブジェクトの作成に失敗";
const char kTextInitDMusicCurrentDir[] = "[initDMusic]カレントディレクトリの取得に失敗";
const char kTextInitDMusicSearchPath[] = "[initDMusic]検索パスの設定に失敗";
const char kTextInitDMusicAudioPath[] = "[initDMusic]g_lpPerformance->CreateStandardAudioPath";

const char kTextMusicLoadOggDecode[] = "[tovmusicload]OggVorbisをWaveへのデコードに失敗";
const char kTextMusicLoadOgg[] = "[tovmusicload]oggのロードに失敗";
const char kTextMusicLoadSegment[] = "[tovmusicload]セグメントのロードに失敗";
const char kTextMusicLoad2OggDecode[] = "[tovmusicload2]OggVorbisをWaveへのデコードに失敗";
const char kTextMusicLoad2Load[] = "[tovmusicload2]ロードに失敗";
const char kTextMusicPlayBand[] = "[tovmusicplay]セグメント１のバンドのダウンロードに失敗";
const char kTextMusicPlay2Band[] = "[tovmusicplay2]セグメント１のバンドのダウンロードに失敗";
const char kTextMusicStop[] = "[tovmusicstop]演奏停止に失敗";
const char kTextMusicFx[] = "[tovmusicfx]g_lpDSBuffer";

const char kTextInitDInputMouse[] = "[initDInput]マウスの初期化に失敗しました";
const char kTextInitDInputKeyboard[] = "[initDInput]キーボードの初期化に失敗しました";
const char kTextInitDInputJoystick[] = "[initDInput]ジョイスティックの初期化に失敗しました";
const char kTextInitDJoystickCreate[] = "[initDJoystick]DirectInputDevice8オブジェクトの作成に失敗";
const char kTextInitDJoystickFormat[] = "[initDJoystick]c_dfDIJoystick形式の設定に失敗";
const char kTextInitDJoystickCoop[] = "[initDJoystick]フォアグラウンド＆排他モードの設定に失敗";
const char kTextInitDJoystickAxes[] = "[initDJoystick]軸モードの設定に失敗";

const char kTextInitDShowCreate[] = "[initDShow]DirectShowオブジェクトの作成に失敗";
const char kTextMovieFreeCreate[] = "[tovmoviefree]DirectShowオブジェクトの作成に失敗";

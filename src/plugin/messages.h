// Every text the plug-in shows. They are written readably in messages.cpp and
// compiled to code page 932 bytes, which is what MessageBoxA receives.
#pragma once

extern const char kTextBoxCaption[];   // "tolvo ver" and the project's version: "tolvo ver0.67"
extern const char kTextShortCaption[]; // "tolvo" (the force-feedback code box)
extern const char kTextCodeFormat[];   // "%d"

// Plug-in frame
extern const char kTextTovinitCom[];
extern const char kTextFileOpenError[];

// Music engine start
extern const char kTextInitDMusicPerformance[];
extern const char kTextInitDMusicInitAudio[];
extern const char kTextInitDMusicLoader[];
extern const char kTextInitDMusicCurrentDir[];
extern const char kTextInitDMusicSearchPath[];
extern const char kTextInitDMusicAudioPath[];

// Music commands
extern const char kTextMusicLoadOggDecode[];   // A
extern const char kTextMusicLoadOgg[];         // B
extern const char kTextMusicLoadSegment[];     // C
extern const char kTextMusicLoad2OggDecode[];  // D
extern const char kTextMusicLoad2Load[];       // E
extern const char kTextMusicPlayBand[];        // F
extern const char kTextMusicPlay2Band[];       // G
extern const char kTextMusicStop[];            // H
extern const char kTextMusicFx[];

// Input start
extern const char kTextInitDInputMouse[];
extern const char kTextInitDInputKeyboard[];
extern const char kTextInitDInputJoystick[];
extern const char kTextInitDJoystickCreate[];
extern const char kTextInitDJoystickFormat[];
extern const char kTextInitDJoystickCoop[];
extern const char kTextInitDJoystickAxes[];

// Movie
extern const char kTextInitDShowCreate[];
extern const char kTextMovieFreeCreate[];

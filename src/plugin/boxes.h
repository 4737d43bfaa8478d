// The error boxes: the one place where the plug-in shows a box. Windows
// builds only.
#pragma once

// Boxes of the engine starts: always shown.
void showEngineBox(const char* text);
// Boxes of commands: shown only while g_nVerbose is 1.
void showCommandBox(const char* text);
// A box with its own caption, shown whatever the verbose flag says.
void showBoxWithCaption(const char* text, const char* caption);

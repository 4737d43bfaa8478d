// What tovinit and tovbye call besides COM: the engine starts and stops, and
// the user's settings. Windows builds only.
#pragma once

// Engine starts and stops as tovinit and tovbye call them. They go through
// this table so that the frame can be exercised without the engines.
struct EngineTable {
    bool (*initDInput)();
    bool (*initDMusic)();
    bool (*initDShow)();
    void (*releaseDInput)();
    void (*releaseDMusic)();
    void (*releaseDShow)();
};
extern EngineTable g_engines;
extern const EngineTable kRealEngines;

// Reads the three settings into the saved values; while they are
// suppressed, the values saved before stay (they are the user's).
// (sysmode.cpp, with tovsysmode)
void saveUserSettings();
// Writes the saved values back, when there are any, and ends the
// suppression.
void restoreUserSettings();

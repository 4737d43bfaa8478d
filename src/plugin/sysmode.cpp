// tovsysmode: keeps the screen saver and power saving away while a game runs,
// and gives the user's settings back afterwards.
#include "globals.h"
#include "lifecycle.h"
#include "syscalls.h"

void saveUserSettings()
{
    // While suppressed the settings read "off", which is ours, not the
    // user's: what was saved before the suppression stays.
    if (g_bSettingsSuppressed)
        return;
    BOOL values[3] = {0, 0, 0};
    const UINT actions[3] = {SPI_GETSCREENSAVEACTIVE, SPI_GETPOWEROFFACTIVE, SPI_GETLOWPOWERACTIVE};
    bool read = true;
    for (int i = 0; i < 3; ++i)
        read = g_sys.SystemParametersInfoA(actions[i], 0, &values[i], SPIF_UPDATEINIFILE) && read;
    // A read that failed saved nothing of the user's; earlier values stay.
    if (!read)
        return;
    g_bScreenSaveActive = values[0];
    g_bPowerOffActive = values[1];
    g_bLowPowerActive = values[2];
    g_bSettingsSaved = 1;
}

void restoreUserSettings()
{
    // Results are not looked at: there is nothing better to write.
    if (g_bSettingsSaved) {
        g_sys.SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, g_bScreenSaveActive, nullptr, SPIF_UPDATEINIFILE);
        g_sys.SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, g_bPowerOffActive, nullptr, SPIF_UPDATEINIFILE);
        g_sys.SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, g_bLowPowerActive, nullptr, SPIF_UPDATEINIFILE);
    }
    g_bSettingsSuppressed = 0;
}

extern "C" int TOLVO_CALL tovsysmode(int32_t mode, int32_t, int32_t, int32_t)
{
    // The settings are system-wide and written to the user profile
    // (fWinIni 1); results are not looked at.
    if (mode == 0) {
        restoreUserSettings();
    } else if (mode == 1) {
        // Without a tovinit that saved them (none yet, or its COM failed),
        // the user's values are saved here, so that a restore has them.
        if (!g_bSettingsSaved)
            saveUserSettings();
        g_sys.SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, nullptr, SPIF_UPDATEINIFILE);
        g_sys.SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, 0, nullptr, SPIF_UPDATEINIFILE);
        g_sys.SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, 0, nullptr, SPIF_UPDATEINIFILE);
        g_bSettingsSuppressed = 1;
    }
    return 0;
}

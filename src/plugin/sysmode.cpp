// tovsysmode: keeps the screen saver and power saving away while a game runs.
#include "frame.h"
#include "seam.h"

extern "C" int TOLVO_CALL tovsysmode(int32_t mode, int32_t, int32_t, int32_t)
{
    // The settings are system-wide and written to the user profile
    // (fWinIni 1); results are not looked at.
    if (mode == 0) {
        g_sys.SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, g_bScreenSaveActive, nullptr, SPIF_UPDATEINIFILE);
        g_sys.SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, g_bPowerOffActive, nullptr, SPIF_UPDATEINIFILE);
        g_sys.SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, g_bLowPowerActive, nullptr, SPIF_UPDATEINIFILE);
    } else if (mode == 1) {
        g_sys.SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, nullptr, SPIF_UPDATEINIFILE);
        g_sys.SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, 0, nullptr, SPIF_UPDATEINIFILE);
        g_sys.SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, 0, nullptr, SPIF_UPDATEINIFILE);
    }
    return 0;
}

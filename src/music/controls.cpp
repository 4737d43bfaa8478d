// What acts on all music at once: master volume and tempo of the
// performance, the 3D position of the shared audio path and the effect on
// its buffer. Scripts give integers; each command scales them.
#include <cmath>
#include <cstdint>

#include "music.h"

#include "plugin/boxes.h"
#include "plugin/com.h"
#include "plugin/messages.h"
#include "plugin/records.h"

namespace {

// Effect classes by tovmusicfx's number; 0 removes every effect.
const GUID* const kEffects[] = {
    nullptr,
    &GUID_DSFX_STANDARD_CHORUS,
    &GUID_DSFX_STANDARD_COMPRESSOR,
    &GUID_DSFX_STANDARD_DISTORTION,
    &GUID_DSFX_STANDARD_ECHO,
    &GUID_DSFX_STANDARD_I3DL2REVERB,
    &GUID_DSFX_STANDARD_FLANGER,
    &GUID_DSFX_STANDARD_GARGLE,
    &GUID_DSFX_STANDARD_PARAMEQ,
    &GUID_DSFX_WAVES_REVERB,
};
const int kEffectCount = sizeof kEffects / sizeof kEffects[0];

// Fetches one of the audio path's buffer interfaces into `global`, which
// lets go of the one it held first. Without an audio path there is none.
template <class T> bool fetchBuffer(T*& global, REFIID iid)
{
    releaseAndNull(global);
    if (!g_lpAudioPath)
        return false;
    return obtained(g_lpAudioPath->GetObjectInPath(DMUS_PCHANNEL_ALL, DMUS_PATH_BUFFER, 0, GUID_NULL, 0, iid,
                                                   reinterpret_cast<void**>(&global)),
                    global);
}

} // namespace

extern "C" int TOLVO_CALL tovmusicgetvol(int32_t* result, int32_t, int32_t, int32_t)
{
    if (!musicEngineUp())
        return -9;
    if (!hasResult(result))
        return -1;
    long volume = 0;
    if (FAILED(g_lpPerformance->GetGlobalParam(GUID_PerfMasterVolume, &volume, sizeof volume)))
        return -1;
    *result = static_cast<int32_t>(volume);
    return 0;
}

extern "C" int TOLVO_CALL tovmusicsetvol(int32_t, int32_t hundredthsDb, int32_t, int32_t)
{
    if (!musicEngineUp())
        return -9;
    long volume = hundredthsDb;
    return FAILED(g_lpPerformance->SetGlobalParam(GUID_PerfMasterVolume, &volume, sizeof volume)) ? -1 : 0;
}

extern "C" int TOLVO_CALL tovmusicgettenpo(int32_t* result, int32_t, int32_t, int32_t)
{
    if (!musicEngineUp())
        return -9;
    if (!hasResult(result))
        return -1;
    float tempo = 0.0f;
    if (FAILED(g_lpPerformance->GetGlobalParam(GUID_PerfMasterTempo, &tempo, sizeof tempo)))
        return -1;
    // Rounded, not cut: a factor that is not a whole number of tenths (one
    // the platform set or adjusted itself) reads as the nearest tenth, and a
    // hair below a tenth does not lose it.
    const float tenths = tempo * 10.0f;
    if (!(tenths > -2147483648.0f && tenths < 2147483648.0f))
        *result = std::isnan(tenths) ? 0 : (tenths > 0 ? INT32_MAX : INT32_MIN);
    else
        *result = static_cast<int32_t>(std::lround(tenths));
    return 0;
}

extern "C" int TOLVO_CALL tovmusicsettenpo(int32_t tenths, int32_t, int32_t, int32_t)
{
    if (!musicEngineUp())
        return -9;
    float tempo = static_cast<float>(static_cast<double>(tenths) / 10.0);
    return FAILED(g_lpPerformance->SetGlobalParam(GUID_PerfMasterTempo, &tempo, sizeof tempo)) ? -1 : 0;
}

extern "C" int TOLVO_CALL tovmusicsetpos(int32_t axis, int32_t hundredths, int32_t, int32_t)
{
    if (!musicEngineUp())
        return -9;
    if (!fetchBuffer(g_lp3DBuffer, IID_IDirectSound3DBuffer))
        return -1;
    const float value = static_cast<float>(static_cast<double>(hundredths) / 100.0);
    switch (axis) {
    case 0:
        g_fPosX = g_fPosY = g_fPosZ = 0.0f;
        break;
    case 1: g_fPosX = value; break;
    case 2: g_fPosY = value; break;
    case 3: g_fPosZ = value; break;
    default: break; // the current position is applied again
    }
    // The whole position every time, so an earlier failed call catches up.
    return g_lp3DBuffer->SetPosition(g_fPosX, g_fPosY, g_fPosZ, DS3D_IMMEDIATE) == S_OK ? 0 : -1;
}

extern "C" int TOLVO_CALL tovmusicfx(int32_t effect, int32_t, int32_t, int32_t)
{
    if (!musicEngineUp())
        return -9;
    if (!fetchBuffer(g_lpDSBuffer, IID_IDirectSoundBuffer8)) {
        showBoxAlways(kTextMusicFx);
        return -1;
    }
    // The buffer's effects change only while its path is inactive.
    g_lpAudioPath->Activate(FALSE);
    if (effect == 0) {
        g_lpDSBuffer->SetFX(0, nullptr, nullptr);
    } else if (effect > 0 && effect < kEffectCount) {
        DSEFFECTDESC desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = 0;
        desc.guidDSFXClass = *kEffects[effect];
        g_lpDSBuffer->SetFX(1, &desc, nullptr);
    }
    g_lpAudioPath->Activate(TRUE);
    return 0;
}

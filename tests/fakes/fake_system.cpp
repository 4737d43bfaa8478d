#include "fakes/fake_system.h"

#include <algorithm>

static FakeSystem* s_fake = nullptr;

FakeSystem* currentFakeSystem()
{
    return s_fake;
}

int FakeSystem::count(const std::string& call) const
{
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

static HRESULT WINAPI fakeCoInitialize(LPVOID)
{
    s_fake->calls.push_back("CoInitialize");
    return s_fake->coInitializeResult;
}

static void WINAPI fakeCoUninitialize()
{
    s_fake->calls.push_back("CoUninitialize");
}

static int WINAPI fakeMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    s_fake->calls.push_back("MessageBoxA");
    s_fake->boxes.push_back({owner, text ? text : "(null)", caption ? caption : "(null)", style});
    return IDOK;
}

static BOOL WINAPI fakeSystemParametersInfoA(UINT action, UINT uiParam, PVOID pv, UINT winIni)
{
    s_fake->calls.push_back("SystemParametersInfoA");
    s_fake->spi.push_back({action, uiParam, pv, winIni});
    BOOL* out = static_cast<BOOL*>(pv);
    switch (action) {
    case SPI_GETSCREENSAVEACTIVE: *out = s_fake->spiValue[0]; break;
    case SPI_GETPOWEROFFACTIVE: *out = s_fake->spiValue[1]; break;
    case SPI_GETLOWPOWERACTIVE: *out = s_fake->spiValue[2]; break;
    default: break;
    }
    return TRUE;
}

static DWORD WINAPI fakeTimeGetTime()
{
    s_fake->calls.push_back("timeGetTime");
    return s_fake->clock;
}

FakeSystemScope::FakeSystemScope() : saved_(g_sys)
{
    s_fake = &fake_;
    g_sys.CoInitialize = fakeCoInitialize;
    g_sys.CoUninitialize = fakeCoUninitialize;
    g_sys.MessageBoxA = fakeMessageBoxA;
    g_sys.SystemParametersInfoA = fakeSystemParametersInfoA;
    g_sys.timeGetTime = fakeTimeGetTime;
}

FakeSystemScope::~FakeSystemScope()
{
    g_sys = saved_;
    s_fake = nullptr;
}

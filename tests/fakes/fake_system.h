// A fake of the system-call seam for unit tests: records the calls that the
// plug-in's behaviour depends on and answers with scripted results.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "plugin/seam.h"

struct FakeSystem {
    // Scripted answers.
    HRESULT coInitializeResult = S_OK;
    DWORD clock = 0;
    BOOL spiValue[3] = {1, 1, 1}; // what SPI_GETSCREENSAVE/POWEROFF/LOWPOWERACTIVE report

    // Recorded calls, in order: "CoInitialize", "CoUninitialize", "MessageBoxA",
    // "SystemParametersInfoA", "timeGetTime".
    std::vector<std::string> calls;

    struct Box {
        HWND owner;
        std::string text;
        std::string caption;
        UINT style;
    };
    std::vector<Box> boxes;

    struct Spi {
        UINT action;
        UINT uiParam;
        PVOID pvParam;
        UINT winIni;
    };
    std::vector<Spi> spi;

    int count(const std::string& call) const;
};

// Installs a fresh FakeSystem into g_sys for the lifetime of the object and
// puts the real table back afterwards.
class FakeSystemScope {
public:
    FakeSystemScope();
    ~FakeSystemScope();
    FakeSystem& fake() { return fake_; }

private:
    FakeSystem fake_;
    SysCalls saved_;
};

// The FakeSystem currently installed (null when none).
FakeSystem* currentFakeSystem();

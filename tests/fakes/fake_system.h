// A fake of the system-call seam for unit tests: records the calls that the
// plug-in's behaviour depends on and answers with scripted results.
//
// Every seam entry is swapped while a FakeSystemScope lives. Entries without a
// hook set by the test answer as below; a test sets the std::function hook of
// an entry to script it (for example `fake.coCreateInstance = ...` to hand out
// fake COM objects).
#pragma once

#include <windows.h>
#include <objbase.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "plugin/syscalls.h"

struct FakeSystem {
    // Scripted answers of the simple entries.
    HRESULT coInitializeResult = S_OK;
    DWORD clock = 0;
    BOOL spiValue[3] = {1, 1, 1}; // the settings SPI_GET/SET...SCREENSAVE/POWEROFF/LOWPOWERACTIVE read and write
    // What GetCurrentDirectoryA answers when it has no hook, and the folder
    // GetFullPathNameA puts before a relative name; empty: the real ones.
    std::string currentDirectory;

    // Hooks; unset ones answer: CoCreateInstance REGDB_E_CLASSNOTREG,
    // DirectInput8Create DIERR_GENERIC-like E_FAIL, GetFileAttributesA and
    // GetCurrentDirectoryA/GetSystemDirectoryA/GetClientRect/the version calls
    // pass through to the real functions.
    std::function<HRESULT(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*)> coCreateInstance;
    std::function<HRESULT(HINSTANCE, DWORD, REFIID, LPVOID*, LPUNKNOWN)> directInput8Create;
    std::function<DWORD(LPCSTR)> getFileAttributesA;
    std::function<DWORD(DWORD, LPSTR)> getCurrentDirectoryA;
    std::function<UINT(LPSTR, UINT)> getSystemDirectoryA;
    std::function<DWORD(LPCSTR, LPDWORD)> getFileVersionInfoSizeA;
    std::function<BOOL(LPCSTR, DWORD, DWORD, LPVOID)> getFileVersionInfoA;
    std::function<BOOL(LPCVOID, LPCSTR, LPVOID*, PUINT)> verQueryValueA;
    std::function<BOOL(HWND, LPRECT)> getClientRect;

    // Raw input devices as GetRawInputDeviceList lists them (the handle of
    // entry k is k + 1), with their interface names.
    struct RawDevice {
        DWORD type; // RIM_TYPEHID, ...
        std::string name;
    };
    std::vector<RawDevice> rawDevices;

    // The libraries LoadLibraryA finds, by file name ("xinput1_3.dll"), each a
    // fake XInput; none by default (XInput is absent).
    std::set<std::string> libraries;
    std::vector<std::string> loadedPaths; // what LoadLibraryA was asked for
    int openLibraries = 0;                // loaded and not yet freed
    bool xinputConnected[4] = {};         // a pad at the user index
    DWORD xinputSetStateResult = ERROR_SUCCESS;
    std::vector<std::string> motors; // each XInputSetState that held: "0 on", "0 off" or "0 LEFT RIGHT"

    // Live thread timers; fireTimers() calls their callbacks as the host's
    // message loop does once their time has come.
    struct Timer {
        UINT_PTR id;
        UINT ms;
        TIMERPROC proc;
    };
    std::vector<Timer> timers;
    void fireTimers();
    // Empty when no library stayed loaded, no timer set and no connected
    // pad's motors running; otherwise what is left.
    std::string xinputProblems() const;

    // Recorded calls, in order, by entry name ("CoInitialize",
    // "CoCreateInstance", "MessageBoxA", "SystemParametersInfoA", ...).
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
// puts the table that was there back afterwards.
class FakeSystemScope {
public:
    FakeSystemScope();
    ~FakeSystemScope();
    FakeSystemScope(const FakeSystemScope&) = delete;
    FakeSystemScope& operator=(const FakeSystemScope&) = delete;
    FakeSystem& fake() { return fake_; }
    const FakeSystem& fake() const { return fake_; }

private:
    FakeSystem fake_;
    SysCalls saved_;
};

// The FakeSystem currently installed (null when none).
FakeSystem* currentFakeSystem();

// The Windows side of the virtual game controllers: lines for the SDL2
// stand-in (sdl_standin.c says what they mean) in TOLVO_VIRTUAL/commands,
// its log in TOLVO_VIRTUAL/log, and the game controllers DirectInput lists.
// Only in the lane's Wine session (scripts/wine-run, TOLVO_LANE=virtual).
#pragma once

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <windows.h>
#include <dinput.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace lane {

// The lane's folder as this program opens it (drive Z: is the root of the
// Linux side); empty outside the lane.
inline std::string folder()
{
    const char* dir = std::getenv("TOLVO_VIRTUAL");
    return dir && *dir ? std::string("Z:") + dir : std::string();
}

// Appends lines, each ending with '\n', for the stand-in to apply.
inline bool send(const std::string& lines)
{
    FILE* f = std::fopen((folder() + "/commands").c_str(), "ab");
    if (!f)
        return false;
    const bool written = std::fwrite(lines.data(), 1, lines.size(), f) == lines.size();
    return std::fclose(f) == 0 && written;
}

// The whole lines of the log from byte `from` on; `from` moves past them.
inline std::vector<std::string> logSince(long& from)
{
    std::vector<std::string> lines;
    FILE* f = std::fopen((folder() + "/log").c_str(), "rb");
    if (!f)
        return lines;
    std::fseek(f, from, SEEK_SET);
    std::string line;
    for (int c; (c = std::fgetc(f)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        lines.push_back(line);
        from += static_cast<long>(line.size()) + 1;
        line.clear();
    }
    std::fclose(f);
    return lines;
}

// The log's length now: what comes after it is new.
inline long logEnd()
{
    long end = 0;
    logSince(end);
    return end;
}

inline BOOL CALLBACK addName(LPCDIDEVICEINSTANCEA instance, LPVOID names)
{
    static_cast<std::vector<std::string>*>(names)->push_back(instance->tszInstanceName);
    return DIENUM_CONTINUE;
}

// The instance names of the game controllers that DirectInput lists as
// attached, in its order.
inline std::vector<std::string> listed()
{
    static LPDIRECTINPUT8A di = [] {
        LPDIRECTINPUT8A p = nullptr;
        if (FAILED(DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                      reinterpret_cast<void**>(&p), nullptr)))
            p = nullptr;
        return p;
    }();
    std::vector<std::string> names;
    if (di)
        di->EnumDevices(DI8DEVCLASS_GAMECTRL, addName, &names, DIEDFL_ATTACHEDONLY);
    return names;
}

// Waits until DirectInput lists `count` game controllers, at most 20 s (a
// new controller appears some tens of milliseconds after it is attached).
inline bool waitListed(size_t count)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(20))
        if (listed().size() == count)
            return true;
    return false;
}

// Attaches `controllers` ("NAME KIND" each) beside those there are and
// waits until DirectInput lists them too: false when it did not. A lane
// program starts in a session of its own, with none (scripts/wine-run).
inline bool attach(const std::vector<std::string>& controllers)
{
    const size_t before = listed().size();
    std::string lines;
    for (const std::string& c : controllers)
        lines += "attach " + c + "\n";
    return send(lines + "sync\n") && waitListed(before + controllers.size());
}

} // namespace lane

// The platform a Windows program runs on, in the names the test runner uses
// (TOLVO_PLATFORM): "windows", or under Wine "wine" and its major version
// ("wine8", "wine10"), from ntdll's wine_get_version, which Windows lacks.
#pragma once

#include <windows.h>

#include <string>

inline std::string platformName()
{
    using WineGetVersion = const char*(CDECL*)();
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto version = ntdll ? reinterpret_cast<WineGetVersion>(
                               reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")))
                         : nullptr;
    if (!version)
        return "windows";
    const std::string v = version();
    return "wine" + v.substr(0, v.find('.'));
}

// xinput-unload [N]
//
// Loads XInput from the system folder, asks it for a pad (which starts its
// update thread) and unloads it, N times (200), as tovinit and tovbye do
// with an Xbox-style pad attached. Wine 8's XInput stops its thread when it
// is unloaded, and the thread signals that it is done before it has
// returned: now and then the library is gone before the thread's last
// instructions have run, and the thread faults executing where the
// library was ("Unhandled page fault on execute access to 6C203B47", inside
// xinput1_4.dll's image, once in about 150 unloads on an idle machine), and
// the process waits for the debugger. Wine 10's thread keeps the library
// loaded instead. The answer is a rate, so this program is run by hand:
//
//   scripts/wine-run build/win32 build/win32/tests/platform/xinput-unload.exe 500
#include <windows.h>
#include <xinput.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    const int n = argc > 1 ? std::atoi(argv[1]) : 200;
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH - 20);
    std::strcpy(path + length, "\\xinput1_4.dll");
    for (int i = 1; i <= n; ++i) {
        HMODULE xinput = LoadLibraryA(path);
        auto caps = xinput ? reinterpret_cast<DWORD(WINAPI*)(DWORD, DWORD, XINPUT_CAPABILITIES*)>(
                                 reinterpret_cast<void*>(GetProcAddress(xinput, "XInputGetCapabilities")))
                           : nullptr;
        if (!caps) {
            std::printf("no XInput in %s\n", path);
            return 1;
        }
        XINPUT_CAPABILITIES c{};
        caps(0, 0, &c);
        FreeLibrary(xinput);
        std::printf("unloaded %d\n", i);
    }
    std::printf("all %d unloads lived\n", n);
    return 0;
}

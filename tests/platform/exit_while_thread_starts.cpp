// exit-while-thread-starts [--xinput] [--settled]
//
// Returns from main while 200 threads it has just made are still starting
// (each waits for the main thread, as GoogleTest's thread-local registry
// does on Windows), or with --xinput right after its first call into XInput
// (Wine 10's XInput then asks for device notifications, which starts a
// thread nobody waits for). Wine now and then kills such a process with a
// SIGSEGV after its last line: a starting thread takes a signal before its
// thread block is known to the Unix side while the main thread is in
// NtTerminateProcess. The exit code that Windows programs see is still 0, so
// only the Unix side (a shell, CTest) sees the crash. With --settled the
// threads get 300 ms to start first, and nothing dies. The answer is a rate,
// so this program is run by hand, from a shell loop:
//
//   for i in $(seq 100); do scripts/wine-run build/win32 build/win32/tests/platform/exit-while-thread-starts.exe || echo died; done | grep -c died
#include <windows.h>
#include <xinput.h>

#include <cstdio>
#include <cstring>

namespace {

DWORD WINAPI waitForMain(void* main)
{
    WaitForSingleObject(static_cast<HANDLE>(main), INFINITE);
    return 0;
}

// The first call into XInput, as the plug-in makes it: loaded at run time.
bool askXInput()
{
    HMODULE xinput = LoadLibraryA("xinput1_4.dll");
    if (!xinput)
        return false;
    auto caps = reinterpret_cast<DWORD(WINAPI*)(DWORD, DWORD, XINPUT_CAPABILITIES*)>(
        reinterpret_cast<void*>(GetProcAddress(xinput, "XInputGetCapabilities")));
    XINPUT_CAPABILITIES c{};
    return caps && caps(0, 0, &c) == ERROR_DEVICE_NOT_CONNECTED;
}

} // namespace

int main(int argc, char** argv)
{
    bool settle = false, xinput = false;
    for (int i = 1; i < argc; ++i) {
        settle = settle || std::strcmp(argv[i], "--settled") == 0;
        xinput = xinput || std::strcmp(argv[i], "--xinput") == 0;
    }
    if (xinput && !askXInput())
        return 1;
    for (int i = 0; !xinput && i < 200; ++i) {
        HANDLE main = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId());
        if (HANDLE t = CreateThread(nullptr, 0, waitForMain, main, 0, nullptr))
            CloseHandle(t);
    }
    if (settle)
        Sleep(300);
    std::printf("returning with %s %s\n", xinput ? "XInput's threads" : "200 threads",
                settle ? "started" : "still starting");
    return 0;
}

// lost-main-thread [MS]
//
// Prints a line, starts a thread that waits forever (as the mixer and
// message threads of DirectSound, DirectMusic and DirectShow do), sleeps MS
// milliseconds (default 500) in 1 ms steps, prints its last line and
// returns 0. No code of the plug-in.
//
// On a server busy with other programs, Wine 8 now and then ends a main
// thread without a word: before the program is loaded (nothing printed,
// exit code 0), or later, when the other threads wait forever and the
// process never ends. Its client gives up a thread silently wherever the
// server closes the connection (dlls/ntdll/unix/server.c, abort_thread(0)),
// and ends the process with 0 when that was the last thread. The answer is
// a rate, so this program is run by hand, beside a running suite:
//
//   for i in $(seq 100); do scripts/wine-run build/win32 build/win32/tests/platform/lost-main-thread.exe 2>&1 | grep -q 'the last line' || echo lost; done | grep -c lost
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

DWORD WINAPI waitForever(void* event)
{
    WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    const DWORD ms = argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 500;
    std::printf("started\n");
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (HANDLE t = CreateThread(nullptr, 0, waitForever, never, 0, nullptr))
        CloseHandle(t);
    for (DWORD i = 0; i < ms; ++i)
        Sleep(1);
    std::printf("the last line\n");
    return 0;
}

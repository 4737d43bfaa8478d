// lost-main-thread [MS]
//
// Prints a line, starts a thread that waits for an event nobody sets (as the
// sound mixer's and the message threads of DirectSound, DirectMusic and
// DirectShow do), waits MS milliseconds (default 500) in 1 ms sleeps, prints
// its last line and returns 0. Nothing else: no code of the plug-in.
//
// Wine 8 now and then ends a process's main thread without a word in the
// middle of its work: no exception, no message, no exit code of its own.
// Alone, the process then exits with 0 before its last line; with other
// threads, as here, Linux shows the main thread as a zombie and the other
// threads wait forever, so the process never ends. scripts/wine-run says so
// ("ended the program's main thread") and runs the program once more. The
// answer is a rate, so this program is run by hand, from a shell loop on a
// busy machine (the suite's run beside it is enough):
//
//   for i in $(seq 300); do scripts/wine-run build/win32 build/win32/tests/platform/lost-main-thread.exe 2>&1; done | grep -c 'ended the program'
//
// Measured on two busy cores (load average 6 to 9): N1 in N2 runs. Wine's own
// `cmd /c echo` printed nothing and exited 0 in 2 of about 300 runs, and a
// GoogleTest program's --gtest_list_tests in 2 of 400.
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

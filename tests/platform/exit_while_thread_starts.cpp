// exit-while-thread-starts [--settled]
//
// Returns from main while 200 threads it has just made are still starting
// (each waits for the main thread, as GoogleTest's thread-local registry
// does on Windows). Wine now and then kills such a process with a SIGSEGV
// after its last line: a starting thread takes a signal before its thread
// block is known to the Unix side while the main thread is in
// NtTerminateProcess. The exit code that Windows programs see is still 0, so
// only the Unix side (a shell, CTest) sees the crash. With --settled the
// threads get 300 ms to start first, and nothing dies. The answer is a rate,
// so this program is run by hand, from a shell loop:
//
//   for i in $(seq 100); do scripts/wine-run build/win32 build/win32/tests/platform/exit-while-thread-starts.exe || echo died; done | grep -c died
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

DWORD WINAPI waitForMain(void* main)
{
    WaitForSingleObject(static_cast<HANDLE>(main), INFINITE);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const bool settle = argc == 2 && std::strcmp(argv[1], "--settled") == 0;
    for (int i = 0; i < 200; ++i) {
        HANDLE main = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId());
        if (HANDLE t = CreateThread(nullptr, 0, waitForMain, main, 0, nullptr))
            CloseHandle(t);
    }
    if (settle)
        Sleep(300);
    std::printf("returning with 200 threads %s\n", settle ? "started" : "still starting");
    return 0;
}

// system-handles [N]
//
// Asks for the system's handle table (NtQuerySystemInformation,
// SystemHandleInformation) N times (default 100000) and prints how many
// entries it had. No code of the plug-in.
//
// Wine 8's server crashes now and then on this request ("wineserver
// crashed, please enable coredumps" on its standard error, SIGSEGV) while
// other processes start or end, and every program on it loses its threads
// without a word: its client gives up a thread wherever the server closes
// the connection (dlls/ntdll/unix/server.c, abort_thread(0)). A program
// alone then exits 0 before its last line, often before it is even loaded;
// one with threads waiting in the server keeps them waiting forever and
// never ends. Run by hand, beside a loop of short programs on the same
// server, with the server's standard error kept:
//
//   wineserver -k; wineserver -p -f -d1 2>&1 >/dev/null | tail -n 40 >server.log &
//   while :; do scripts/wine-run build/win32 build/win32/tests/platform/exit-while-thread-starts.exe --settled; done >/dev/null 2>&1 &
//   scripts/wine-run build/win32 build/win32/tests/platform/system-handles.exe
//
// (WINEPREFIX=build/win32/wineprefix WINEARCH=win32 for wineserver). The
// request log ends with get_system_handles and no answer.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    const long n = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
    typedef LONG(WINAPI * Query)(ULONG, PVOID, ULONG, PULONG);
    const Query query = reinterpret_cast<Query>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    const ULONG kSystemHandleInformation = 16;
    const LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<char> buf(1 << 20);
    for (long i = 1; query && i <= n; ++i) {
        LONG status;
        while ((status = query(kSystemHandleInformation, buf.data(), static_cast<ULONG>(buf.size()), nullptr)) ==
               kInfoLengthMismatch)
            buf.resize(buf.size() * 2);
        if (status != 0 || i % 10000 == 0)
            std::printf("%ld: status %08lx, %lu handles\n", i, static_cast<unsigned long>(status),
                        static_cast<unsigned long>(*reinterpret_cast<ULONG*>(buf.data())));
    }
    std::printf("the last line\n");
    return 0;
}

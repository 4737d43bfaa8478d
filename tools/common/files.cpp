#include "files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "messages.h"
#include "names.h"

namespace {

// The part of a path up to and including its last separator ("" when none).
std::string folderPart(const std::string& path)
{
    const std::vector<size_t> seps = separatorsIn(path);
    return seps.empty() ? std::string() : path.substr(0, seps.back() + 1);
}

#ifdef _WIN32
std::string windowsError(DWORD code)
{
    char text[256] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                   sizeof text, nullptr);
    std::string s(text, n);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.'))
        s.pop_back();
    return s.empty() ? "error " + std::to_string(code) : s;
}
#endif

// What an interruption undoes before the tool ends: temporary files to
// remove and files extended in place to cut back. Plain arrays, since the
// signal handler (or on Windows the console's control handler) reads them.
enum { kUndoSlots = 4 };
#ifdef _WIN32
struct Undo {
    char temp[MAX_PATH];
    HANDLE extended; // the file to cut back to `length`
    LONGLONG length;
};
HANDLE s_writer = nullptr; // the thread that writes, held still while the handler cuts a file back
#else
struct Undo {
    char temp[PATH_MAX];
    int extended; // the file to cut back to `length`, or -1
    off_t length;
};
#endif
Undo s_undo[kUndoSlots];
volatile sig_atomic_t s_undoUsed[kUndoSlots];

void undoAll()
{
    for (int i = 0; i < kUndoSlots; ++i) {
        if (!s_undoUsed[i])
            continue;
        const Undo& u = s_undo[i];
#ifdef _WIN32
        if (u.temp[0])
            DeleteFileA(u.temp); // opened with FILE_SHARE_DELETE: gone when the process ends
        else {
            LARGE_INTEGER at;
            at.QuadPart = u.length;
            if (SetFilePointerEx(u.extended, at, nullptr, FILE_BEGIN))
                SetEndOfFile(u.extended);
        }
#else
        if (u.temp[0])
            unlink(u.temp);
        else
            (void)ftruncate(u.extended, u.length);
#endif
    }
}

#ifdef _WIN32
BOOL WINAPI onConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    // The handler runs in a thread of its own: the writer is stopped first
    // (its context is read to wait until it has stopped), so that nothing is
    // written after the cut.
    CONTEXT context;
    context.ContextFlags = CONTEXT_CONTROL;
    if (s_writer && SuspendThread(s_writer) != static_cast<DWORD>(-1))
        GetThreadContext(s_writer, &context);
    undoAll();
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}
#else
extern "C" void onInterrupt(int signal)
{
    undoAll();
    // Ends as the signal ends a process: a shell then sees 128 + the signal
    // (130 for Ctrl-C) and stops a script that ran the tool.
    ::signal(signal, SIG_DFL);
    raise(signal);
}
#endif

// Installs the handlers once, the first time an output is opened. A signal
// that was ignored when the tool started (nohup, a background job) stays
// ignored.
void watchInterrupts()
{
    static bool watching = false;
    if (watching)
        return;
    watching = true;
#ifdef _WIN32
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &s_writer, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
#else
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction on = {};
        on.sa_handler = onInterrupt;
        sigemptyset(&on.sa_mask);
        sigaction(sig, &on, nullptr);
    }
#endif
}

// Takes a slot for a temporary file (temp) or a file to cut back; -1 when
// all are taken (the output then goes unguarded).
#ifdef _WIN32
int holdUndo(const std::string& temp, HANDLE extended, int64_t length)
#else
int holdUndo(const std::string& temp, int extended, int64_t length)
#endif
{
    watchInterrupts();
    if (temp.size() >= sizeof s_undo[0].temp)
        return -1;
    for (int i = 0; i < kUndoSlots; ++i) {
        if (s_undoUsed[i])
            continue;
        std::memcpy(s_undo[i].temp, temp.c_str(), temp.size() + 1);
        s_undo[i].extended = extended;
        s_undo[i].length = length;
        std::atomic_signal_fence(std::memory_order_seq_cst); // the slot is whole before a handler sees it
        s_undoUsed[i] = 1;
        return i;
    }
    return -1;
}

void releaseUndo(int& slot)
{
    if (slot >= 0)
        s_undoUsed[slot] = 0;
    slot = -1;
}

// A name that exists and is no regular file and no folder: a device, a FIFO
// or a socket, which an output writes straight into.
bool isSpecialFile(const std::string& name)
{
#ifdef _WIN32
    HANDLE h = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const DWORD type = GetFileType(h);
    CloseHandle(h);
    return type != FILE_TYPE_DISK && type != FILE_TYPE_UNKNOWN;
#else
    struct stat st;
    return stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
#endif
}

#ifdef _WIN32
HANDLE osHandle(FILE* f)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
}
#endif

} // namespace

bool fileIdentity(const std::string& name, FileId& id)
{
#ifdef _WIN32
    // Folders open only with backup semantics; no access is asked for, so
    // a file that others hold open can still be looked at.
    HANDLE h = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (ok) {
        id.volume = info.dwVolumeSerialNumber;
        id.index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    }
    return ok;
#else
    struct stat st;
    if (stat(name.c_str(), &st) != 0)
        return false;
    id.volume = static_cast<uint64_t>(st.st_dev);
    id.index = static_cast<uint64_t>(st.st_ino);
    return true;
#endif
}

bool streamIdentity(FILE* f, FileId& id)
{
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(osHandle(f), &info))
        return false;
    id.volume = info.dwVolumeSerialNumber;
    id.index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
#else
    struct stat st;
    if (fstat(fileno(f), &st) != 0)
        return false;
    id.volume = static_cast<uint64_t>(st.st_dev);
    id.index = static_cast<uint64_t>(st.st_ino);
#endif
    return true;
}

bool sameFile(const std::string& a, const std::string& b)
{
    FileId x, y;
    return fileIdentity(a, x) && fileIdentity(b, y) && x == y;
}

bool isFolder(const std::string& name)
{
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
    struct stat st;
    return stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

std::vector<size_t> separatorsIn(const std::string& name)
{
    std::vector<size_t> at;
    for (size_t i = 0; i < name.size(); ++i) {
#ifdef _WIN32
        const char c = name[i];
        if (c == '/' || c == '\\' || c == ':')
            at.push_back(i);
        else if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < name.size())
            ++i;
#else
        if (name[i] == '/')
            at.push_back(i);
#endif
    }
    return at;
}

std::string baseName(const std::string& path)
{
    return path.substr(folderPart(path).size());
}

namespace {

// "folder/name"; the name alone in "", and no second separator after one.
std::string joined(const std::string& folder, const std::string& name)
{
    const std::vector<size_t> seps = separatorsIn(folder);
    const bool ends = folder.empty() || (!seps.empty() && seps.back() == folder.size() - 1);
    return folder + (ends ? "" : "/") + name;
}

// A folder's entries but "." and "..": their names and whether each is a
// folder to enter.
struct FolderEntry {
    std::string name;
    bool folder;
};

#ifdef _WIN32
std::wstring upper(const std::wstring& text)
{
    std::wstring up = text;
    if (!up.empty())
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()), up.data(),
                     static_cast<int>(up.size()));
    return up;
}

// '*' any characters, '?' one; both upper case already.
bool matches(const wchar_t* pattern, const wchar_t* name)
{
    const wchar_t* star = nullptr;
    const wchar_t* resume = nullptr;
    while (*name) {
        if (*pattern == L'*') {
            star = pattern++;
            resume = name;
        } else if (*pattern && (*pattern == L'?' || *pattern == *name)) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == L'*')
        ++pattern;
    return *pattern == L'\0';
}

// Through the wide calls, so that a name the ANSI code page cannot hold is
// named as such instead of arriving with '?' in it. `pattern`: only the
// names that match it.
bool readFolder(const std::string& folder, const wchar_t* pattern, std::vector<FolderEntry>& entries,
                std::string& error)
{
    const std::string shown = folder.empty() ? "." : folder;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(toWide(CP_ACP, joined(shown, "*")).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        error = toolText(kToolCannotReadFolder, {shown, windowsError(GetLastError())});
        return false;
    }
    bool ok = true;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L".." || (pattern && !matches(pattern, upper(name).c_str())))
            continue;
        bool lossy = false;
        const std::string ansi = fromWide(CP_ACP, name, &lossy);
        if (lossy) {
            error = toolText(kToolNameUnreadableInFolder, {shown, ansi, std::to_string(GetACP())});
            ok = false;
            break;
        }
        entries.push_back({ansi, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return ok;
}
#else
bool readFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string& error)
{
    DIR* d = opendir(folder.c_str());
    if (!d) {
        error = toolText(kToolCannotReadFolder, {folder, lastSystemError()});
        return false;
    }
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        struct stat st;
        if (name == "." || name == "..")
            continue;
        const bool folderHere = lstat(joined(folder, name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entries.push_back({name, folderHere});
    }
    closedir(d);
    return true;
}
#endif

} // namespace

bool filesBelow(const std::string& folder, std::vector<std::string>& paths, std::string& error)
{
    // Folders still to read, by their paths below `folder`.
    std::vector<std::string> pending = {""};
    while (!pending.empty()) {
        const std::string below = pending.back();
        pending.pop_back();
        std::vector<FolderEntry> entries;
#ifdef _WIN32
        const std::string here = below.empty() ? folder : joined(folder, below);
        if (!readFolder(here, nullptr, entries, error))
#else
        const std::string here = below.empty() ? folder : joined(folder, below);
        if (!readFolder(here, entries, error))
#endif
            return false;
        for (const FolderEntry& e : entries)
            (e.folder ? pending : paths).push_back(below.empty() ? e.name : below + "/" + e.name);
    }
    return true;
}

bool isPattern(const std::string& name)
{
#ifdef _WIN32
    return name.find_first_of("*?") != std::string::npos;
#else
    (void)name;
    return false;
#endif
}

bool namesMatching(const std::string& pattern, std::vector<std::string>& paths, std::string& error)
{
#ifdef _WIN32
    const std::string folder = pattern.substr(0, pattern.size() - baseName(pattern).size());
    std::vector<FolderEntry> entries;
    if (!readFolder(folder, upper(toWide(CP_ACP, baseName(pattern))).c_str(), entries, error))
        return false;
    for (const FolderEntry& e : entries)
        paths.push_back(folder + e.name);
    std::sort(paths.begin(), paths.end());
    return true;
#else
    (void)paths;
    error = toolText(kToolNoMatch, {pattern});
    return false;
#endif
}

bool makeFolders(const std::string& path, std::string& error)
{
    std::vector<size_t> ends = separatorsIn(path);
    ends.push_back(path.size());
    for (size_t end : ends) {
        const std::string folder = path.substr(0, end);
        // The root, a drive ("C:") and "a//b" need no making.
        if (folder.empty() || folder.back() == ':' || folder.back() == '/' || folder.back() == '\\' ||
            isFolder(folder))
            continue;
#ifdef _WIN32
        const bool made = CreateDirectoryA(folder.c_str(), nullptr) != 0;
        const std::string reason = made ? "" : windowsError(GetLastError());
#else
        const bool made = mkdir(folder.c_str(), 0777) == 0;
        const std::string reason = made ? "" : lastSystemError();
#endif
        if (!made && !isFolder(folder)) {
            FileId id;
            error = fileIdentity(folder, id) ? toolText(kToolIsFileNotFolder, {folder})
                                             : toolText(kToolCannotMakeFolder, {folder, reason});
            return false;
        }
    }
    return true;
}

namespace {

// The file beside the target that the output is written into and that the
// commit renames over the target (out.temp), or for an absent target the
// target itself (out.fresh): true once it exists, whether or not it could be
// opened (out.stream); false with the error when it cannot be made.
bool makeTemp(const std::string& target, bool absent, OutputFile& out, std::string& error)
{
#ifdef _WIN32
    const DWORD attributes = absent ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        error = toolText(kToolReadOnly, {target});
        return false;
    }
    // "tovPROCESS-COUNT.tmp" in the target's folder (or, for an absent
    // target, its own name first), made and opened in one call
    // (CREATE_NEW: a name that exists is taken by someone else, and the next
    // count is tried). Shared for deletion, so that an interruption can
    // remove it while it is open.
    static unsigned s_count = 0;
    HANDLE h = INVALID_HANDLE_VALUE;
    DWORD code = ERROR_FILE_EXISTS;
    for (int tries = 0; h == INVALID_HANDLE_VALUE && code == ERROR_FILE_EXISTS && tries < 1000; ++tries) {
        char name[40];
        std::snprintf(name, sizeof name, "tov%lx-%x.tmp", GetCurrentProcessId(), s_count++);
        out.fresh = absent && tries == 0;
        out.temp = out.fresh ? target : folderPart(target) + name;
        out.undo = holdUndo(out.temp, nullptr, 0);
        h = CreateFileA(out.temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            code = GetLastError();
            releaseUndo(out.undo);
        }
    }
    if (h == INVALID_HANDLE_VALUE) {
        out.temp.clear();
        error = toolText(kToolCannotWriteInFolder, {target, windowsError(code)});
        return false;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0)
        CloseHandle(h);
    out.stream = fd < 0 ? nullptr : _fdopen(fd, "wb");
    if (fd >= 0 && !out.stream)
        _close(fd);
#else
    // A link keeps leading where it led: the file it names is replaced.
    struct stat st;
    if (!absent && lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(target.c_str(), nullptr)) {
            out.destination = real;
            std::free(real);
        }
    }
    if (!absent && access(out.destination.c_str(), F_OK) == 0 && access(out.destination.c_str(), W_OK) != 0) {
        error = toolText(kToolCannotReplace, {target, lastSystemError()});
        return false;
    }
    int fd = -1;
    if (absent) {
        // Made under its own name while it still is absent.
        out.undo = holdUndo(target, -1, 0);
        fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        out.fresh = fd >= 0;
        if (!out.fresh)
            releaseUndo(out.undo);
    }
    if (out.fresh) {
        out.temp = target;
    } else {
        std::string name = folderPart(out.destination) + "." + baseName(out.destination) + ".XXXXXX";
        // The name is made in its guard's own buffer: an interruption at any
        // moment finds the file that exists.
        out.undo = holdUndo(name, -1, 0);
        char* made = out.undo >= 0 ? s_undo[out.undo].temp : name.data();
        fd = mkstemp(made);
        if (fd < 0) {
            error = toolText(kToolCannotWriteInFolder, {target, lastSystemError()});
            releaseUndo(out.undo);
            return false;
        }
        out.temp = made;
    }
    out.stream = fdopen(fd, "wb");
    if (!out.stream)
        close(fd);
#endif
    return true;
}

} // namespace

bool openOutput(const std::string& target, FILE* standardOutput, OutputFile& out, std::string& error, bool absent)
{
    out = OutputFile{};
    out.target = target;
    if (target == "-") {
#ifdef _WIN32
        _setmode(_fileno(standardOutput), _O_BINARY);
#endif
        out.stream = standardOutput;
        out.standardOutput = true;
        return true;
    }
    if (!absent && isFolder(target)) {
        error = toolText(kToolIsFolder, {target});
        return false;
    }
    out.destination = target;
    if (!absent && isSpecialFile(target)) {
        out.stream = std::fopen(target.c_str(), "wb");
        if (!out.stream) {
            error = toolText(kToolCannotWrite, {target, lastSystemError()});
            return false;
        }
        return true;
    }
    if (!makeTemp(target, absent, out, error))
        return false;
    if (!out.stream) {
        error = toolText(kToolCannotWrite, {target, lastSystemError()});
        std::remove(out.temp.c_str());
        releaseUndo(out.undo);
        out.temp.clear();
        return false;
    }
    return true;
}

std::string writeError(const OutputFile& out)
{
    return out.standardOutput ? toolText(kToolCannotWriteStandardOutput, {lastSystemError()})
                              : toolText(kToolCannotWrite, {out.target, lastSystemError()});
}

bool commitOutput(OutputFile& out, std::string& error)
{
    if (out.temp.empty()) {
        bool ok = out.stream && std::fflush(out.stream) == 0 && !std::ferror(out.stream);
        if (!ok)
            error = writeError(out);
        if (out.stream && !out.standardOutput && std::fclose(out.stream) != 0 && ok) {
            ok = false;
            error = writeError(out);
        }
        out.stream = nullptr;
        return ok;
    }
    bool ok = std::fflush(out.stream) == 0 && !std::ferror(out.stream);
    std::string reason = ok ? "" : lastSystemError();
    if (out.fresh) {
        ok = std::fclose(out.stream) == 0 && ok;
        if (!ok && reason.empty())
            reason = lastSystemError();
        out.stream = nullptr;
    }
#ifdef _WIN32
    if (!out.fresh) {
        ok = std::fclose(out.stream) == 0 && ok;
        out.stream = nullptr;
    }
    if (ok && !out.fresh && !MoveFileExA(out.temp.c_str(), out.destination.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        reason = windowsError(GetLastError());
    }
#else
    // On the disk before the name moves: a crash leaves the old file or the
    // whole new one, never an empty one.
    if (ok && !out.fresh) {
        struct stat st;
        mode_t mode;
        if (stat(out.destination.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            const mode_t mask = umask(0);
            umask(mask);
            mode = 0666 & ~mask;
        }
        ok = fchmod(fileno(out.stream), mode) == 0 && fsync(fileno(out.stream)) == 0;
        if (!ok)
            reason = lastSystemError();
    }
    if (!out.fresh) {
        ok = std::fclose(out.stream) == 0 && ok;
        out.stream = nullptr;
    }
    if (ok && !out.fresh && std::rename(out.temp.c_str(), out.destination.c_str()) != 0) {
        ok = false;
        reason = lastSystemError();
    }
#endif
    if (!ok) {
        std::remove(out.temp.c_str());
        error = reason.empty() ? toolText(kToolCannotWriteNoReason, {out.target})
                               : toolText(kToolCannotWrite, {out.target, reason});
    }
    releaseUndo(out.undo);
    out.temp.clear();
    return ok;
}

void discardOutput(OutputFile& out)
{
    if (!out.temp.empty()) {
        if (out.stream)
            std::fclose(out.stream);
        std::remove(out.temp.c_str());
        releaseUndo(out.undo);
        out.temp.clear();
    } else if (out.stream && !out.standardOutput) {
        std::fclose(out.stream);
    }
    out.stream = nullptr;
}

bool writeAt(OutputFile& out, uint64_t offset, const void* data, size_t n)
{
    const char* p = static_cast<const char*>(data);
#ifdef _WIN32
    HANDLE h = osHandle(out.stream);
    while (n > 0) {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD want = n > (1u << 30) ? (1u << 30) : static_cast<DWORD>(n);
        DWORD done = 0;
        if (!WriteFile(h, p, want, &done, &at) || done == 0) {
            const DWORD code = GetLastError();
            errno = code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL ? ENOSPC : EIO;
            return false;
        }
        p += done;
        offset += done;
        n -= done;
    }
#else
    const int fd = fileno(out.stream);
    const off_t start = static_cast<off_t>(offset), length = static_cast<off_t>(n);
    while (n > 0) {
        const ssize_t done = pwrite(fd, p, n, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        p += done;
        offset += static_cast<uint64_t>(done);
        n -= static_cast<size_t>(done);
    }
#ifdef __linux__
    // On its way to the disk now, so that the sync before the rename finds
    // little left to wait for.
    sync_file_range(fd, start, length, SYNC_FILE_RANGE_WRITE);
#else
    (void)start;
    (void)length;
#endif
#endif
    return true;
}

bool resizeOutput(OutputFile& out, uint64_t size)
{
#ifdef _WIN32
    return _chsize_s(_fileno(out.stream), static_cast<__int64>(size)) == 0;
#else
    struct stat st;
    if (fstat(fileno(out.stream), &st) == 0 && static_cast<uint64_t>(st.st_size) == size)
        return true;
    return ftruncate(fileno(out.stream), static_cast<off_t>(size)) == 0;
#endif
}

bool openForExtending(const std::string& name, ExtendedFile& file, std::string& error)
{
    file = ExtendedFile{};
    file.name = name;
    if (isSpecialFile(name)) {
        error = toolText(kToolNotRegularFile, {name});
        return false;
    }
    file.stream = std::fopen(name.c_str(), "r+b");
    // Unbuffered: nothing may be written after a cut.
    if (file.stream)
        setvbuf(file.stream, nullptr, _IONBF, 0);
    const int64_t length = file.stream ? streamSize(file.stream) : -1;
    if (length < 0 || !seekStream(file.stream, static_cast<uint64_t>(length))) {
        error = toolText(kToolCannotWrite, {name, lastSystemError()});
        if (file.stream)
            std::fclose(file.stream);
        file.stream = nullptr;
        return false;
    }
    file.length = static_cast<uint64_t>(length);
#ifdef _WIN32
    file.undo = holdUndo("", osHandle(file.stream), length);
#else
    file.undo = holdUndo("", fileno(file.stream), length);
#endif
    return true;
}

bool finishExtending(ExtendedFile& file, std::string& error)
{
    bool ok = !std::ferror(file.stream);
#ifdef _WIN32
    ok = ok && FlushFileBuffers(osHandle(file.stream));
#else
    ok = ok && fsync(fileno(file.stream)) == 0;
#endif
    if (!ok) {
        error = toolText(kToolCannotWrite, {file.name, lastSystemError()});
        abandonExtending(file);
        error = toolText(kToolCutBack, {error, std::to_string(file.length)});
        return false;
    }
    releaseUndo(file.undo);
    ok = std::fclose(file.stream) == 0;
    file.stream = nullptr;
    if (!ok)
        error = toolText(kToolCannotWrite, {file.name, lastSystemError()});
    return ok;
}

void abandonExtending(ExtendedFile& file)
{
    if (!file.stream)
        return;
#ifdef _WIN32
    _chsize_s(_fileno(file.stream), static_cast<__int64>(file.length));
#else
    (void)ftruncate(fileno(file.stream), static_cast<off_t>(file.length));
#endif
    releaseUndo(file.undo);
    std::fclose(file.stream);
    file.stream = nullptr;
}

int64_t streamSize(FILE* f)
{
#ifdef _WIN32
    if (_fseeki64(f, 0, SEEK_END) != 0)
        return -1;
    const int64_t size = _ftelli64(f);
    _fseeki64(f, 0, SEEK_SET);
#else
    if (fseeko(f, 0, SEEK_END) != 0)
        return -1;
    const int64_t size = ftello(f);
    fseeko(f, 0, SEEK_SET);
#endif
    return size;
}

bool seekStream(FILE* f, uint64_t position)
{
#ifdef _WIN32
    return _fseeki64(f, static_cast<int64_t>(position), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

std::string lastSystemError()
{
    return std::strerror(errno);
}

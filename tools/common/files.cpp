#include "files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

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
            error = fileIdentity(folder, id) ? folder + " is a file, not a folder"
                                             : "cannot make the folder " + folder + ": " + reason;
            return false;
        }
    }
    return true;
}

bool openOutput(const std::string& target, FILE* standardOutput, OutputFile& out, std::string& error)
{
    out = OutputFile{};
    out.target = target;
    if (target == "-") {
#ifdef _WIN32
        _setmode(_fileno(standardOutput), _O_BINARY);
#endif
        out.stream = standardOutput;
        return true;
    }
    if (isFolder(target)) {
        error = target + " is a folder";
        return false;
    }
    out.destination = target;
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        error = "cannot replace " + target + ": it is read-only";
        return false;
    }
    std::string folder = folderPart(target);
    if (folder.empty())
        folder = ".";
    char temp[MAX_PATH];
    if (GetTempFileNameA(folder.c_str(), "tov", 0, temp) == 0) {
        error = "cannot write in the folder of " + target + ": " + windowsError(GetLastError());
        return false;
    }
    out.temp = temp;
    out.stream = std::fopen(temp, "wb");
#else
    // A link keeps leading where it led: the file it names is replaced.
    struct stat st;
    if (lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(target.c_str(), nullptr)) {
            out.destination = real;
            std::free(real);
        }
    }
    if (access(out.destination.c_str(), F_OK) == 0 && access(out.destination.c_str(), W_OK) != 0) {
        error = "cannot replace " + target + ": " + lastSystemError();
        return false;
    }
    std::string name = folderPart(out.destination) + "." + baseName(out.destination) + ".XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error = "cannot write in the folder of " + target + ": " + lastSystemError();
        return false;
    }
    out.temp = name;
    out.stream = fdopen(fd, "wb");
    if (!out.stream)
        close(fd);
#endif
    if (!out.stream) {
        error = "cannot write " + target + ": " + lastSystemError();
        std::remove(out.temp.c_str());
        out.temp.clear();
        return false;
    }
    return true;
}

bool commitOutput(OutputFile& out, std::string& error)
{
    if (out.temp.empty()) {
        const bool ok = out.stream && std::fflush(out.stream) == 0 && !std::ferror(out.stream);
        out.stream = nullptr;
        if (!ok)
            error = "cannot write to standard output: " + lastSystemError();
        return ok;
    }
    bool ok = std::fflush(out.stream) == 0 && !std::ferror(out.stream);
    std::string reason = ok ? "" : lastSystemError();
#ifdef _WIN32
    ok = std::fclose(out.stream) == 0 && ok;
    out.stream = nullptr;
    if (ok && !MoveFileExA(out.temp.c_str(), out.destination.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        reason = windowsError(GetLastError());
    }
#else
    // On the disk before the name moves: a crash leaves the old file or the
    // whole new one, never an empty one.
    if (ok) {
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
    ok = std::fclose(out.stream) == 0 && ok;
    out.stream = nullptr;
    if (ok && std::rename(out.temp.c_str(), out.destination.c_str()) != 0) {
        ok = false;
        reason = lastSystemError();
    }
#endif
    if (!ok) {
        std::remove(out.temp.c_str());
        error = "cannot write " + out.target + (reason.empty() ? "" : ": " + reason);
    }
    out.temp.clear();
    return ok;
}

void discardOutput(OutputFile& out)
{
    if (!out.temp.empty()) {
        if (out.stream)
            std::fclose(out.stream);
        std::remove(out.temp.c_str());
        out.temp.clear();
    }
    out.stream = nullptr;
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

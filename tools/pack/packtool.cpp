// tolvo-pack: makes and inspects the DPMX packs that tovdpmload opens.
//
//   tolvo-pack create PACK FILE...        a pack of the files, named after them
//   tolvo-pack list PACK[,POSITION]       names, sizes and offsets
//   tolvo-pack extract PACK[,POSITION] [-o DIR] [NAME...]
//   tolvo-pack verify PACK[,POSITION]     would every entry read back?
//   tolvo-pack append HOSTFILE PACK       puts the pack at the end of HOSTFILE
//                                         and prints the text for tovdpmload
//
// PACK[,POSITION] is the text tovdpmload takes: the pack begins at POSITION
// of the file (0 when there is no comma).
#include "packtool.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "pack/format.h"

namespace {

FILE* s_out = stdout;
FILE* s_err = stderr;

const char kUsage[] =
    "usage: tolvo-pack create PACK FILE...\n"
    "       tolvo-pack list PACK[,POSITION]\n"
    "       tolvo-pack extract PACK[,POSITION] [-o DIR] [NAME...]\n"
    "       tolvo-pack verify PACK[,POSITION]\n"
    "       tolvo-pack append HOSTFILE PACK\n"
    "Entry names are the files' names, lowered, of at most 23 bytes.\n"
    "append prints FILE,POSITION: the text to give to tovdpmload.\n";

// ---- files -------------------------------------------------------------

int64_t fileSize(FILE* f)
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

bool seekTo(FILE* f, uint64_t position)
{
#ifdef _WIN32
    return _fseeki64(f, static_cast<int64_t>(position), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

// Both names are one existing file (also through other spellings or links).
bool sameFile(const std::string& a, const std::string& b)
{
#ifdef _WIN32
    auto identity = [](const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE h = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        const bool ok = GetFileInformationByHandle(h, &info) != 0;
        CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION x, y;
    return identity(a, x) && identity(b, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
#else
    struct stat x, y;
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
#endif
}

// Where each byte of a name starts a character: on Windows a double-byte
// character's second byte may be '\\' or '/' and is not a separator there.
std::vector<bool> characterStarts(const std::string& s)
{
    std::vector<bool> starts(s.size(), true);
#ifdef _WIN32
    for (size_t i = 0; i < s.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(s[i])) && i + 1 < s.size())
            starts[++i] = false;
    }
#endif
    return starts;
}

bool isSeparator(char c)
{
#ifdef _WIN32
    return c == '/' || c == '\\' || c == ':';
#else
    return c == '/';
#endif
}

std::string baseName(const std::string& path)
{
    const std::vector<bool> starts = characterStarts(path);
    size_t begin = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (starts[i] && isSeparator(path[i]))
            begin = i + 1;
    }
    return path.substr(begin);
}

// A name that can be written into the output folder as one file there.
bool safeFileName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    const std::vector<bool> starts = characterStarts(name);
    for (size_t i = 0; i < name.size(); ++i) {
        if (static_cast<unsigned char>(name[i]) < 0x20 || (starts[i] && isSeparator(name[i])))
            return false;
#ifdef _WIN32
        // A colon names a drive or another stream of the file.
        if (starts[i] && name[i] == ':')
            return false;
#endif
    }
#ifdef _WIN32
    // Device names open the device, not a file, whatever extension follows
    // (pack names are stored lowered).
    const std::string stem = name.substr(0, name.find('.'));
    static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
    for (const char* d : kDevices)
        if (stem == d)
            return false;
    if (stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) && stem[3] >= '1' &&
        stem[3] <= '9')
        return false;
#endif
    return true;
}

// Copies n bytes; false when the source ends early or a write fails.
bool copyBytes(FILE* from, FILE* to, uint64_t n)
{
    std::vector<char> buf(1 << 16);
    while (n > 0) {
        const size_t want = n < buf.size() ? static_cast<size_t>(n) : buf.size();
        const size_t got = std::fread(buf.data(), 1, want, from);
        if (got == 0 || std::fwrite(buf.data(), 1, got, to) != got)
            return false;
        n -= got;
    }
    return true;
}

std::string lowered(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        c = static_cast<char>(lowerNameByte(static_cast<unsigned char>(c)));
    return r;
}

// ---- reading a pack ----------------------------------------------------

struct Record {
    unsigned char raw[kDpmxRecordSize];
    std::string name;  // the bytes before the first zero of the name field
    bool terminated;   // a zero lies within the 24-byte name field
    uint32_t offset;
    uint32_t size;
};

struct Pack {
    std::string file;
    uint32_t base = 0;
    int64_t fileSize = 0;
    uint32_t dataStart = 0;
    uint32_t count = 0;
    std::vector<Record> records; // those the file holds, at most count
};

// Reads the header and directory of the pack that "file[,position]" names.
bool readPack(const std::string& packText, Pack& pack)
{
    const size_t comma = packText.find(',');
    pack.file = packText.substr(0, comma);
    const int64_t position = comma == std::string::npos ? 0 : parsePackPosition(packText.c_str() + comma + 1);
    if (position < 0 || position >= kDpmxPositionLimit) {
        std::fprintf(s_err, "tolvo-pack: %s: the position must lie from 0 to 2147483647\n", packText.c_str());
        return false;
    }
    pack.base = static_cast<uint32_t>(position);

    FILE* f = std::fopen(pack.file.c_str(), "rb");
    if (!f) {
        std::fprintf(s_err, "tolvo-pack: cannot open %s\n", pack.file.c_str());
        return false;
    }
    pack.fileSize = fileSize(f);
    unsigned char header[kDpmxHeaderSize];
    if (!seekTo(f, pack.base) || std::fread(header, 1, sizeof header, f) != sizeof header ||
        std::memcmp(header, kDpmxMagic, sizeof kDpmxMagic) != 0) {
        std::fprintf(s_err, "tolvo-pack: %s holds no DPMX pack at position %u\n", pack.file.c_str(), pack.base);
        std::fclose(f);
        return false;
    }
    pack.dataStart = loadLe32(header + 4);
    pack.count = loadLe32(header + 8);
    // The reader takes a count from 2^31 on as no records at all.
    const uint32_t wanted = pack.count < kDpmxPositionLimit ? pack.count : 0;
    for (uint32_t i = 0; i < wanted; ++i) {
        Record r;
        if (std::fread(r.raw, 1, sizeof r.raw, f) != sizeof r.raw)
            break;
        const void* zero = std::memchr(r.raw, 0, kDpmxNameField);
        r.terminated = zero != nullptr;
        r.name.assign(reinterpret_cast<const char*>(r.raw),
                      zero ? static_cast<const unsigned char*>(zero) - r.raw : kDpmxNameField);
        r.offset = loadLe32(r.raw + kDpmxOffsetField);
        r.size = loadLe32(r.raw + kDpmxSizeField);
        pack.records.push_back(r);
    }
    std::fclose(f);
    return true;
}

// Where the reader finds an entry's data: the data base wraps modulo 2^32
// as the reader's does. -1 when the reader cannot seek there.
int64_t dataPosition(const Pack& pack, const Record& r)
{
    const uint32_t position = pack.dataStart + pack.base + r.offset;
    return position < kDpmxPositionLimit ? static_cast<int64_t>(position) : -1;
}

// The record the reader finds for a name (lowered, first match), or null.
const Record* lookUp(const Pack& pack, const std::string& name)
{
    const std::string key = lowered(name);
    if (key.size() >= kDpmxRecordSize)
        return nullptr;
    for (const Record& r : pack.records) {
        if (std::memcmp(r.raw, key.c_str(), key.size() + 1) == 0)
            return &r;
    }
    return nullptr;
}

// ---- commands ----------------------------------------------------------

int create(const std::string& packFile, const std::vector<std::string>& files)
{
    struct Input {
        std::string path;
        std::string name;
        uint32_t size;
    };
    std::vector<Input> inputs;
    uint64_t total = kDpmxHeaderSize + uint64_t{kDpmxRecordSize} * files.size();
    for (const std::string& path : files) {
        Input in{path, lowered(baseName(path)), 0};
        if (in.name.empty() || in.name.size() > kDpmxMaxName) {
            std::fprintf(s_err, "tolvo-pack: %s: the entry name \"%s\" is %u bytes long; names hold 1 to 23 bytes\n",
                         path.c_str(), in.name.c_str(), static_cast<unsigned>(in.name.size()));
            return 1;
        }
        for (const Input& other : inputs) {
            if (other.name == in.name) {
                std::fprintf(s_err, "tolvo-pack: %s and %s would both be the entry \"%s\"\n", other.path.c_str(),
                             path.c_str(), in.name.c_str());
                return 1;
            }
        }
        if (sameFile(path, packFile)) {
            std::fprintf(s_err, "tolvo-pack: %s is the pack being made\n", path.c_str());
            return 1;
        }
        FILE* f = std::fopen(path.c_str(), "rb");
        const int64_t size = f ? fileSize(f) : -1;
        if (f)
            std::fclose(f);
        if (size < 0) {
            std::fprintf(s_err, "tolvo-pack: cannot read %s\n", path.c_str());
            return 1;
        }
        total += static_cast<uint64_t>(size);
        if (total >= kDpmxPositionLimit) {
            std::fprintf(s_err, "tolvo-pack: the pack would reach 2 GiB at %s; tovdpmread reads only below that\n",
                         path.c_str());
            return 1;
        }
        in.size = static_cast<uint32_t>(size);
        inputs.push_back(in);
    }

    std::string head(kDpmxHeaderSize, '\0');
    const uint32_t count = static_cast<uint32_t>(inputs.size());
    std::memcpy(&head[0], kDpmxMagic, sizeof kDpmxMagic);
    storeLe32(reinterpret_cast<unsigned char*>(&head[4]), kDpmxHeaderSize + kDpmxRecordSize * count);
    storeLe32(reinterpret_cast<unsigned char*>(&head[8]), count);
    uint32_t offset = 0;
    for (const Input& in : inputs) {
        unsigned char record[kDpmxRecordSize] = {};
        std::memcpy(record, in.name.data(), in.name.size());
        storeLe32(record + kDpmxOffsetField, offset);
        storeLe32(record + kDpmxSizeField, in.size);
        head.append(reinterpret_cast<const char*>(record), sizeof record);
        offset += in.size;
    }

    FILE* out = std::fopen(packFile.c_str(), "wb");
    if (!out) {
        std::fprintf(s_err, "tolvo-pack: cannot create %s\n", packFile.c_str());
        return 1;
    }
    bool ok = std::fwrite(head.data(), 1, head.size(), out) == head.size();
    for (size_t i = 0; ok && i < inputs.size(); ++i) {
        FILE* f = std::fopen(inputs[i].path.c_str(), "rb");
        ok = f && copyBytes(f, out, inputs[i].size);
        if (f)
            std::fclose(f);
        if (!ok)
            std::fprintf(s_err, "tolvo-pack: %s could not be read whole\n", inputs[i].path.c_str());
    }
    if (std::fclose(out) != 0)
        ok = false;
    if (!ok) {
        std::fprintf(s_err, "tolvo-pack: %s was not written\n", packFile.c_str());
        std::remove(packFile.c_str());
        return 1;
    }
    std::fprintf(s_out, "%s: %u entries, %llu bytes\n", packFile.c_str(), count, static_cast<unsigned long long>(total));
    return 0;
}

int list(const std::string& packText)
{
    Pack pack;
    if (!readPack(packText, pack))
        return 1;
    std::fprintf(s_out, "%s at position %u: %u entries, data start %u\n", pack.file.c_str(), pack.base, pack.count,
                 pack.dataStart);
    if (pack.count >= kDpmxPositionLimit)
        std::fprintf(s_out, "the count is 2^31 or more: tovdpmload takes it as no entries\n");
    std::fprintf(s_out, "%-23s %10s %10s\n", "name", "size", "offset");
    for (const Record& r : pack.records)
        std::fprintf(s_out, "%-23s %10u %10u\n", r.name.c_str(), r.size, r.offset);
    if (pack.records.size() < pack.count && pack.count < kDpmxPositionLimit)
        std::fprintf(s_out, "the file ends after %u of the %u records\n", static_cast<unsigned>(pack.records.size()),
                     pack.count);
    return 0;
}

// Writes the entry's data to dir/name; false with a message when it cannot.
bool extractOne(const Pack& pack, const Record& r, const std::string& dir)
{
    if (!r.terminated || !safeFileName(r.name)) {
        std::fprintf(s_err, "tolvo-pack: the entry \"%s\" has no name a file can take\n", r.name.c_str());
        return false;
    }
    const int64_t position = dataPosition(pack, r);
    if (position < 0 || position + r.size > pack.fileSize) {
        std::fprintf(s_err, "tolvo-pack: the data of \"%s\" lie outside the file\n", r.name.c_str());
        return false;
    }
    FILE* in = std::fopen(pack.file.c_str(), "rb");
    if (!in || !seekTo(in, static_cast<uint64_t>(position))) {
        if (in)
            std::fclose(in);
        std::fprintf(s_err, "tolvo-pack: cannot read %s\n", pack.file.c_str());
        return false;
    }
    const std::string path = dir + "/" + r.name;
    FILE* out = std::fopen(path.c_str(), "wb");
    bool ok = out && copyBytes(in, out, r.size);
    std::fclose(in);
    if (out && std::fclose(out) != 0)
        ok = false;
    if (!ok) {
        std::fprintf(s_err, "tolvo-pack: cannot write %s\n", path.c_str());
        if (out)
            std::remove(path.c_str());
        return false;
    }
    std::fprintf(s_out, "%s %u\n", path.c_str(), r.size);
    return true;
}

int extract(const std::string& packText, const std::string& dir, const std::vector<std::string>& names)
{
    Pack pack;
    if (!readPack(packText, pack))
        return 1;
    int failures = 0;
    if (names.empty()) {
        // Every entry that tovdpmread can reach: a later one of the same name
        // is hidden by the first.
        for (size_t i = 0; i < pack.records.size(); ++i) {
            const Record& r = pack.records[i];
            bool hidden = false;
            for (size_t j = 0; j < i && !hidden; ++j)
                hidden = pack.records[j].terminated && r.terminated && pack.records[j].name == r.name;
            if (hidden) {
                std::fprintf(s_err, "tolvo-pack: skipped a second entry \"%s\"\n", r.name.c_str());
                continue;
            }
            failures += !extractOne(pack, r, dir);
        }
    } else {
        for (const std::string& name : names) {
            const Record* r = lookUp(pack, name);
            if (!r) {
                std::fprintf(s_err, "tolvo-pack: no entry \"%s\" in %s\n", name.c_str(), pack.file.c_str());
                ++failures;
                continue;
            }
            failures += !extractOne(pack, *r, dir);
        }
    }
    return failures ? 1 : 0;
}

int verify(const std::string& packText)
{
    Pack pack;
    if (!readPack(packText, pack))
        return 1;
    int problems = 0;
    auto problem = [&](const std::string& text) {
        std::fprintf(s_err, "%s: %s\n", pack.file.c_str(), text.c_str());
        ++problems;
    };
    using std::to_string;
    if (pack.count >= kDpmxPositionLimit)
        problem("the entry count " + to_string(pack.count) + " is 2^31 or more: no entry can be found");
    else if (pack.records.size() < pack.count)
        problem("the file ends after " + to_string(pack.records.size()) + " of the " + to_string(pack.count) +
                " directory records");
    for (size_t i = 0; i < pack.records.size(); ++i) {
        const Record& r = pack.records[i];
        const std::string label = "record " + to_string(i) + " \"" + r.name + "\": ";
        if (!r.terminated) {
            problem(label + "the name has no terminating zero in its 24 bytes");
            continue;
        }
        if (lowered(r.name) != r.name)
            problem(label + "the name holds capitals and can never be found");
        else if (lookUp(pack, r.name) != &r)
            problem(label + "an earlier entry of the same name hides it");
        const int64_t position = dataPosition(pack, r);
        if (position < 0)
            problem(label + "the data lie at 2 GiB or beyond");
        else if (position + r.size > pack.fileSize)
            problem(label + "the data end at " + to_string(position + r.size) + ", beyond the end of the file");
        if (r.size > kDpmxMaxEntrySize)
            problem(label + "the size " + to_string(r.size) + " is too large for a variable");
    }
    if (problems) {
        std::fprintf(s_err, "%s: %d problem(s)\n", pack.file.c_str(), problems);
        return 1;
    }
    std::fprintf(s_out, "%s at position %u: %u entries, all readable\n", pack.file.c_str(), pack.base, pack.count);
    return 0;
}

int append(const std::string& hostFile, const std::string& packFile)
{
    FILE* in = std::fopen(packFile.c_str(), "rb");
    if (!in) {
        std::fprintf(s_err, "tolvo-pack: cannot open %s\n", packFile.c_str());
        return 1;
    }
    const int64_t packSize = fileSize(in);
    unsigned char magic[4] = {};
    if (packSize < kDpmxHeaderSize || std::fread(magic, 1, 4, in) != 4 ||
        std::memcmp(magic, kDpmxMagic, sizeof magic) != 0) {
        std::fprintf(s_err, "tolvo-pack: %s is not a DPMX pack\n", packFile.c_str());
        std::fclose(in);
        return 1;
    }
    if (sameFile(hostFile, packFile)) {
        std::fprintf(s_err, "tolvo-pack: %s cannot be appended to itself\n", packFile.c_str());
        std::fclose(in);
        return 1;
    }
    // The file must exist: a mistyped name would otherwise become a copy.
    FILE* out = std::fopen(hostFile.c_str(), "r+b");
    if (!out) {
        std::fclose(in);
        std::fprintf(s_err, "tolvo-pack: cannot open %s for writing\n", hostFile.c_str());
        return 1;
    }
    const int64_t position = fileSize(out);
    if (position < 0 || position + packSize >= kDpmxPositionLimit) {
        std::fclose(in);
        std::fclose(out);
        std::fprintf(s_err, "tolvo-pack: the pack would reach 2 GiB in %s; tovdpmread reads only below that\n",
                     hostFile.c_str());
        return 1;
    }
    bool ok = seekTo(in, 0) && seekTo(out, static_cast<uint64_t>(position)) &&
              copyBytes(in, out, static_cast<uint64_t>(packSize));
    std::fclose(in);
    if (std::fclose(out) != 0)
        ok = false;
    if (!ok) {
        std::fprintf(s_err, "tolvo-pack: appending to %s failed; it may hold part of the pack\n", hostFile.c_str());
        return 1;
    }
    std::fprintf(s_out, "%s,%lld\n", hostFile.c_str(), static_cast<long long>(position));
    return 0;
}

int usage(FILE* to, int status)
{
    std::fputs(kUsage, to);
    return status;
}

} // namespace

int packMain(int argc, char** argv, FILE* out, FILE* err)
{
    s_out = out;
    s_err = err;
    if (argc < 2)
        return usage(s_err, 2);
    const std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);

    if (command == "help" || command == "-h" || command == "--help")
        return usage(s_out, 0);
    if (command == "create" && args.size() >= 2)
        return create(args[0], std::vector<std::string>(args.begin() + 1, args.end()));
    if (command == "list" && args.size() == 1)
        return list(args[0]);
    if (command == "verify" && args.size() == 1)
        return verify(args[0]);
    if (command == "append" && args.size() == 2)
        return append(args[0], args[1]);
    if (command == "extract" && !args.empty()) {
        std::string dir = ".";
        std::vector<std::string> names;
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "-o" && i + 1 < args.size())
                dir = args[++i];
            else
                names.push_back(args[i]);
        }
        return extract(args[0], dir, names);
    }
    return usage(s_err, 2);
}

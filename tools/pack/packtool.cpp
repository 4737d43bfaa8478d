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
// of the file (0 when there is no comma). Options may stand anywhere.
//
// Entry names are code page 932 bytes, as scripts pass them, lowered byte by
// byte exactly as the reader lowers its key: also a second byte of a
// double-byte character from 0x41 to 0x5A ("ア", 83 41, is stored as 83 61),
// while 0x5C ("表", 95 5C) stays as it is.
#include "packtool.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cmdline.h"
#include "files.h"
#include "names.h"
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
    "Options may stand anywhere. -o DIR (--output) is the folder extract writes\n"
    "into, made when missing; -o - writes the one NAME to standard output.\n"
    "create writes the pack to standard output when PACK is -.\n"
    "Entry names are the files' names in code page 932, lowered, 1 to 23 bytes.\n"
    "append prints FILE,POSITION: the text to give to tovdpmload.\n"
    "--help shows this, --version the version.\n"
    "Exit status: 0 done, 1 failed (or verify found problems), 2 wrong usage.\n";

const std::vector<ToolOption> kOptions = {
    {"--output", 'o', true},
    {"--help", 'h', false},
    {"--version", 0, false},
};

// "tolvo-pack: " and the message on the error stream; gives status back.
int say(int status, const char* format, ...)
{
    std::fputs("tolvo-pack: ", s_err);
    va_list args;
    va_start(args, format);
    std::vfprintf(s_err, format, args);
    va_end(args);
    std::fputc('\n', s_err);
    return status;
}

int usageError(const std::string& what)
{
    say(2, "%s", what.c_str());
    std::fputs(kUsage, s_err);
    return 2;
}

// Copies n bytes. On failure `error` says which side failed and why: the
// source (named `from`) ended early or could not be read, or the output
// (named `to`) could not be written.
bool copyBytes(FILE* in, const std::string& from, FILE* out, const std::string& to, uint64_t n, std::string& error)
{
    std::vector<char> buf(1 << 16);
    while (n > 0) {
        const size_t want = n < buf.size() ? static_cast<size_t>(n) : buf.size();
        const size_t got = std::fread(buf.data(), 1, want, in);
        if (got == 0) {
            error = std::ferror(in) ? "cannot read " + from + ": " + lastSystemError() : from + " ended early";
            return false;
        }
        if (std::fwrite(buf.data(), 1, got, out) != got) {
            error = "cannot write " + to + ": " + lastSystemError();
            return false;
        }
        n -= got;
    }
    return true;
}

// The next n bytes of both files are equal.
bool sameBytes(FILE* a, FILE* b, uint64_t n)
{
    std::vector<char> x(1 << 16), y(1 << 16);
    while (n > 0) {
        const size_t want = n < x.size() ? static_cast<size_t>(n) : x.size();
        if (std::fread(x.data(), 1, want, a) != want || std::fread(y.data(), 1, want, b) != want ||
            std::memcmp(x.data(), y.data(), want) != 0)
            return false;
        n -= want;
    }
    return true;
}

// Every byte lowered as the reader lowers its key, second bytes of
// double-byte characters included.
std::string lowered(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        c = static_cast<char>(lowerNameByte(static_cast<unsigned char>(c)));
    return r;
}

// Only the single-byte characters lowered: how the file's own name reads
// once lowered, next to the stored name, whose lowering may also have
// reached into a double-byte character ("ア", 83 41, is stored as "ヂ").
std::string loweredCharacters(const std::string& cp932)
{
    std::string r = cp932;
    for (size_t i = 0; i < r.size(); i += cp932CharLength(r, i))
        if (cp932CharLength(r, i) == 1)
            r[i] = static_cast<char>(lowerNameByte(static_cast<unsigned char>(r[i])));
    return r;
}

// A name that can be written into the output folder as one file there.
bool safeFileName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || !separatorsIn(name).empty())
        return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
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

// The name as the user sees it: quoted, shown in the system's code.
std::string quoted(const std::string& cp932)
{
    return "\"" + printableName(cp932) + "\"";
}

// "file[,position]": a file of the whole name is taken as it is (its name
// may hold commas); otherwise the text after the last comma is the position.
void splitPackText(const std::string& text, std::string& file, std::string& position)
{
    FileId id;
    const size_t comma = text.rfind(',');
    if (comma == std::string::npos || fileIdentity(text, id)) {
        file = text;
        position.clear();
    } else {
        file = text.substr(0, comma);
        position = text.substr(comma + 1);
    }
}

// Reads the header and directory of the pack that "file[,position]" names.
bool readPack(const std::string& packText, Pack& pack)
{
    std::string positionText;
    splitPackText(packText, pack.file, positionText);
    const int64_t position = positionText.empty() ? 0 : parsePackPosition(positionText.c_str());
    if (position < 0 || position >= kDpmxPositionLimit) {
        say(1, "%s: the position must lie from 0 to 2147483647", packText.c_str());
        return false;
    }
    pack.base = static_cast<uint32_t>(position);
    if (isFolder(pack.file)) {
        say(1, "%s is a folder, not a pack", pack.file.c_str());
        return false;
    }
    FILE* f = std::fopen(pack.file.c_str(), "rb");
    if (!f) {
        say(1, "cannot open %s: %s", pack.file.c_str(), lastSystemError().c_str());
        return false;
    }
    pack.fileSize = streamSize(f);
    unsigned char header[kDpmxHeaderSize];
    if (!seekStream(f, pack.base) || std::fread(header, 1, sizeof header, f) != sizeof header ||
        std::memcmp(header, kDpmxMagic, sizeof kDpmxMagic) != 0) {
        say(1, "%s holds no DPMX pack at position %u", pack.file.c_str(), pack.base);
        std::fclose(f);
        return false;
    }
    pack.dataStart = loadLe32(header + kDpmxDataStartField);
    pack.count = loadLe32(header + kDpmxCountField);
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

void warnIfEmpty(const std::string& file, uint32_t count)
{
    if (count == 0)
        say(0, "warning: %s holds no entries: tovdpmload opens it, every read fails, and the next tovdpmload "
               "replaces it",
            file.c_str());
}

// Where the reader finds an entry's data: the data base wraps modulo 2^32
// as the reader's does. -1 when the reader cannot seek there.
int64_t dataPosition(const Pack& pack, const Record& r)
{
    const uint32_t position = pack.dataStart + pack.base + r.offset;
    return position < kDpmxPositionLimit ? static_cast<int64_t>(position) : -1;
}

// The record the reader finds for a code page 932 key (lowered, first
// match), or null.
const Record* lookUp(const Pack& pack, const std::string& key932)
{
    const std::string key = lowered(key932);
    if (key.size() >= kDpmxRecordSize)
        return nullptr;
    for (const Record& r : pack.records) {
        if (std::memcmp(r.raw, key.c_str(), key.size() + 1) == 0)
            return &r;
    }
    return nullptr;
}

// A file that goes into a pack being made.
struct Input {
    std::string path;
    std::string original; // the file's name in code page 932
    std::string name;     // as stored: lowered
    uint32_t size;
};

// An input that is the pack would be replaced by it: refused before anything
// is read or written. 0, or the status said.
int refuseTarget(const std::string& packFile, const std::vector<std::string>& files)
{
    if (packFile == "-")
        return 0;
    for (const std::string& path : files)
        if (sameFile(path, packFile))
            return say(2, "%s is the pack being made (%s); it would be replaced by the pack", path.c_str(),
                       packFile.c_str());
    if (isFolder(packFile))
        return say(1, "%s is a folder, not a pack", packFile.c_str());
    return 0;
}

// Each file's entry name and size, and the pack's size in `total`. 0, or the
// status said about the first file that cannot go in.
int gatherInputs(const std::vector<std::string>& files, std::vector<Input>& inputs, uint64_t& total)
{
    total = kDpmxHeaderSize + uint64_t{kDpmxRecordSize} * files.size();
    for (const std::string& path : files) {
        if (isFolder(path))
            return say(1, "%s is a folder; a pack holds files", path.c_str());
        const std::string base = baseName(path);
        std::string cp932;
        if (!nameToCp932(base, cp932))
            return say(1, "%s: code page 932 cannot hold the name \"%s\", and scripts name entries in code page 932",
                       path.c_str(), base.c_str());
        Input in{path, cp932, lowered(cp932), 0};
        if (in.name.empty() || in.name.size() > kDpmxMaxName)
            return say(1, "%s: the entry name \"%s\" is %u bytes long in code page 932; names hold 1 to 23 bytes",
                       path.c_str(), base.c_str(), static_cast<unsigned>(in.name.size()));
        for (const Input& other : inputs) {
            if (other.name == in.name)
                return say(1, "%s and %s would both be the entry %s", other.path.c_str(), path.c_str(),
                           quoted(in.name).c_str());
        }
        FILE* f = std::fopen(path.c_str(), "rb");
        const std::string reason = f ? "its size is unknown" : lastSystemError();
        const int64_t size = f ? streamSize(f) : -1;
        if (f)
            std::fclose(f);
        if (size < 0)
            return say(1, "cannot read %s: %s", path.c_str(), reason.c_str());
        total += static_cast<uint64_t>(size);
        if (total >= kDpmxPositionLimit)
            return say(1, "the pack would reach 2 GiB at %s; tovdpmread reads only below that", path.c_str());
        in.size = static_cast<uint32_t>(size);
        inputs.push_back(in);
    }
    return 0;
}

// The header and the directory: the data follows them, in the inputs' order.
std::string packHead(const std::vector<Input>& inputs)
{
    std::string head(kDpmxHeaderSize, '\0');
    const uint32_t count = static_cast<uint32_t>(inputs.size());
    unsigned char* header = reinterpret_cast<unsigned char*>(&head[0]);
    std::memcpy(header, kDpmxMagic, sizeof kDpmxMagic);
    storeLe32(header + kDpmxDataStartField, kDpmxHeaderSize + kDpmxRecordSize * count);
    storeLe32(header + kDpmxCountField, count);
    uint32_t offset = 0;
    for (const Input& in : inputs) {
        unsigned char record[kDpmxRecordSize] = {};
        std::memcpy(record, in.name.data(), in.name.size());
        storeLe32(record + kDpmxOffsetField, offset);
        storeLe32(record + kDpmxSizeField, in.size);
        head.append(reinterpret_cast<const char*>(record), sizeof record);
        offset += in.size;
    }
    return head;
}

// The pack, written beside its target and renamed over it (or to standard
// output). 0, or the status said.
int writePack(const std::string& packFile, const std::vector<Input>& inputs)
{
    const std::string head = packHead(inputs);
    OutputFile out;
    std::string error;
    if (!openOutput(packFile, s_out, out, error))
        return say(1, "%s", error.c_str());
    bool ok = std::fwrite(head.data(), 1, head.size(), out.stream) == head.size();
    if (!ok)
        error = writeError(out);
    for (size_t i = 0; ok && i < inputs.size(); ++i) {
        FILE* f = std::fopen(inputs[i].path.c_str(), "rb");
        if (!f)
            error = "cannot read " + inputs[i].path + ": " + lastSystemError();
        ok = f && copyBytes(f, inputs[i].path, out.stream, packFile == "-" ? "to standard output" : packFile,
                            inputs[i].size, error);
        if (f)
            std::fclose(f);
    }
    if (!ok) {
        discardOutput(out);
        return say(1, "%s; %s was not written", error.c_str(), packFile.c_str());
    }
    if (!commitOutput(out, error))
        return say(1, "%s", error.c_str());
    return 0;
}

// ---- commands ----------------------------------------------------------

int create(const std::string& packFile, const std::vector<std::string>& files)
{
    std::vector<Input> inputs;
    uint64_t total = 0;
    if (const int status = refuseTarget(packFile, files))
        return status;
    if (const int status = gatherInputs(files, inputs, total))
        return status;
    if (const int status = writePack(packFile, inputs))
        return status;

    // With the pack on standard output, what is said goes to the error stream.
    FILE* info = packFile == "-" ? s_err : s_out;
    const uint32_t count = static_cast<uint32_t>(inputs.size());
    std::fprintf(info, "%s: %s, %s\n", packFile.c_str(), counted(count, "entry", "entries").c_str(),
                 counted(total, "byte", "bytes").c_str());
    for (const Input& in : inputs) {
        if (printableName(in.name) != printableName(loweredCharacters(in.original)))
            std::fprintf(info, "%s is stored as %s: names are lowered byte by byte, and scripts find it by either name\n",
                         in.path.c_str(), quoted(in.name).c_str());
    }
    warnIfEmpty(packFile, count);
    return 0;
}

int list(const std::string& packText)
{
    Pack pack;
    if (!readPack(packText, pack))
        return 1;
    std::fprintf(s_out, "%s at position %u: %s, data start %u\n", pack.file.c_str(), pack.base,
                 counted(pack.count, "entry", "entries").c_str(), pack.dataStart);
    if (pack.count >= kDpmxPositionLimit)
        std::fprintf(s_out, "the count is 2^31 or more: tovdpmload takes it as no entries\n");
    std::fprintf(s_out, "%-23s %10s %10s\n", "name", "size", "offset");
    for (const Record& r : pack.records) {
        // Columns by code page 932 bytes: a double-byte character is as wide
        // as two single-byte ones on a terminal.
        const std::string shown = printableName(r.name);
        const size_t pad = r.name.size() < kDpmxMaxName ? kDpmxMaxName - r.name.size() : 0;
        std::fprintf(s_out, "%s%*s %10u %10u\n", shown.c_str(), static_cast<int>(pad), "", r.size, r.offset);
    }
    if (pack.records.size() < pack.count && pack.count < kDpmxPositionLimit)
        std::fprintf(s_out, "the file ends after %u of the %s\n", static_cast<unsigned>(pack.records.size()),
                     counted(pack.count, "record", "records").c_str());
    warnIfEmpty(pack.file, pack.count);
    return 0;
}

// The file that the entry is extracted to, in dir: false, said, when the
// entry's name cannot name a file here, or the file is the pack or one that
// this run wrote from another entry.
bool entryTarget(const Pack& pack, const Record& r, const std::string& dir, const std::vector<FileId>& written,
                 std::string& target)
{
    std::string fileName;
    if (r.terminated && !nameFromCp932(r.name, fileName)) {
        say(1, "the entry %s cannot be named in %s, the code of file names here", quoted(r.name).c_str(),
            systemNameCodeText().c_str());
        return false;
    }
    if (!r.terminated || !safeFileName(fileName)) {
        say(1, "the entry %s has no name a file can take here", quoted(r.name).c_str());
        return false;
    }
    target = dir + "/" + fileName;
    if (sameFile(target, pack.file)) {
        say(1, "%s is the pack itself; the entry %s is not extracted over it", target.c_str(),
            quoted(r.name).c_str());
        return false;
    }
    FileId id;
    if (fileIdentity(target, id)) {
        for (const FileId& w : written)
            if (w == id) {
                say(1, "the entry %s would replace %s, written from another entry just before", quoted(r.name).c_str(),
                    target.c_str());
                return false;
            }
    }
    return true;
}

// Writes the entry's data to dir/NAME (or standard output for dir "-");
// false with a message when it cannot. `written` holds the files this run
// wrote, which a later entry must not replace.
bool extractOne(const Pack& pack, FILE* in, const Record& r, const std::string& dir, std::vector<FileId>& written)
{
    std::string target = "-";
    if (dir != "-" && !entryTarget(pack, r, dir, written, target))
        return false;
    const int64_t position = dataPosition(pack, r);
    if (position < 0 || position + r.size > pack.fileSize) {
        say(1, "the data of %s lie outside the file", quoted(r.name).c_str());
        return false;
    }
    OutputFile out;
    std::string error;
    if (!openOutput(target, s_out, out, error)) {
        say(1, "%s", error.c_str());
        return false;
    }
    if (!seekStream(in, static_cast<uint64_t>(position)))
        error = "cannot read " + pack.file + ": " + lastSystemError();
    else
        copyBytes(in, pack.file, out.stream, target == "-" ? "to standard output" : target, r.size, error);
    if (!error.empty()) {
        discardOutput(out);
        say(1, "cannot extract %s: %s", quoted(r.name).c_str(), error.c_str());
        return false;
    }
    if (!commitOutput(out, error)) {
        say(1, "%s", error.c_str());
        return false;
    }
    if (dir != "-") {
        FileId id;
        if (fileIdentity(target, id))
            written.push_back(id);
        std::fprintf(s_out, "%s %u\n", target.c_str(), r.size);
    }
    return true;
}

int extract(const std::string& packText, const std::string& dir, const std::vector<std::string>& names)
{
    Pack pack;
    if (!readPack(packText, pack))
        return 1;
    int failures = 0;
    std::vector<const Record*> chosen;
    if (names.empty()) {
        // Every entry that tovdpmread can reach: a later one of the same name
        // is hidden by the first, and is not written (exit status 1).
        for (size_t i = 0; i < pack.records.size(); ++i) {
            const Record& r = pack.records[i];
            bool hidden = false;
            for (size_t j = 0; j < i && !hidden; ++j)
                hidden = pack.records[j].terminated && r.terminated && pack.records[j].name == r.name;
            if (hidden) {
                say(1, "skipped a second entry %s", quoted(r.name).c_str());
                ++failures;
            } else {
                chosen.push_back(&r);
            }
        }
        warnIfEmpty(pack.file, pack.count);
    } else {
        for (const std::string& name : names) {
            std::string key;
            const Record* r = nameToCp932(name, key) ? lookUp(pack, key) : nullptr;
            if (r) {
                chosen.push_back(r);
            } else {
                say(1, "no entry \"%s\" in %s", name.c_str(), pack.file.c_str());
                ++failures;
            }
        }
    }
    if (chosen.empty())
        return failures ? 1 : 0;

    std::string error;
    if (dir != "-" && !makeFolders(dir, error))
        return say(1, "%s", error.c_str());
    FILE* in = std::fopen(pack.file.c_str(), "rb");
    if (!in)
        return say(1, "cannot open %s: %s", pack.file.c_str(), lastSystemError().c_str());
    std::vector<FileId> written;
    for (const Record* r : chosen)
        failures += !extractOne(pack, in, *r, dir, written);
    std::fclose(in);
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
        problem("the file ends after " + to_string(pack.records.size()) + " of the " +
                counted(pack.count, "directory record", "directory records"));
    for (size_t i = 0; i < pack.records.size(); ++i) {
        const Record& r = pack.records[i];
        const std::string label = "record " + to_string(i) + " " + quoted(r.name) + ": ";
        // A script passes the name in code page 932; the reader lowers it
        // byte by byte and compares bytes. A stored byte from 0x41 to 0x5A
        // (also a second byte) therefore never matches.
        if (!r.terminated) {
            problem(label + "the name has no terminating zero in its 24 bytes");
            continue;
        }
        if (lowered(r.name) != r.name)
            problem(label + "the name holds capitals and can never be found");
        else if (!isCp932Text(r.name))
            problem(label + "the name is not code page 932 text: no script can spell it");
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
        std::fprintf(s_err, "%s: %s\n", pack.file.c_str(), counted(problems, "problem", "problems").c_str());
        return 1;
    }
    std::fprintf(s_out, "%s at position %u: %s\n", pack.file.c_str(), pack.base,
                 pack.count == 1 ? "1 entry, readable" : (counted(pack.count, "entry", "entries") + ", all readable").c_str());
    warnIfEmpty(pack.file, pack.count);
    return 0;
}

// The pack (`in`, packSize bytes, which this closes) appended to hostFile in
// place: the file keeps its owner, mode, links and attributes; on a failure
// or an interruption it is cut back to its old length. Prints the text for
// tovdpmload; 0, or the status said.
int appendInPlace(const std::string& hostFile, const std::string& packFile, FILE* in, int64_t packSize)
{
    ExtendedFile extended;
    std::string error;
    bool ok = openForExtending(hostFile, extended, error);
    if (ok && !seekStream(in, 0))
        error = "cannot read " + packFile + ": " + lastSystemError();
    if (ok && (!error.empty() ||
               !copyBytes(in, packFile, extended.stream, hostFile, static_cast<uint64_t>(packSize), error))) {
        abandonExtending(extended);
        error += "; " + hostFile + " is as it was";
        ok = false;
    }
    std::fclose(in);
    if (!ok || !finishExtending(extended, error))
        return say(1, "%s", error.c_str());
    std::fprintf(s_out, "%s,%llu\n", hostFile.c_str(), static_cast<unsigned long long>(extended.length));
    if (hostFile.find(',') != std::string::npos)
        say(0, "warning: tovdpmload cuts its text at the first comma and cannot open %s; rename it",
            hostFile.c_str());
    return 0;
}

int append(const std::string& hostFile, const std::string& packFile)
{
    if (sameFile(hostFile, packFile))
        return say(2, "%s and %s are one file; a pack cannot be appended to itself", hostFile.c_str(),
                   packFile.c_str());
    for (const std::string* name : {&packFile, &hostFile})
        if (isFolder(*name))
            return say(1, "%s is a folder", name->c_str());
    FILE* in = std::fopen(packFile.c_str(), "rb");
    if (!in)
        return say(1, "cannot open %s: %s", packFile.c_str(), lastSystemError().c_str());
    const int64_t packSize = streamSize(in);
    unsigned char magic[4] = {};
    if (packSize < kDpmxHeaderSize || std::fread(magic, 1, 4, in) != 4 ||
        std::memcmp(magic, kDpmxMagic, sizeof magic) != 0) {
        std::fclose(in);
        return say(1, "%s is not a DPMX pack", packFile.c_str());
    }
    // The file must exist: a mistyped name would otherwise become a copy.
    FILE* host = std::fopen(hostFile.c_str(), "rb");
    if (!host) {
        std::fclose(in);
        return say(1, "cannot open %s: %s", hostFile.c_str(), lastSystemError().c_str());
    }
    const int64_t hostSize = streamSize(host);

    // Appending the same pack twice gains nothing: the copy already at the
    // end is the one to load.
    if (hostSize >= packSize && seekStream(host, static_cast<uint64_t>(hostSize - packSize)) && seekStream(in, 0) &&
        sameBytes(host, in, static_cast<uint64_t>(packSize))) {
        std::fclose(in);
        std::fclose(host);
        say(0, "warning: %s already ends with %s; nothing appended", hostFile.c_str(), packFile.c_str());
        std::fprintf(s_out, "%s,%lld\n", hostFile.c_str(), static_cast<long long>(hostSize - packSize));
        return 0;
    }
    if (hostSize < 0 || hostSize + packSize >= kDpmxPositionLimit) {
        std::fclose(in);
        std::fclose(host);
        return say(1, "the pack would reach 2 GiB in %s; tovdpmread reads only below that", hostFile.c_str());
    }

    std::fclose(host);
    return appendInPlace(hostFile, packFile, in, packSize);
}

// The file part of a pack text is standard input's "-".
bool namesStandardInput(const std::string& text)
{
    std::string file, position;
    splitPackText(text, file, position);
    return file == "-";
}

// A command with its operands (and extract with its folder): what it
// answers, or the usage error.
int runOperands(const std::string& command, const std::vector<std::string>& rest, const ToolArgs& args)
{
    // The operands a command takes: at least `least`, at most `most`.
    auto arity = [&](size_t least, size_t most, const char* what) -> std::string {
        if (rest.size() < least)
            return command + " needs " + what;
        if (rest.size() > most)
            return command + " takes " + what + "; '" + rest[most] + "' is one too many";
        return "";
    };
    const std::string stdinText = "'-' would be standard input, which tolvo-pack does not read; name a file";

    if (command == "create") {
        if (const std::string e = arity(1, SIZE_MAX, "the pack's name and its files"); !e.empty())
            return usageError(e);
        for (size_t i = 1; i < rest.size(); ++i)
            if (rest[i] == "-")
                return usageError(stdinText);
        return create(rest[0], std::vector<std::string>(rest.begin() + 1, rest.end()));
    }
    if (command == "list" || command == "verify") {
        if (const std::string e = arity(1, 1, "one pack"); !e.empty())
            return usageError(e);
        if (namesStandardInput(rest[0]))
            return usageError(stdinText);
        return command == "list" ? list(rest[0]) : verify(rest[0]);
    }
    if (command == "append") {
        if (const std::string e = arity(2, 2, "the file to append to and the pack"); !e.empty())
            return usageError(e);
        if (rest[0] == "-" || rest[1] == "-")
            return usageError("append changes HOSTFILE in place and reads PACK from a file; '-' is neither");
        return append(rest[0], rest[1]);
    }
    if (command == "extract") {
        if (const std::string e = arity(1, SIZE_MAX, "a pack"); !e.empty())
            return usageError(e);
        if (namesStandardInput(rest[0]))
            return usageError(stdinText);
        const std::string dir = hasOption(args, "--output") ? optionValue(args, "--output") : ".";
        if (dir.empty())
            return usageError("-o needs a folder");
        if (dir == "-" && rest.size() != 2)
            return usageError("-o - writes one entry to standard output; name exactly one entry");
        return extract(rest[0], dir, std::vector<std::string>(rest.begin() + 1, rest.end()));
    }
    return usageError("unknown command '" + command + "'");
}

int runCommand(int argc, char** argv)
{
    ToolArgs args;
    std::string error;
    if (!parseToolArgs(argc, argv, kOptions, args, error))
        return usageError(error);
    if (hasOption(args, "--help")) {
        std::fputs(kUsage, s_out);
        return 0;
    }
    if (hasOption(args, "--version")) {
        printVersion(s_out, "tolvo-pack");
        return 0;
    }
    if (args.operands.empty())
        return usageError("no command given");
    const std::string command = args.operands[0];
    const std::vector<std::string> rest(args.operands.begin() + 1, args.operands.end());
    if (command == "help") {
        std::fputs(kUsage, s_out);
        return 0;
    }
    if (hasOption(args, "--output") && command != "extract")
        return usageError("-o names the folder of extract; " + command + " takes no -o");

    return runOperands(command, rest, args);
}

} // namespace

int packMain(int argc, char** argv, FILE* out, FILE* err)
{
    s_out = out;
    s_err = err;
    return finishOutput(out, err, "tolvo-pack", runCommand(argc, argv));
}

// tolvo-pack: makes and inspects the DPMX packs that tovdpmload opens.
//
//   tolvo-pack create PACK INPUT...       a pack of the inputs
//   tolvo-pack list PACK[,POSITION]       names, sizes and offsets
//   tolvo-pack extract PACK[,POSITION] [-o DIR] [NAME...]
//   tolvo-pack verify PACK[,POSITION]     would every entry read back?
//   tolvo-pack append HOSTFILE PACK       puts the pack at the end of HOSTFILE
//   tolvo-pack append HOSTFILE INPUT...   (or a pack of the inputs) and prints
//                                         the text for tovdpmload
//
// An INPUT is a file (one entry, named after it), a folder (an entry for
// each file below it, named by its path below the folder with '/' between
// the parts, in the order of the stored names' bytes), @LIST (a text file
// of inputs, one a line, in code page 932 or UTF-8) or, on Windows, a
// pattern such as *.dat (the C runtime leaves patterns alone there).
//
// PACK[,POSITION] is the text tovdpmload takes: the pack begins at POSITION
// of the file (0 when there is no comma). Options may stand anywhere.
//
// Entry names are code page 932 bytes, as scripts pass them, lowered byte by
// byte exactly as the reader lowers its key: also a second byte of a
// double-byte character from 0x41 to 0x5A ("ア", 83 41, is stored as 83 61),
// while 0x5C ("表", 95 5C) stays as it is.
#include "packtool.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cmdline.h"
#include "files.h"
#include "messages.h"
#include "names.h"
#include "pack/format.h"

namespace {

FILE* s_out = stdout;
FILE* s_err = stderr;

const std::vector<ToolOption> kOptions = {
    {"--output", 'o', true},
    {"--help", 'h', false},
    {"--version", 0, false},
};

// "tolvo-pack: " and the message on the error stream; gives status back.
int say(int status, const std::string& message)
{
    writeText(s_err, "tolvo-pack: " + message + "\n");
    return status;
}

int usageError(const std::string& what)
{
    say(2, what);
    writeText(s_err, toolText(kPackUsage));
    return 2;
}

// Copies n bytes. On failure `error` says which side failed and why: the
// source (named `from`) ended early or could not be read, or the output
// (named `to`, "-" for standard output) could not be written.
bool copyBytes(FILE* in, const std::string& from, FILE* out, const std::string& to, uint64_t n, std::string& error)
{
    std::vector<char> buf(1 << 16);
    while (n > 0) {
        const size_t want = n < buf.size() ? static_cast<size_t>(n) : buf.size();
        const size_t got = std::fread(buf.data(), 1, want, in);
        if (got == 0) {
            error = std::ferror(in) ? toolText(kToolCannotRead, {from, lastSystemError()}) : toolText(kPackEndedEarly, {from});
            return false;
        }
        if (std::fwrite(buf.data(), 1, got, out) != got) {
            error = to == "-" ? toolText(kToolCannotWriteStandardOutput, {lastSystemError()})
                              : toolText(kToolCannotWrite, {to, lastSystemError()});
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

// A name that can be written below the output folder: '/' between folders
// (as a folder's files are stored), each part a safe file name, so that
// nothing lands outside it.
bool safePath(const std::string& name)
{
    size_t start = 0;
    for (size_t slash; (slash = name.find('/', start)) != std::string::npos; start = slash + 1)
        if (!safeFileName(name.substr(start, slash - start)))
            return false;
    return safeFileName(name.substr(start));
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
        say(1, toolText(kPackPosition, {packText}));
        return false;
    }
    pack.base = static_cast<uint32_t>(position);
    if (isFolder(pack.file)) {
        say(1, toolText(kPackFolderNotPack, {pack.file}));
        return false;
    }
    FILE* f = std::fopen(pack.file.c_str(), "rb");
    if (!f) {
        say(1, toolText(kToolCannotOpen, {pack.file, lastSystemError()}));
        return false;
    }
    pack.fileSize = streamSize(f);
    unsigned char header[kDpmxHeaderSize];
    if (!seekStream(f, pack.base) || std::fread(header, 1, sizeof header, f) != sizeof header ||
        std::memcmp(header, kDpmxMagic, sizeof kDpmxMagic) != 0) {
        say(1, toolText(kPackNoPackThere, {pack.file, std::to_string(pack.base)}));
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
        say(0, toolText(kPackEmpty, {file}));
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
    std::string original; // its entry name in code page 932: the file's name, or its path below a folder
    std::string name;     // as stored: lowered
    uint32_t size;
};

// What the inputs of create or append become, and what they must not be.
struct Gathering {
    std::vector<Input> inputs;
    uint64_t total = 0; // the pack's size
    std::map<std::string, size_t> stored; // the stored names, to the input of each
    bool hasTarget = false;
    FileId target; // the file being written, which no input may be
    const ToolText* isTarget; // what is said of an input that is it
};

// The names in a list file (one a line; code page 932, or UTF-8 with or
// without a byte-order mark), as file names here. 0, or the status said.
int readList(const std::string& list, std::vector<std::string>& names)
{
    FILE* f = std::fopen(list.c_str(), "rb");
    if (!f)
        return say(1, toolText(kToolCannotOpen, {list, lastSystemError()}));
    std::string text;
    char buf[1 << 14];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        text.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        return say(1, toolText(kToolCannotRead, {list, lastSystemError()}));
    const bool bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const bool utf8 = bom || looksLikeUtf8(text);
    size_t start = bom ? 3 : 0;
    for (int line = 1; start < text.size(); ++line) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string written = text.substr(start, end - start), name;
        if (!written.empty() && written.back() == '\r')
            written.pop_back();
        start = end + 1;
        if (written.empty())
            continue;
        if (!fileNameFromText(written, utf8, name))
            return say(1, toolText(kPackListNameUnreadable, {list, std::to_string(line), systemNameCodeText()}));
        names.push_back(name);
    }
    return 0;
}

// One file as an input, entry name `entry` (in the system's code). 0, or
// the status said; `skipped` when it is the target and `quiet` (found in a
// folder: the pack being made may lie in the folder being packed).
int addFile(const std::string& path, const std::string& entry, bool quiet, Gathering& g, bool& skipped)
{
    skipped = false;
    std::string cp932;
    if (!nameToCp932(entry, cp932))
        return say(1, toolText(kPackNameNotCp932, {path, entry}));
    Input in{path, cp932, lowered(cp932), 0};
    if (in.name.empty() || in.name.size() > kDpmxMaxName)
        return say(1, toolText(kPackNameLength, {path, entry, std::to_string(in.name.size())}));
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return say(1, toolText(kToolCannotRead, {path, lastSystemError()}));
    FileId id;
    const bool target = g.hasTarget && streamIdentity(f, id) && id == g.target;
    const int64_t size = streamSize(f);
    std::fclose(f);
    if (target) {
        skipped = quiet;
        return quiet ? 0 : say(2, toolText(*g.isTarget, {path}));
    }
    if (size < 0)
        return say(1, toolText(kToolCannotRead, {path, toolText(kPackSizeUnknown)}));
    const auto [at, fresh] = g.stored.emplace(in.name, g.inputs.size());
    if (!fresh)
        return say(1, toolText(kPackSameEntry, {g.inputs[at->second].path, path, quoted(in.name)}));
    g.total += kDpmxRecordSize + static_cast<uint64_t>(size);
    if (g.total >= kDpmxPositionLimit)
        return say(1, toolText(kPackReaches2GiB, {path}));
    in.size = static_cast<uint32_t>(size);
    g.inputs.push_back(in);
    return 0;
}

// A file or a folder as inputs: a folder's files named by their paths
// below it, in the order of their stored names. 0, or the status said.
int addFileOrFolder(const std::string& path, Gathering& g)
{
    bool skipped = false;
    if (!isFolder(path))
        return addFile(path, baseName(path), false, g, skipped);
    std::vector<std::string> below;
    std::string error;
    if (!filesBelow(path, below, error))
        return say(1, error);
    const std::string folder = path + (separatorsIn(path).empty() || separatorsIn(path).back() != path.size() - 1 ? "/" : "");
    const size_t first = g.inputs.size();
    for (const std::string& name : below)
        if (const int status = addFile(folder + name, name, true, g, skipped))
            return status;
    std::sort(g.inputs.begin() + static_cast<std::ptrdiff_t>(first), g.inputs.end(),
              [](const Input& a, const Input& b) { return a.name < b.name; });
    for (size_t i = first; i < g.inputs.size(); ++i)
        g.stored[g.inputs[i].name] = i;
    return 0;
}

// The inputs that the operands name, with each one's entry name and size,
// and the pack's size. `target`: the file being written ("" for none),
// which no input may be (`isTarget` says so). 0, or the status said about
// the first input that cannot go in.
int gatherInputs(const std::vector<std::string>& operands, const std::string& target, const ToolText& isTarget,
                 Gathering& g)
{
    g.total = kDpmxHeaderSize;
    g.isTarget = &isTarget;
    g.hasTarget = !target.empty() && fileIdentity(target, g.target);
    for (const std::string& operand : operands) {
        std::vector<std::string> paths;
        std::string error;
        if (operand.size() > 1 && operand[0] == '@') {
            if (const int status = readList(operand.substr(1), paths))
                return status;
        } else if (isPattern(operand)) {
            if (!namesMatching(operand, paths, error))
                return say(1, error);
            if (paths.empty())
                return say(1, toolText(kToolNoMatch, {operand}));
        } else {
            paths.push_back(operand);
        }
        for (const std::string& path : paths)
            if (const int status = addFileOrFolder(path, g))
                return status;
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

// The pack's bytes into `out`, whose name `to` messages use ("-" for
// standard output). False with the error.
bool writeInputs(FILE* out, const std::string& to, const std::vector<Input>& inputs, std::string& error)
{
    const std::string head = packHead(inputs);
    if (std::fwrite(head.data(), 1, head.size(), out) != head.size()) {
        error = to == "-" ? toolText(kToolCannotWriteStandardOutput, {lastSystemError()})
                          : toolText(kToolCannotWrite, {to, lastSystemError()});
        return false;
    }
    for (const Input& in : inputs) {
        FILE* f = std::fopen(in.path.c_str(), "rb");
        if (!f) {
            error = toolText(kToolCannotRead, {in.path, lastSystemError()});
            return false;
        }
        const bool copied = copyBytes(f, in.path, out, to, in.size, error);
        std::fclose(f);
        if (!copied)
            return false;
    }
    return true;
}

// The pack, written beside its target and renamed over it (or to standard
// output). 0, or the status said.
int writePack(const std::string& packFile, const std::vector<Input>& inputs)
{
    OutputFile out;
    std::string error;
    if (!openOutput(packFile, s_out, out, error))
        return say(1, error);
    if (!writeInputs(out.stream, packFile, inputs, error)) {
        discardOutput(out);
        return say(1, toolText(kPackNotWritten, {error, packFile}));
    }
    if (!commitOutput(out, error))
        return say(1, error);
    return 0;
}

// What a pack made of inputs holds, and the names that lowering changed
// beyond their letters' case.
void describe(FILE* info, const std::string& packName, const Gathering& g)
{
    const uint64_t count = g.inputs.size();
    writeText(info, toolText(kPackMade, {packName, counted(count, kEntry, kEntries), counted(g.total, kByte, kBytes)}) +
                        "\n");
    for (const Input& in : g.inputs) {
        if (printableName(in.name) != printableName(loweredCharacters(in.original)))
            writeText(info, toolText(kPackStoredAs, {in.path, quoted(in.name)}) + "\n");
    }
}

// ---- commands ----------------------------------------------------------

int create(const std::string& packFile, const std::vector<std::string>& operands)
{
    if (packFile != "-" && isFolder(packFile))
        return say(1, toolText(kPackFolderNotPack, {packFile}));
    Gathering g;
    if (const int status = gatherInputs(operands, packFile == "-" ? "" : packFile, kPackIsPackBeingMade, g))
        return status;
    if (const int status = writePack(packFile, g.inputs))
        return status;
    // With the pack on standard output, what is said goes to the error stream.
    describe(packFile == "-" ? s_err : s_out, packFile, g);
    warnIfEmpty(packFile, static_cast<uint32_t>(g.inputs.size()));
    return 0;
}

int list(const std::string& packText)
{
    Pack pack;
    if (!readPack(packText, pack))
        return 1;
    writeText(s_out, toolText(kPackListed, {pack.file, std::to_string(pack.base), counted(pack.count, kEntry, kEntries),
                                            std::to_string(pack.dataStart)}) +
                         "\n");
    if (pack.count >= kDpmxPositionLimit)
        writeText(s_out, toolText(kPackCountNone) + "\n");
    writeText(s_out, toolText(kPackColumns) + "\n");
    for (const Record& r : pack.records) {
        // Columns by code page 932 bytes: a double-byte character is as wide
        // as two single-byte ones on a terminal.
        const std::string shown = printableName(r.name);
        const size_t pad = r.name.size() < kDpmxMaxName ? kDpmxMaxName - r.name.size() : 0;
        char numbers[32];
        std::snprintf(numbers, sizeof numbers, " %10u %10u\n", r.size, r.offset);
        writeText(s_out, shown + std::string(pad, ' ') + numbers);
    }
    if (pack.records.size() < pack.count && pack.count < kDpmxPositionLimit)
        writeText(s_out, toolText(kPackEndsAfter, {std::to_string(pack.records.size()), counted(pack.count, kRecord, kRecords)}) +
                             "\n");
    warnIfEmpty(pack.file, pack.count);
    return 0;
}

// What an extraction has written so far: the files, which a later entry
// must not replace, and the last folder made for an entry.
struct Extraction {
    bool hasPack = false;
    FileId pack;
    std::vector<FileId> written;
    std::string folderMade;
};

// The file that the entry is extracted to, in dir (in a folder below it
// for a name with '/', which is made): false, said, when the entry's name
// cannot name a file here, or the file is the pack or one that this run
// wrote from another entry.
bool entryTarget(const Record& r, const std::string& dir, Extraction& x, std::string& target, bool& absent)
{
    absent = false;
    std::string fileName;
    if (r.terminated && !nameFromCp932(r.name, fileName)) {
        say(1, toolText(kPackNoNameHere, {quoted(r.name), systemNameCodeText()}));
        return false;
    }
    if (!r.terminated || !safePath(fileName)) {
        say(1, toolText(kPackNoFileName, {quoted(r.name)}));
        return false;
    }
    target = dir + "/" + fileName;
    const std::string folder = target.substr(0, target.size() - baseName(target).size() - 1);
    std::string error;
    if (fileName.find('/') != std::string::npos && folder != x.folderMade) {
        if (!makeFolders(folder, error)) {
            say(1, toolText(kPackCannotExtract, {quoted(r.name), error}));
            return false;
        }
        x.folderMade = folder;
    }
    // Nothing there yet, as far as fileIdentity sees: safePath refused the
    // devices' names, which it cannot see.
    FileId id;
    absent = !fileIdentity(target, id);
    if (absent)
        return true;
    if (x.hasPack && id == x.pack) {
        say(1, toolText(kPackIsThePack, {target, quoted(r.name)}));
        return false;
    }
    if (std::find(x.written.begin(), x.written.end(), id) != x.written.end()) {
        say(1, toolText(kPackWrittenBefore, {quoted(r.name), target}));
        return false;
    }
    return true;
}

// Writes the entry's data to dir/NAME (or standard output for dir "-");
// false with a message when it cannot.
bool extractOne(const Pack& pack, FILE* in, const Record& r, const std::string& dir, Extraction& x)
{
    std::string target = "-";
    bool absent = false;
    if (dir != "-" && !entryTarget(r, dir, x, target, absent))
        return false;
    const int64_t position = dataPosition(pack, r);
    if (position < 0 || position + r.size > pack.fileSize) {
        say(1, toolText(kPackDataOutside, {quoted(r.name)}));
        return false;
    }
    OutputFile out;
    std::string error;
    if (!openOutput(target, s_out, out, error, absent)) {
        say(1, error);
        return false;
    }
    if (!seekStream(in, static_cast<uint64_t>(position)))
        error = toolText(kToolCannotRead, {pack.file, lastSystemError()});
    else
        copyBytes(in, pack.file, out.stream, target, r.size, error);
    if (!error.empty()) {
        discardOutput(out);
        say(1, toolText(kPackCannotExtract, {quoted(r.name), error}));
        return false;
    }
    // The file the output becomes, known before it takes the target's name.
    FileId id;
    const bool known = dir != "-" && streamIdentity(out.stream, id);
    if (!commitOutput(out, error)) {
        say(1, error);
        return false;
    }
    if (dir != "-") {
        if (known)
            x.written.push_back(id);
        writeText(s_out, target + " " + std::to_string(r.size) + "\n");
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
                say(1, toolText(kPackSkippedSecond, {quoted(r.name)}));
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
                say(1, toolText(kPackNoEntry, {name, pack.file}));
                ++failures;
            }
        }
    }
    if (chosen.empty())
        return failures ? 1 : 0;

    std::string error;
    if (dir != "-" && !makeFolders(dir, error))
        return say(1, error);
    FILE* in = std::fopen(pack.file.c_str(), "rb");
    if (!in)
        return say(1, toolText(kToolCannotOpen, {pack.file, lastSystemError()}));
    Extraction x;
    x.hasPack = streamIdentity(in, x.pack);
    for (const Record* r : chosen)
        failures += !extractOne(pack, in, *r, dir, x);
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
        writeText(s_err, pack.file + ": " + text + "\n");
        ++problems;
    };
    using std::to_string;
    if (pack.count >= kDpmxPositionLimit)
        problem(toolText(kPackCountTooLarge, {to_string(pack.count)}));
    else if (pack.records.size() < pack.count)
        problem(toolText(kPackEndsAfter, {to_string(pack.records.size()), counted(pack.count, kRecord, kRecords)}));
    for (size_t i = 0; i < pack.records.size(); ++i) {
        const Record& r = pack.records[i];
        const std::string label = toolText(kPackRecord, {to_string(i), quoted(r.name)});
        // A script passes the name in code page 932; the reader lowers it
        // byte by byte and compares bytes. A stored byte from 0x41 to 0x5A
        // (also a second byte) therefore never matches.
        if (!r.terminated) {
            problem(label + toolText(kPackNoZero));
            continue;
        }
        if (lowered(r.name) != r.name)
            problem(label + toolText(kPackCapitals));
        else if (!isCp932Text(r.name))
            problem(label + toolText(kPackNotText));
        else if (lookUp(pack, r.name) != &r)
            problem(label + toolText(kPackHidden));
        const int64_t position = dataPosition(pack, r);
        if (position < 0)
            problem(label + toolText(kPackDataAt2GiB));
        else if (position + r.size > pack.fileSize)
            problem(label + toolText(kPackDataBeyond, {to_string(position + r.size)}));
        if (r.size > kDpmxMaxEntrySize)
            problem(label + toolText(kPackTooLarge, {to_string(r.size)}));
    }
    if (problems) {
        writeText(s_err, pack.file + ": " + counted(problems, kProblem, kProblems) + "\n");
        return 1;
    }
    writeText(s_out, toolText(kPackReadable, {pack.file, to_string(pack.base),
                                              counted(pack.count, kEntryReadable, kEntriesReadable)}) +
                         "\n");
    warnIfEmpty(pack.file, pack.count);
    return 0;
}

// What is appended to hostFile in place, by `write` (false with the error):
// the file keeps its owner, mode, links and attributes; on a failure or an
// interruption it is cut back to its old length. Prints the text for
// tovdpmload; 0, or the status said.
template <typename Write>
int extendInPlace(const std::string& hostFile, Write write)
{
    ExtendedFile extended;
    std::string error;
    bool ok = openForExtending(hostFile, extended, error);
    if (ok && !write(extended.stream, error)) {
        abandonExtending(extended);
        error = toolText(kPackAsItWas, {error, hostFile});
        ok = false;
    }
    if (!ok || !finishExtending(extended, error))
        return say(1, error);
    writeText(s_out, hostFile + "," + std::to_string(extended.length) + "\n");
    if (hostFile.find(',') != std::string::npos)
        say(0, toolText(kPackCommaInName, {hostFile}));
    return 0;
}

int append(const std::string& hostFile, const std::string& packFile)
{
    if (sameFile(hostFile, packFile))
        return say(2, toolText(kPackAppendToItself, {hostFile, packFile}));
    for (const std::string* name : {&packFile, &hostFile})
        if (isFolder(*name))
            return say(1, toolText(kToolIsFolder, {*name}));
    FILE* in = std::fopen(packFile.c_str(), "rb");
    if (!in)
        return say(1, toolText(kToolCannotOpen, {packFile, lastSystemError()}));
    const int64_t packSize = streamSize(in);
    unsigned char magic[4] = {};
    if (packSize < kDpmxHeaderSize || std::fread(magic, 1, 4, in) != 4 ||
        std::memcmp(magic, kDpmxMagic, sizeof magic) != 0) {
        std::fclose(in);
        return say(1, toolText(kPackNotAPack, {packFile}));
    }
    // The file must exist: a mistyped name would otherwise become a copy.
    FILE* host = std::fopen(hostFile.c_str(), "rb");
    if (!host) {
        std::fclose(in);
        return say(1, toolText(kToolCannotOpen, {hostFile, lastSystemError()}));
    }
    const int64_t hostSize = streamSize(host);

    // Appending the same pack twice gains nothing: the copy already at the
    // end is the one to load.
    if (hostSize >= packSize && seekStream(host, static_cast<uint64_t>(hostSize - packSize)) && seekStream(in, 0) &&
        sameBytes(host, in, static_cast<uint64_t>(packSize))) {
        std::fclose(in);
        std::fclose(host);
        say(0, toolText(kPackAlreadyEnds, {hostFile, packFile}));
        writeText(s_out, hostFile + "," + std::to_string(hostSize - packSize) + "\n");
        return 0;
    }
    std::fclose(host);
    if (hostSize < 0 || hostSize + packSize >= kDpmxPositionLimit) {
        std::fclose(in);
        return say(1, toolText(kPackReaches2GiBIn, {hostFile}));
    }
    const int status = extendInPlace(hostFile, [&](FILE* out, std::string& error) {
        if (!seekStream(in, 0)) {
            error = toolText(kToolCannotRead, {packFile, lastSystemError()});
            return false;
        }
        return copyBytes(in, packFile, out, hostFile, static_cast<uint64_t>(packSize), error);
    });
    std::fclose(in);
    return status;
}

// append with inputs: their pack is made on the way, straight into the end
// of hostFile. What it holds is said on the error stream, since standard
// output carries the text for tovdpmload alone.
int appendInputs(const std::string& hostFile, const std::vector<std::string>& operands)
{
    if (isFolder(hostFile))
        return say(1, toolText(kToolIsFolder, {hostFile}));
    FILE* host = std::fopen(hostFile.c_str(), "rb");
    if (!host)
        return say(1, toolText(kToolCannotOpen, {hostFile, lastSystemError()}));
    const int64_t hostSize = streamSize(host);
    std::fclose(host);
    Gathering g;
    if (const int status = gatherInputs(operands, hostFile, kPackIsHostFile, g))
        return status;
    if (hostSize < 0 || static_cast<uint64_t>(hostSize) + g.total >= kDpmxPositionLimit)
        return say(1, toolText(kPackReaches2GiBIn, {hostFile}));
    const int status = extendInPlace(hostFile, [&](FILE* out, std::string& error) {
        return writeInputs(out, hostFile, g.inputs, error);
    });
    if (status == 0) {
        describe(s_err, hostFile, g);
        warnIfEmpty(hostFile, static_cast<uint32_t>(g.inputs.size()));
    }
    return status;
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
    auto arity = [&](size_t least, size_t most, const ToolText& what) -> std::string {
        if (rest.size() < least)
            return toolText(kPackNeeds, {command, toolText(what)});
        if (rest.size() > most)
            return toolText(kPackOneTooMany, {command, toolText(what), rest[most]});
        return "";
    };
    auto dashIn = [&](size_t from) {
        return std::find(rest.begin() + static_cast<std::ptrdiff_t>(from), rest.end(), std::string("-")) != rest.end();
    };

    if (command == "create") {
        if (const std::string e = arity(1, SIZE_MAX, kPackWhatCreate); !e.empty())
            return usageError(e);
        if (dashIn(1))
            return usageError(toolText(kPackNoStandardInput));
        return create(rest[0], std::vector<std::string>(rest.begin() + 1, rest.end()));
    }
    if (command == "list" || command == "verify") {
        if (const std::string e = arity(1, 1, kPackWhatOnePack); !e.empty())
            return usageError(e);
        if (namesStandardInput(rest[0]))
            return usageError(toolText(kPackNoStandardInput));
        return command == "list" ? list(rest[0]) : verify(rest[0]);
    }
    if (command == "append") {
        if (const std::string e = arity(2, SIZE_MAX, kPackWhatAppend); !e.empty())
            return usageError(e);
        if (dashIn(0))
            return usageError(toolText(kPackAppendNoDash));
        // One file is a pack made before; anything else is what to pack.
        const std::string& second = rest[1];
        if (rest.size() == 2 && second[0] != '@' && !isPattern(second) && !isFolder(second))
            return append(rest[0], second);
        return appendInputs(rest[0], std::vector<std::string>(rest.begin() + 1, rest.end()));
    }
    if (command == "extract") {
        if (const std::string e = arity(1, SIZE_MAX, kPackWhatAPack); !e.empty())
            return usageError(e);
        if (namesStandardInput(rest[0]))
            return usageError(toolText(kPackNoStandardInput));
        const std::string dir = hasOption(args, "--output") ? optionValue(args, "--output") : ".";
        if (dir.empty())
            return usageError(toolText(kPackOutputNeedsFolder));
        if (dir == "-" && rest.size() != 2)
            return usageError(toolText(kPackOneEntryToOutput));
        return extract(rest[0], dir, std::vector<std::string>(rest.begin() + 1, rest.end()));
    }
    return usageError(toolText(kPackUnknownCommand, {command}));
}

int runCommand(int argc, char** argv)
{
    ToolArgs args;
    std::string error;
    if (!parseToolArgs(argc, argv, kOptions, args, error))
        return usageError(error);
    if (hasOption(args, "--help")) {
        writeText(s_out, toolText(kPackUsage));
        return 0;
    }
    if (hasOption(args, "--version")) {
        printVersion(s_out, "tolvo-pack");
        return 0;
    }
    if (args.operands.empty())
        return usageError(toolText(kPackNoCommand));
    const std::string command = args.operands[0];
    const std::vector<std::string> rest(args.operands.begin() + 1, args.operands.end());
    if (command == "help") {
        writeText(s_out, toolText(kPackUsage));
        return 0;
    }
    if (hasOption(args, "--output") && command != "extract")
        return usageError(toolText(kPackOutputOnlyExtract, {command}));
    return runOperands(command, rest, args);
}

} // namespace

int packMain(int argc, char** argv, FILE* out, FILE* err)
{
    s_out = out;
    s_err = err;
    return finishOutput(out, err, "tolvo-pack", runCommand(argc, argv));
}

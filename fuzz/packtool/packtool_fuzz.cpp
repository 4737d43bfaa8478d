// libFuzzer target: tolvo-pack's reading of a pack, `list` and `verify` on
// arbitrary bytes, checked against the plug-in's own reader: when `verify`
// passes, every record it saw must read back through tovdpmread as the
// file holds it. The pack file lives in memory (fuzz/common/memfs.h).
//
// Input: byte 0 flags (bit 0: the text names a position; bit 1: written
// with white space and a sign), byte 1 the pack's position in the file,
// then the file's bytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/common/memfs.h"
#include "pack/format.h"
#include "pack/pack.h"
#include "packtool.h"

namespace {

const char kPackFile[] = "/memfs/packtool-fuzz.dpm";

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "packtool fuzz: %s\n", what);
        std::abort();
    }
}

int runTool(const char* command, const std::string& packText)
{
    static FILE* sink = std::fopen("/dev/null", "w");
    std::string text = packText;
    char* argv[] = {const_cast<char*>("tolvo-pack"), const_cast<char*>(command), text.data(), nullptr};
    const int rc = packMain(3, argv, sink, sink);
    check(rc == 0 || rc == 1, "exit status of list or verify");
    return rc;
}

// Every record the file holds reads back through the reader: its size and
// its bytes.
void everyRecordReadsBack(const uint8_t* file, size_t size, uint32_t base)
{
    const uint32_t count = loadLe32(file + base + kDpmxCountField);
    const uint32_t dataBase = loadLe32(file + base + kDpmxDataStartField) + base;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = size_t{base} + kDpmxHeaderSize + size_t{i} * kDpmxRecordSize;
        if (at + kDpmxRecordSize > size)
            break;
        const char* name = reinterpret_cast<const char*>(file + at);
        const uint32_t offset = loadLe32(file + at + kDpmxOffsetField);
        const uint32_t length = loadLe32(file + at + kDpmxSizeField);

        unsigned char storage[64] = {};
        TolvoVar var{};
        var.word_count = 16;
        var.data = storage;
        check(tovdpmsize(&var, name, 0, 0) == 0 && loadLe32(storage) == length, "verified entry: size");
        check(tovdpmread(&var, name, 0, 0) == 0, "verified entry: read");
        const uint32_t position = dataBase + offset;
        check(length == 0 || std::memcmp(var.data, file + position, length) == 0, "verified entry: bytes");
        std::free(g_lpReadBuffer);
        g_lpReadBuffer = nullptr;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const uint32_t base = data[1];
    const uint8_t* file = data + 2;
    const size_t fileSize = size - 2;
    memfsPut(kPackFile, file, fileSize);

    std::string text = kPackFile;
    if (flags & 1)
        text += (flags & 2) ? ", +" + std::to_string(base) : "," + std::to_string(base);
    const uint32_t position = (flags & 1) ? base : 0;

    const int listed = runTool("list", text);
    const int verified = runTool("verify", text);
    check(listed == 0 || verified == 1, "verify passes a pack that list refuses");

    // The reader opens what the tool lists, and the tool lists what the
    // reader opens when the file holds the whole 16-byte header.
    resetPackState();
    const int loaded = openPack(text.c_str()) ? 0 : -1;
    check(listed != 0 || loaded == 0, "list reads a pack that tovdpmload refuses");
    const bool wholeHeader = fileSize >= kDpmxHeaderSize && position <= fileSize - kDpmxHeaderSize;
    check(loaded != 0 || !wholeHeader || listed == 0, "tovdpmload opens a pack that list refuses");

    if (verified == 0)
        everyRecordReadsBack(file, fileSize, position);
    return 0;
}

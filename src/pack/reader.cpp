// The pack reader's module state and its internal operations: opening a
// pack, looking up an entry, reading its data.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "format.h"
#include "pack.h"

char g_szPackName[64];
int32_t g_nPackBase;
uint32_t g_dwDataBase;
int32_t g_nEntryCount;
int32_t g_bPackOpen;
unsigned char g_byRecord[32];
uint32_t g_dwEntryOffset;
uint32_t g_dwEntrySize;

namespace {

// Directory records read per fread: up to 480 KiB into a block of the heap
// (below the size from which the platforms' heaps map every block afresh),
// so that a 10,000-entry directory takes one read and one pass over bytes
// still in the cache; 16 KiB on the stack when there is no block to be had.
// Either lives only while a lookup runs.
constexpr size_t kScanRecords = 15360;
constexpr size_t kStackScanRecords = 512;

// A record's name equals the key (keyLength bytes and its zero) as strcmp
// sees it, but never past the record's 32 bytes.
bool nameMatches(const unsigned char* record, const char* key, size_t keyLength)
{
    return keyLength < kDpmxRecordSize && std::memcmp(record, key, keyLength + 1) == 0;
}

// 8 bytes of a record as one number, for a quick first test.
uint64_t head8(const void* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The index of the first of the records from `from` on that pass the quick
// test (`differs` gives 0), or `count` when none does. Four
// records per step with one branch: a lookup costs little more than reading
// the directory.
template <typename Differs>
size_t firstAgreeing(size_t from, size_t count, Differs differs)
{
    size_t i = from;
    for (; i + 4 <= count; i += 4) {
        if (!(differs(i) & differs(i + 1) & differs(i + 2) & differs(i + 3)))
            break;
    }
    for (; i < count; ++i) {
        if (!differs(i))
            return i;
    }
    return count;
}

// The quick test: the 8 bytes of a record at the window's place agree with
// the key's there (as far as the mask reaches).
struct Window {
    size_t at;
    uint64_t bytes;
    uint64_t mask;
};

// The last 8 bytes of the key with its zero, or all of them when they are
// fewer: names in one pack share their beginnings ("bgm_", a folder) more
// than the bytes before their end, and the zero checks the length as well.
Window keyWindow(const char* key, size_t keyLength)
{
    const size_t end = keyLength + 1 < kDpmxRecordSize ? keyLength + 1 : kDpmxRecordSize;
    Window w;
    w.at = end > 8 ? end - 8 : 0;
    unsigned char mask[8] = {};
    std::memset(mask, 0xFF, end - w.at);
    w.mask = head8(mask);
    w.bytes = head8(key + w.at) & w.mask;
    return w;
}

size_t nextCandidate(const unsigned char* records, size_t from, size_t count, const Window& w)
{
    const unsigned char* at = records + w.at;
    // Keys of 7 bytes or more fill all 8 bytes: a plain comparison.
    if (w.mask == ~uint64_t{0})
        return firstAgreeing(from, count, [&](size_t i) -> unsigned {
            return head8(at + i * kDpmxRecordSize) != w.bytes;
        });
    return firstAgreeing(from, count, [&](size_t i) -> unsigned {
        return ((head8(at + i * kDpmxRecordSize) ^ w.bytes) & w.mask) != 0;
    });
}

} // namespace

uint32_t recordDword(int offset)
{
    return loadLe32(g_byRecord + offset);
}

void resetPackState()
{
    std::memset(g_szPackName, 0, sizeof g_szPackName);
    g_nPackBase = 0;
    g_dwDataBase = 0;
    g_nEntryCount = 0;
    g_bPackOpen = 0;
    std::memset(g_byRecord, 0, sizeof g_byRecord);
    g_dwEntryOffset = 0;
    g_dwEntrySize = 0;
}

bool packStaysOpen()
{
    return g_bPackOpen != 0 && g_nEntryCount != 0;
}

bool openPack(const char* packText)
{
    // A pack with entries stays in use; the text is not even looked at.
    if (packStaysOpen())
        return true;
    g_dwDataBase = 0;
    g_bPackOpen = 0;
    if (!packText)
        return false;

    // The name ends at the first comma, the position follows it; a text
    // without a comma names a pack that is a file by itself.
    const char* comma = std::strchr(packText, ',');
    const char* positionText = comma ? comma + 1 : "";
    const size_t nameLength = comma ? static_cast<size_t>(comma - packText) : std::strlen(packText);
    // A position from 2^31 on cannot be sought to; it is refused rather than
    // wrapped into some other position.
    const int64_t position = parsePackPosition(positionText);
    if (position < 0 || position >= kDpmxPositionLimit) {
        g_nPackBase = 0;
        return false;
    }
    g_nPackBase = static_cast<int32_t>(position);

    if (nameLength >= sizeof g_szPackName)
        return false;
    std::memcpy(g_szPackName, packText, nameLength);
    g_szPackName[nameLength] = '\0';

    FILE* f = std::fopen(g_szPackName, "rb");
    if (!f)
        return false;
    if (g_nPackBase > 0)
        std::fseek(f, g_nPackBase, SEEK_SET);
    // Bytes not read keep the record's earlier contents, as in the directory
    // scan; but the magic, data start and count (12 bytes) must come from this
    // file, or the header of an earlier empty pack still in the record would
    // pass an empty file, or a position past its end, for a pack.
    const size_t got = std::fread(g_byRecord, 1, kDpmxHeaderSize, f);
    g_dwDataBase = recordDword(kDpmxDataStartField) + static_cast<uint32_t>(g_nPackBase);
    g_nEntryCount = static_cast<int32_t>(recordDword(kDpmxCountField));
    std::fclose(f);

    if (got < 12 || std::memcmp(g_byRecord, kDpmxMagic, sizeof kDpmxMagic) != 0)
        return false;
    g_bPackOpen = 1;
    return true;
}

FILE* openEntry(const char* name)
{
    if (g_bPackOpen != 1 || !name)
        return nullptr;

    // No stored name is longer than 23 bytes (31 counting the record's other
    // fields), so a key of 64 bytes or more matches nothing.
    char key[64];
    size_t keyLength = 0;
    for (; name[keyLength] != '\0'; ++keyLength) {
        if (keyLength == sizeof key - 1)
            return nullptr;
        key[keyLength] = static_cast<char>(lowerNameByte(static_cast<unsigned char>(name[keyLength])));
    }
    std::memset(key + keyLength, 0, sizeof key - keyLength);
    // A record that differs from the key in the window cannot match.
    const Window window = keyWindow(key, keyLength);

    const uint32_t directory = static_cast<uint32_t>(g_nPackBase) + kDpmxHeaderSize;
    if (directory >= kDpmxPositionLimit)
        return nullptr;
    FILE* f = std::fopen(g_szPackName, "rb");
    if (!f)
        return nullptr;
    // Every read of a lookup goes straight into a buffer of ours: a buffer
    // of the stream's own would add an allocation, a copy and reads of bytes
    // that are never looked at.
    std::setvbuf(f, nullptr, _IONBF, 0);
    // The first read starts at the pack's header, which comes along instead
    // of a seek past it.
    if (g_nPackBase > 0)
        std::fseek(f, g_nPackBase, SEEK_SET);

    const size_t most = g_nEntryCount <= 0                                    ? 0
                        : static_cast<uint32_t>(g_nEntryCount) < kScanRecords ? static_cast<size_t>(g_nEntryCount)
                                                                              : kScanRecords;
    unsigned char small[kDpmxHeaderSize + kStackScanRecords * kDpmxRecordSize];
    unsigned char* const block =
        most > kStackScanRecords ? static_cast<unsigned char*>(std::malloc(kDpmxHeaderSize + most * kDpmxRecordSize))
                                 : nullptr;
    const size_t perRead = block ? most : kStackScanRecords;
    unsigned char* const chunk = (block ? block : small) + kDpmxHeaderSize;
    size_t skip = kDpmxHeaderSize;
    bool found = false;
    int32_t left = g_nEntryCount; // signed: a count from 2^31 on means no records
    while (left > 0 && !found) {
        const size_t records = static_cast<uint32_t>(left) < perRead ? static_cast<size_t>(left) : perRead;
        const size_t want = records * kDpmxRecordSize;
        const size_t read = std::fread(chunk - skip, 1, skip + want, f);
        if (read <= skip)
            break;
        const size_t got = read - skip;
        skip = 0;
        const size_t whole = got / kDpmxRecordSize;
        for (size_t i = 0; (i = nextCandidate(chunk, i, whole, window)) < whole; ++i) {
            const unsigned char* record = chunk + i * kDpmxRecordSize;
            if (nameMatches(record, key, keyLength)) {
                std::memcpy(g_byRecord, record, kDpmxRecordSize);
                found = true;
                break;
            }
        }
        left -= static_cast<int32_t>(whole);
        if (found)
            break;
        if (whole > 0)
            std::memcpy(g_byRecord, chunk + (whole - 1) * kDpmxRecordSize, kDpmxRecordSize);
        if (got < want) {
            // The file ends inside the directory. A record cut short is
            // still compared, its missing bytes those of the record before.
            const size_t tail = got % kDpmxRecordSize;
            if (tail > 0) {
                std::memcpy(g_byRecord, chunk + whole * kDpmxRecordSize, tail);
                found = nameMatches(g_byRecord, key, keyLength);
            }
            break;
        }
    }
    std::free(block);
    if (!found) {
        std::fclose(f);
        return nullptr;
    }
    g_dwEntryOffset = recordDword(kDpmxOffsetField);
    g_dwEntrySize = recordDword(kDpmxSizeField);
    return f;
}

bool findEntry(const char* name)
{
    FILE* f = openEntry(name);
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

int32_t readEntry(FILE* pack, void* buffer)
{
    // Positions are 32-bit: the sum wraps as the data base does, and one
    // that reaches 2^31 would make the seek fail and the read start
    // somewhere else.
    const uint32_t position = g_dwDataBase + g_dwEntryOffset;
    if (position >= kDpmxPositionLimit)
        return -1;
    std::fseek(pack, static_cast<long>(position), SEEK_SET);
    return static_cast<int32_t>(std::fread(buffer, 1, g_dwEntrySize, pack));
}

// The pack reader's module state and its internal operations: opening a
// pack, looking up an entry, reading its data.
#include <cstdio>
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

// Directory records read per fread, 64 KiB: a 10,000-entry directory takes
// five reads instead of ten thousand locked 32-byte ones, and the buffer
// lives on the stack only while a lookup runs.
constexpr size_t kScanRecords = 2048;

// A record's name equals the key (keyLength bytes and its zero) as strcmp
// sees it, but never past the record's 32 bytes.
bool nameMatches(const unsigned char* record, const char* key, size_t keyLength)
{
    return keyLength < kDpmxRecordSize && std::memcmp(record, key, keyLength + 1) == 0;
}

// The first 8 bytes of a record as one number, for a quick first test.
uint64_t head8(const void* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The index of the first of the records from `from` on whose first bytes
// agree with the key's (head and mask), or `count` when none does. Four
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

size_t nextCandidate(const unsigned char* records, size_t from, size_t count, uint64_t head, uint64_t mask)
{
    // Keys of 7 bytes or more fill all 8 bytes: a plain comparison.
    if (mask == ~uint64_t{0})
        return firstAgreeing(from, count, [&](size_t i) -> unsigned {
            return head8(records + i * kDpmxRecordSize) != head;
        });
    return firstAgreeing(from, count, [&](size_t i) -> unsigned {
        return ((head8(records + i * kDpmxRecordSize) ^ head) & mask) != 0;
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

int openPack(char* packText)
{
    // A pack with entries stays in use; the text is not even looked at.
    if (g_bPackOpen != 0 && g_nEntryCount != 0)
        return 0;
    g_dwDataBase = 0;
    g_bPackOpen = 0;
    if (!packText)
        return -1;

    // A text without a comma names a pack that is a file by itself.
    const char* positionText = "";
    if (char* comma = std::strchr(packText, ',')) {
        *comma = '\0';
        positionText = comma + 1;
    }
    // A position from 2^31 on cannot be sought to; it is refused rather than
    // wrapped into some other position.
    const int64_t position = parsePackPosition(positionText);
    if (position < 0 || position >= kDpmxPositionLimit) {
        g_nPackBase = 0;
        return -1;
    }
    g_nPackBase = static_cast<int32_t>(position);

    const size_t nameLength = std::strlen(packText);
    if (nameLength >= sizeof g_szPackName)
        return -1;
    std::memcpy(g_szPackName, packText, nameLength + 1);

    FILE* f = std::fopen(g_szPackName, "rb");
    if (!f)
        return -1;
    if (g_nPackBase > 0)
        std::fseek(f, g_nPackBase, SEEK_SET);
    // Bytes not read keep the record's earlier contents, as in the directory
    // scan; but the magic, data start and count (12 bytes) must come from this
    // file, or the header of an earlier empty pack still in the record would
    // pass an empty file, or a position past its end, for a pack.
    const size_t got = std::fread(g_byRecord, 1, kDpmxHeaderSize, f);
    g_dwDataBase = recordDword(4) + static_cast<uint32_t>(g_nPackBase);
    g_nEntryCount = static_cast<int32_t>(recordDword(8));
    std::fclose(f);

    if (got < 12 || std::memcmp(g_byRecord, kDpmxMagic, sizeof kDpmxMagic) != 0)
        return -1;
    g_bPackOpen = 1;
    return 0;
}

int findEntry(const char* name)
{
    if (g_bPackOpen != 1 || !name)
        return -1;

    // No stored name is longer than 23 bytes (31 counting the record's other
    // fields), so a key of 64 bytes or more matches nothing.
    char key[64];
    size_t keyLength = 0;
    for (; name[keyLength] != '\0'; ++keyLength) {
        if (keyLength == sizeof key - 1)
            return -1;
        key[keyLength] = static_cast<char>(lowerNameByte(static_cast<unsigned char>(name[keyLength])));
    }
    std::memset(key + keyLength, 0, sizeof key - keyLength);
    // The key's first bytes with its zero, as far as they go into 8 bytes:
    // a record that differs there cannot match.
    unsigned char mask[8] = {};
    std::memset(mask, 0xFF, keyLength + 1 < 8 ? keyLength + 1 : 8);
    const uint64_t keyMask = head8(mask);
    const uint64_t keyHead = head8(key) & keyMask;

    const uint32_t directory = static_cast<uint32_t>(g_nPackBase) + kDpmxHeaderSize;
    if (directory >= kDpmxPositionLimit)
        return -1;
    FILE* f = std::fopen(g_szPackName, "rb");
    if (!f)
        return -1;
    std::fseek(f, static_cast<long>(directory), SEEK_SET);

    unsigned char chunk[kScanRecords * kDpmxRecordSize];
    bool found = false;
    int32_t left = g_nEntryCount; // signed: a count from 2^31 on means no records
    while (left > 0 && !found) {
        const size_t records = static_cast<uint32_t>(left) < kScanRecords ? static_cast<size_t>(left) : kScanRecords;
        const size_t want = records * kDpmxRecordSize;
        const size_t got = std::fread(chunk, 1, want, f);
        if (got == 0)
            break;
        const size_t whole = got / kDpmxRecordSize;
        for (size_t i = 0; (i = nextCandidate(chunk, i, whole, keyHead, keyMask)) < whole; ++i) {
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
    std::fclose(f);

    if (!found)
        return -1;
    g_dwEntryOffset = recordDword(kDpmxOffsetField);
    g_dwEntrySize = recordDword(kDpmxSizeField);
    return 0;
}

int32_t readData(const char* name, void* buffer, uint32_t count, int32_t offset)
{
    FILE* f = nullptr;
    if (g_bPackOpen == 1 && findEntry(name) == 0) {
        // Positions are 32-bit: the sum wraps as the data base does, and one
        // that reaches 2^31 would make the seek fail and the read start
        // somewhere else.
        const uint32_t position = g_dwDataBase + g_dwEntryOffset + static_cast<uint32_t>(offset);
        if (position >= kDpmxPositionLimit)
            return -1;
        f = std::fopen(g_szPackName, "rb");
        if (!f)
            return -1;
        std::fseek(f, static_cast<long>(position), SEEK_SET);
    } else {
        if (!name)
            return -1;
        f = std::fopen(name, "rb");
        if (!f)
            return -1;
        if (offset > 0)
            std::fseek(f, offset, SEEK_SET);
    }
    const size_t got = std::fread(buffer, 1, count, f);
    std::fclose(f);
    return static_cast<int32_t>(got);
}

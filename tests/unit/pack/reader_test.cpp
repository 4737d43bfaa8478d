#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pack/format.h"
#include "pack/pack.h"
#include "pack_files.h"
#include "unit/case_trace.h"

namespace {

class Reader : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetPackState();
        g_lpReadBuffer = nullptr;
        std::memset(host, 0xAB, sizeof host);
        var.type = 4;
        var.kind = 7;
        var.word_count = 3;
        var.data = host;
    }
    void TearDown() override
    {
        for (void* p : owned)
            std::free(p);
        g_lpReadBuffer = nullptr;
        resetPackState();
    }

    // Writes the pack (after `base` filler bytes) to a file of this case's own
    // and loads it with "file,base".
    std::string makePack(const std::string& image, uint32_t base = 0, const std::string& leaf = "pack.dpm")
    {
        const std::string file = scratchName(leaf);
        writeFile(file, std::string(base, 'x') + image);
        return file;
    }
    // What tovdpmload answers; it cuts the text (tests/unit/pack/windows_test.cpp).
    int load(const std::string& packText) { return openPack(packText.c_str()) ? 0 : -1; }
    int read(const char* name)
    {
        void* before = var.data;
        const int r = tovdpmread(&var, name, 0, 0);
        if (var.data != before)
            owned.push_back(var.data);
        return r;
    }
    std::string bytes(size_t n) const { return std::string(static_cast<const char*>(var.data), n); }
    // The failure fill of the host's variable, which holds 3 words.
    void expectFailureFill(int kind)
    {
        EXPECT_EQ(var.word_count, 3);
        EXPECT_EQ(var.type, 4);
        EXPECT_EQ(var.kind, kind);
        EXPECT_EQ(var.data, static_cast<void*>(host));
        for (int i = 0; i < 12; ++i)
            ASSERT_EQ(host[i], 0) << i;
        EXPECT_EQ(host[12], 0xAB);
    }

    unsigned char host[256];
    TolvoVar var{};
    std::vector<void*> owned;
};

const std::vector<TestEntry> kThree = {{"a.txt", "alpha"}, {"b.bin", std::string(300, 'b')}, {"empty", ""}};

TEST_F(Reader, PositionTextsAreReadAsAtoiReadsThem)
{
    const std::string file = makePack(dpmxPack(kThree), 1024);
    struct Case {
        std::string position;
        int result;
        int32_t base;
    };
    const Case cases[] = {
        {" +1024", 0, 1024}, {"\t1024", 0, 1024}, {"\n\v\f\r1024", 0, 1024}, {"1024xyz", 0, 1024},
        {"12abc", -1, 12},   {"abc", -1, 0},      {"", -1, 0},              {"-5", -1, 0},
        {"-0", -1, 0},
        // From 2^31 on a position is refused, not wrapped (2^32 + 1024); the
        // one below is taken, and the file ends there.
        {"2147483647", -1, 2147483647}, {"2147483648", -1, 0}, {"4294968320", -1, 0},
        {"99999999999999999999", -1, 0},
    };
    for (const Case& c : cases) {
        resetPackState();
        EXPECT_EQ(load(file + "," + c.position), c.result) << c.position;
        EXPECT_EQ(g_nPackBase, c.base) << c.position;
        EXPECT_EQ(g_bPackOpen, c.result == 0 ? 1 : 0) << c.position;
    }
}

TEST_F(Reader, PackAtPositionZeroAndWithoutAComma)
{
    const std::string file = makePack(dpmxPack(kThree));
    EXPECT_EQ(load(file + ",0"), 0);
    EXPECT_EQ(std::string(g_szPackName), file);
    resetPackState();
    EXPECT_EQ(load(file + ",-1"), -1);
    resetPackState();
    EXPECT_EQ(load(file), 0); // no position text: the pack starts at byte 0
    EXPECT_EQ(g_nPackBase, 0);
    EXPECT_EQ(read("a.txt"), 0);
    EXPECT_EQ(bytes(5), "alpha");
}

TEST_F(Reader, PackNamesOf64BytesOrMoreAreRefused)
{
    const std::string name63 = scratchName(std::string(63, 'n')).substr(0, 63);
    writeFile(name63, dpmxPack(kThree));
    EXPECT_EQ(load(name63 + ",0"), 0);
    std::remove(name63.c_str());

    resetPackState();
    const std::string name64 = name63 + "x";
    writeFile(name64, dpmxPack(kThree));
    EXPECT_EQ(load(name64 + ",0"), -1);
    EXPECT_EQ(g_bPackOpen, 0);
    EXPECT_STREQ(g_szPackName, "");
    std::remove(name64.c_str());
}

TEST_F(Reader, MagicMustBeExactlyDpmx)
{
    for (const std::string& magic : {std::string("DPMx"), std::string("dPMX"), std::string("DPM\0", 4)}) {
        resetPackState();
        std::string image = dpmxPack(kThree);
        image.replace(0, 4, magic);
        const std::string file = makePack(image, 8);
        EXPECT_EQ(load(file + ",8"), -1);
        EXPECT_EQ(g_bPackOpen, 0);
        // What was read stays: name, base, data base and count.
        EXPECT_EQ(std::string(g_szPackName), file);
        EXPECT_EQ(g_nPackBase, 8);
        EXPECT_EQ(g_dwDataBase, 16u + 32 * 3 + 8);
        EXPECT_EQ(g_nEntryCount, 3);
        EXPECT_EQ(read("a.txt"), -1);
    }
}

TEST_F(Reader, AHeaderCutShortIsNoPackEvenAfterAnEmptyOne)
{
    // The empty pack's header stays in the record; what a later load cannot
    // read of its own header must not be taken from there.
    const std::string empty = makePack(dpmxHeader(16, 0), 0, "empty.dpm");
    const std::string nothing = makePack("", 0, "nothing.bin");
    const std::string eight = makePack(dpmxHeader(16, 3).substr(0, 8), 0, "eight.bin");
    const std::string eleven = makePack(dpmxHeader(16, 3).substr(0, 11), 0, "eleven.bin");
    for (const std::string& text : {nothing + ",0", empty + ",16", empty + ",999", eight, eleven}) {
        resetPackState();
        ASSERT_EQ(load(empty), 0);
        EXPECT_EQ(load(text), -1) << text;
        EXPECT_EQ(g_bPackOpen, 0) << text;
    }
    // The 4 reserved bytes are not needed.
    resetPackState();
    const std::string twelve = makePack(dpmxHeader(16, 0).substr(0, 12), 0, "twelve.bin");
    EXPECT_EQ(load(twelve), 0);
}

TEST_F(Reader, APackWithEntriesStaysWhateverLaterLoadsName)
{
    const std::string first = makePack(dpmxPack(kThree), 0, "first.dpm");
    const std::string second = makePack(dpmxPack({{"a.txt", "other"}}), 0, "second.dpm");
    ASSERT_EQ(load(first + ",0"), 0);
    EXPECT_EQ(load("does-not-exist.dpm,0"), 0);
    EXPECT_EQ(load(second + ",0"), 0);
    EXPECT_EQ(read("a.txt"), 0);
    EXPECT_EQ(bytes(5), "alpha");
}

TEST_F(Reader, APackWithNoEntriesIsReplacedByTheNextLoad)
{
    const std::string empty = makePack(dpmxHeader(16, 0), 0, "empty.dpm");
    const std::string full = makePack(dpmxPack(kThree), 0, "full.dpm");
    ASSERT_EQ(load(empty), 0);
    EXPECT_EQ(read("a.txt"), -1);
    EXPECT_EQ(load(full), 0);
    EXPECT_EQ(read("a.txt"), 0);

    // A failed load after an empty pack leaves no pack open.
    resetPackState();
    ASSERT_EQ(load(empty), 0);
    EXPECT_EQ(load("does-not-exist.dpm"), -1);
    EXPECT_EQ(g_bPackOpen, 0);
}

TEST_F(Reader, ACountFrom2To31MeansNoRecordsButStillSticks)
{
    std::string image = dpmxPack(kThree);
    image.replace(8, 4, le32(0x80000000u));
    const std::string huge = makePack(image, 0, "huge.dpm");
    const std::string full = makePack(dpmxPack(kThree), 0, "full.dpm");
    ASSERT_EQ(load(huge), 0);
    EXPECT_EQ(g_nEntryCount, INT32_MIN);
    EXPECT_EQ(read("a.txt"), -1);
    EXPECT_EQ(load(full), 0);
    EXPECT_EQ(std::string(g_szPackName), huge);
    EXPECT_EQ(read("a.txt"), -1);
}

TEST_F(Reader, KeysAreLoweredByteByByteAndComparedExactly)
{
    // 0x83 0x41 is a double-byte character whose second byte is 'A'.
    const std::vector<TestEntry> entries = {{"data.bin", "lower"},      {"Data.bin", "upper"}, {"\x83\x61.txt", "kana"},
                                            {"\xc0\xde", "high"},       {"az", "ends"}};
    makePack(dpmxPack(entries));
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);
    EXPECT_EQ(read("Data.BIN"), 0);
    EXPECT_EQ(bytes(5), "lower");
    EXPECT_EQ(read("AZ"), 0); // both ends of 'A' to 'Z'
    EXPECT_EQ(bytes(4), "ends");
    EXPECT_EQ(read("\x83\x41.TXT"), 0);
    EXPECT_EQ(bytes(4), "kana");
    EXPECT_EQ(read("\xc0\xde"), 0); // bytes from 0x80 on are not changed
    EXPECT_EQ(bytes(4), "high");

    // A stored name holding capitals can never be found.
    resetPackState();
    makePack(dpmxPack({{"Data.bin", "upper"}}));
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);
    EXPECT_EQ(read("Data.bin"), -1);
    EXPECT_EQ(read("data.bin"), -1);

    // Never compared past a record's 32 bytes: a key of 32 bytes does not
    // match a record that holds them, not even where the next one starts
    // with a zero.
    resetPackState();
    const std::string full(24, 'k');
    makePack(dpmxHeader(16 + 64, 2) + dpmxRecord(full, 0x01010101, 0x01010101) + dpmxRecord("", 0, 0));
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);
    EXPECT_FALSE(findEntry((full + std::string(8, '\x01')).c_str()));
}

TEST_F(Reader, TheFirstOfTwoEqualNamesWins)
{
    makePack(dpmxPack({{"x", "first"}, {"x", "second"}}));
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);
    EXPECT_EQ(read("x"), 0);
    EXPECT_EQ(bytes(5), "first");
}

TEST_F(Reader, DataLieAtBasePlusDataStartPlusOffset)
{
    // Data start 80 (not 16 + 32 x 1), entry offset 16; a pack at 1000 and
    // one at the first position that needs a seek.
    std::string image = dpmxHeader(80, 1) + dpmxRecord("e", 16, 4);
    image.resize(80 + 16, '.');
    image += "DATA";
    for (uint32_t base : {1000u, 1u}) {
        resetPackState();
        const std::string file = makePack(image, base);
        ASSERT_EQ(load(file + "," + std::to_string(base)), 0) << base;
        EXPECT_EQ(g_dwDataBase, base + 80) << base;
        EXPECT_EQ(read("e"), 0) << base;
        EXPECT_EQ(bytes(4), "DATA") << base;
        EXPECT_EQ(readFile(file).substr(base + 96, 4), "DATA") << base;
    }
}

TEST_F(Reader, SizesBecomeWholeWordsAndTheBufferIsTheReadersOwn)
{
    makePack(dpmxPack(kThree));
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);

    ASSERT_EQ(read("a.txt"), 0);
    EXPECT_EQ(var.kind, 2);
    EXPECT_EQ(var.type, 4);
    EXPECT_EQ(var.word_count, 2);
    EXPECT_EQ(bytes(8), std::string("alpha\0\0\0", 8)); // padding is zero
    EXPECT_EQ(g_lpReadBuffer, var.data);
    void* first = var.data;

    ASSERT_EQ(read("empty"), 0);
    EXPECT_EQ(var.word_count, 0);
    EXPECT_NE(var.data, nullptr);
    EXPECT_EQ(g_lpReadBuffer, var.data);
    // The earlier buffer is not freed, and the host's own is not written.
    EXPECT_EQ(std::string(static_cast<char*>(first), 5), "alpha");
    EXPECT_EQ(host[0], 0xAB);

    ASSERT_EQ(read("b.bin"), 0);
    EXPECT_EQ(var.word_count, 75);
    EXPECT_EQ(bytes(300), std::string(300, 'b'));
}

TEST_F(Reader, SizeStoresTheSizeAndTouchesNothingElse)
{
    makePack(dpmxPack(kThree));
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);
    EXPECT_EQ(tovdpmsize(&var, "B.BIN", 0, 0), 0);
    EXPECT_EQ(std::memcmp(host, "\x2c\x01\x00\x00", 4), 0); // 300, little-endian
    EXPECT_EQ(host[4], 0xAB);
    EXPECT_EQ(var.type, 4);
    EXPECT_EQ(var.kind, 7);
    EXPECT_EQ(var.word_count, 3);
    EXPECT_EQ(var.data, static_cast<void*>(host));

    // A variable without storage gets nothing: no words, or no storage pointer.
    var.word_count = 0;
    EXPECT_EQ(tovdpmsize(&var, "a.txt", 0, 0), -1);
    EXPECT_EQ(std::memcmp(host, "\x2c\x01\x00\x00", 4), 0);
    var.word_count = 3;
    var.data = nullptr;
    EXPECT_EQ(tovdpmsize(&var, "b.bin", 0, 0), -1);
}

TEST_F(Reader, FailuresLeaveTheFailureFill)
{
    // No pack.
    EXPECT_EQ(read("a.txt"), -1);
    expectFailureFill(7);
    std::memset(host, 0xAB, sizeof host);
    var.word_count = 3;
    EXPECT_EQ(tovdpmsize(&var, "a.txt", 0, 0), -1);
    expectFailureFill(7);

    // Not in the pack; a name of 64 bytes or more; a null name.
    makePack(dpmxPack(kThree));
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);
    const std::string longName = "a.txt" + std::string(59, 'x');
    for (const char* name : {"missing", longName.c_str()}) {
        std::memset(host, 0xAB, sizeof host);
        EXPECT_EQ(read(name), -1) << name;
        expectFailureFill(7);
        std::memset(host, 0xAB, sizeof host);
        EXPECT_EQ(tovdpmsize(&var, name, 0, 0), -1) << name;
        expectFailureFill(7);
    }
    EXPECT_EQ(read(nullptr), -1);
    expectFailureFill(7);

    // The pack went away after it was opened.
    std::remove(scratchName("pack.dpm").c_str());
    std::memset(host, 0xAB, sizeof host);
    EXPECT_EQ(read("a.txt"), -1);
    expectFailureFill(7);
    EXPECT_EQ(g_lpReadBuffer, nullptr);
}

// The fill never writes past what the record says the variable holds (ASan
// sees each variable's storage exactly): 16 words where it holds them, all
// of them where it holds fewer, nothing where it holds none.
TEST_F(Reader, TheFailureFillStaysWithinTheVariable)
{
    makePack(dpmxPack(kThree));
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);
    for (int32_t held : {0, 1, 3, 15, 16, 17, 64, -4}) {
        for (bool size : {false, true}) {
            CASE_TRACE(std::to_string(held) + (size ? " words, size" : " words, read"));
            std::vector<unsigned char> storage(held > 0 ? held * 4 : 0, 0xAB), filled = storage;
            const int32_t words = held <= 0 ? 0 : held < 16 ? held : 16;
            std::fill(filled.begin(), filled.begin() + words * 4, 0);
            var.word_count = held;
            var.data = storage.data();
            EXPECT_EQ(size ? tovdpmsize(&var, "missing", 0, 0) : read("missing"), -1);
            EXPECT_EQ(var.word_count, held <= 0 ? held : words);
            EXPECT_EQ(storage, filled);
        }
    }
    var.data = nullptr; // and a record without a storage pointer
    var.word_count = 16;
    EXPECT_EQ(read("missing"), -1);
    EXPECT_EQ(var.word_count, 16);
}

TEST_F(Reader, AVariableHoldingAReadBufferTakesTheFailureFill)
{
    // After a read the variable lives in the reader's buffer, and its record
    // says how much of it: a later failed read fills that much.
    makePack(dpmxPack(kThree));
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);
    ASSERT_EQ(read("b.bin"), 0);
    void* mine = var.data;
    EXPECT_EQ(read("missing"), -1);
    EXPECT_EQ(var.data, mine);
    EXPECT_EQ(var.word_count, 16);
    EXPECT_EQ(bytes(68), std::string(64, '\0') + "bbbb");
    EXPECT_EQ(tovdpmsize(&var, "b.bin", 0, 0), 0);
    EXPECT_EQ(loadLe32(static_cast<unsigned char*>(var.data)), 300u);
    // An empty entry's buffer is counted as no words: nothing is stored.
    ASSERT_EQ(read("empty"), 0);
    EXPECT_EQ(read("missing"), -1);
    EXPECT_EQ(var.word_count, 0);
    EXPECT_EQ(tovdpmsize(&var, "b.bin", 0, 0), -1);
    EXPECT_EQ(bytes(4), std::string(4, '\0'));
}

TEST_F(Reader, ADirectoryCutShortStopsTheScan)
{
    // The header promises 5 records; the file holds whole ones ending with
    // "two" (offset 3, size 4) and part of the next. The cut record is still
    // compared; its missing bytes are those of the record before it, so its
    // offset and size are two's, and one byte "x" reads as "xwo".
    struct Case {
        std::string whole;
        std::string cut;
        const char* key;
    };
    const std::string tenBytes("cut\0\0\0\0\0\0\0", 10);
    const Case cases[] = {
        {dpmxRecord("one", 7, 9) + dpmxRecord("two", 3, 4), tenBytes, "cut"},
        {dpmxRecord("two", 3, 4), tenBytes, "cut"},
        {dpmxRecord("one", 7, 9) + dpmxRecord("two", 3, 4), "x", "xwo"},
    };
    for (const Case& c : cases) {
        resetPackState();
        makePack(dpmxHeader(16 + 32 * 5, 5) + c.whole + c.cut);
        ASSERT_EQ(load(scratchName("pack.dpm")), 0);
        EXPECT_TRUE(findEntry(c.key)) << c.key;
        EXPECT_EQ(g_dwEntryOffset, 3u) << c.key;
        EXPECT_EQ(g_dwEntrySize, 4u) << c.key;
        EXPECT_FALSE(findEntry("missing"));
        EXPECT_TRUE(findEntry("two"));
    }
}

TEST_F(Reader, LongDirectoriesAreScannedToTheEnd)
{
    std::vector<TestEntry> entries;
    for (int i = 0; i < 16000; ++i)
        entries.push_back({"e" + std::to_string(i), std::to_string(i)});
    makePack(dpmxPack(entries));
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);
    for (int i : {0, 511, 512, 15359, 15360, 15999}) {
        ASSERT_EQ(read(("E" + std::to_string(i)).c_str()), 0) << i;
        EXPECT_EQ(bytes(std::to_string(i).size()), std::to_string(i));
    }
    EXPECT_EQ(read("e16000"), -1);
}

TEST_F(Reader, BytesTheFileDoesNotHoldAreZero)
{
    // The directory says 40 bytes; the file ends after 6 of them. Fill the
    // heap with garbage first, so that a reused block would show it.
    void* junk = std::malloc(40);
    std::memset(junk, 0x5A, 40);
    std::free(junk);
    makePack(dpmxHeader(48, 1) + dpmxRecord("short", 0, 40) + "sixbyt");
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);
    EXPECT_EQ(read("short"), 0);
    EXPECT_EQ(var.word_count, 10);
    EXPECT_EQ(bytes(40), "sixbyt" + std::string(34, '\0'));
}

TEST_F(Reader, OversizedEntriesFailAsAFailedAllocation)
{
    for (uint32_t size : {0x7FFFFFFDu, 0x80000000u, 0xFFFFFFFFu}) {
        resetPackState();
        makePack(dpmxHeader(48, 1) + dpmxRecord("big", 0, size) + "data");
        ASSERT_EQ(load(scratchName("pack.dpm")), 0);
        std::memset(host, 0xAB, sizeof host);
        var.kind = 7;
        EXPECT_EQ(read("big"), -2) << size;
        expectFailureFill(2);
        EXPECT_EQ(tovdpmsize(&var, "big", 0, 0), 0);
        EXPECT_EQ(loadLe32(host), size);
    }
}

TEST_F(Reader, PositionsThatReach2To31FailInsteadOfSeekingElsewhere)
{
    // Data base 0x7FFFFFF0 + offset 0x10 = 2^31.
    makePack(dpmxHeader(0x7FFFFFF0u, 1) + dpmxRecord("far", 0x10, 4) + "data");
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);
    EXPECT_EQ(read("far"), -1);
    EXPECT_EQ(var.word_count, 1);
    EXPECT_EQ(bytes(4), std::string(4, '\0'));

    // A data base that wraps modulo 2^32 lands below 2^31 and is read there.
    resetPackState();
    makePack(dpmxHeader(0xFFFFFFFCu, 1) + dpmxRecord("wrap", 0x34, 4) + "data", 4);
    ASSERT_EQ(load(scratchName("pack.dpm") + ",4"), 0);
    EXPECT_EQ(g_dwDataBase, 0u);
    EXPECT_EQ(read("wrap"), 0);
    EXPECT_EQ(bytes(4), "data");

    // So does an entry's offset: 48 + 0xFFFFFFD0 wraps to 0, the header.
    resetPackState();
    makePack(dpmxHeader(48, 1) + dpmxRecord("back", 0xFFFFFFD0u, 4) + "data");
    ASSERT_EQ(load(scratchName("pack.dpm")), 0);
    EXPECT_EQ(read("back"), 0);
    EXPECT_EQ(bytes(4), "DPMX");
}

} // namespace

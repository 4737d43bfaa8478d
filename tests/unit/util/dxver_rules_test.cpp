// The probe's decisions with substitute answers for the diagnostic service,
// the file versions and the system directory.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "util/util.h"
#include "unit/case_trace.h"

namespace {

const char* const kDir = "C:\\WINDOWS\\system32";

struct Substitute {
    // The diagnostic service: what it writes and whether all three facts came.
    bool queryComplete = false;
    int queryWrites = 0; // how many of major, minor, letter it writes
    DxVersion reported = {9, 0, 'c'};
    int queries = 0;
    // The system directory.
    bool dirWorks = true;
    uint32_t dirSize = 0;
    // Files by full path.
    std::map<std::string, uint64_t> files;
    std::vector<std::string> reads;
};
Substitute* s_sub = nullptr;

bool subQuery(DxVersion* v)
{
    ++s_sub->queries;
    if (s_sub->queryWrites > 0)
        v->major = s_sub->reported.major;
    if (s_sub->queryWrites > 1)
        v->minor = s_sub->reported.minor;
    if (s_sub->queryWrites > 2)
        v->letter = s_sub->reported.letter;
    return s_sub->queryComplete;
}

bool subRead(const char* path, uint64_t* version)
{
    s_sub->reads.push_back(path);
    auto it = s_sub->files.find(path);
    if (it == s_sub->files.end())
        return false;
    *version = it->second;
    return true;
}

bool subDir(char* dir, uint32_t size)
{
    s_sub->dirSize = size;
    if (!s_sub->dirWorks)
        return false;
    std::strcpy(dir, kDir);
    return true;
}

const DxProbeOps kSubstitute = {subQuery, subRead, subDir};

class Probe : public ::testing::Test {
protected:
    void SetUp() override { s_sub = &sub; }
    void TearDown() override { s_sub = nullptr; }

    void file(const char* name, uint16_t a, uint16_t b, uint16_t c, uint16_t d)
    {
        sub.files[std::string(kDir) + "\\" + name] = composeFileVersion(a, b, c, d);
    }
    std::string probe()
    {
        DxVersion v;
        char text[kDxVersionTextSize];
        std::memset(text, 'X', sizeof text);
        probeDxVersion(kSubstitute, &v, text);
        return text;
    }
    // The fallback alone, on exactly the files given.
    std::string fallback()
    {
        sub.queryComplete = false;
        return probe();
    }

    Substitute sub;
};

TEST(FileVersion, ComposesFourSixteenBitFields)
{
    EXPECT_EQ(composeFileVersion(4, 2, 0, 95), 0x000400020000005FULL);
    EXPECT_EQ(composeFileVersion(5, 1, 2600, 881), 0x000500010A280371ULL);
    EXPECT_EQ(composeFileVersion(0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF), ~0ULL);
}

TEST(FileVersion, ComparesAsUnsignedSixtyFourBitNumbers)
{
    const uint64_t v4 = composeFileVersion(4, 0xFFFF, 0xFFFF, 0xFFFF);
    const uint64_t v5 = composeFileVersion(5, 0, 0, 0);
    EXPECT_EQ(compareFileVersion(v5, v4), 1); // the high half decides first
    EXPECT_EQ(compareFileVersion(v4, v5), -1);
    EXPECT_EQ(compareFileVersion(v5, v5), 0);
    EXPECT_EQ(compareFileVersion(composeFileVersion(4, 8, 1, 901), composeFileVersion(4, 8, 1, 881)), 1);
    EXPECT_EQ(compareFileVersion(composeFileVersion(0x8000, 0, 0, 0), composeFileVersion(0x7FFF, 0, 0, 0)), 1);
}

TEST_F(Probe, ACompleteDiagnosticAnswerDecidesAlone)
{
    sub.queryComplete = true;
    sub.queryWrites = 3;
    file("d3d9.dll", 1, 0, 0, 0);
    EXPECT_EQ(probe(), "90c");
    EXPECT_EQ(sub.queries, 1);
    EXPECT_TRUE(sub.reads.empty());
    EXPECT_EQ(sub.dirSize, 0u); // the system directory is not even asked for
}

TEST_F(Probe, TheLetterIsLoweredAndAnEmptyOneLeavesTwoDigits)
{
    sub.queryComplete = true;
    sub.queryWrites = 3;
    sub.reported = {9, 0, 'C'};
    EXPECT_EQ(probe(), "90c");
    sub.reported = {8, 1, 'b'};
    EXPECT_EQ(probe(), "81b");
    sub.reported = {9, 0, '\0'}; // the first byte of an empty string
    EXPECT_EQ(probe(), "90");
    sub.reported = {9, 0, ' '};
    EXPECT_EQ(probe(), "90");
    sub.reported = {12, 34, 'Z'};
    EXPECT_EQ(probe(), "1234z");
}

// The text never outgrows its ten bytes; the fields print as "%d" prints them.
TEST_F(Probe, TheTextIsCutToNineCharacters)
{
    sub.queryComplete = true;
    sub.queryWrites = 3;
    sub.reported = {1234567890, 12, 'x'};
    EXPECT_EQ(probe(), "123456789");
    sub.reported = {0xFFFFFFFF, 0x80000000, ' '};
    EXPECT_EQ(probe(), "-1-214748");

    DxVersion v = {7, 0, 'A'};
    char text[kDxVersionTextSize + 4];
    std::memset(text, 'X', sizeof text);
    formatDxVersion(v, text);
    EXPECT_STREQ(text, "70a");
    EXPECT_EQ(text[kDxVersionTextSize], 'X'); // nothing written past the buffer
}

// What a query that fails wrote already is overwritten by the fallback.
TEST_F(Probe, AnIncompleteDiagnosticAnswerLeavesTheFallbackToDecide)
{
    for (int writes = 0; writes <= 3; ++writes) {
        CASE_TRACE(writes);
        sub.queryComplete = false;
        sub.queryWrites = writes;
        sub.files.clear();
        EXPECT_EQ(probe(), "00");
        file("d3d9.dll", 5, 3, 2600, 2180);
        EXPECT_EQ(probe(), "90");
    }
    EXPECT_EQ(sub.dirSize, 260u);
}

TEST_F(Probe, EveryRowIsTriedInOrderWithTheSystemDirectory)
{
    fallback();
    const char* const order[] = {"ddraw.dll", "ddraw.dll", "ddraw.dll", "d3drg8x.dll", "ddraw.dll", "ddraw.dll",
                                 "ddraw.dll", "dplayx.dll", "ddraw.dll", "dinput.dll", "ddraw.dll", "d3d8.dll",
                                 "d3d8.dll", "mpg2splt.ax", "dpnet.dll", "d3d9.dll"};
    std::vector<std::string> expected;
    for (const char* name : order)
        expected.push_back(std::string(kDir) + "\\" + name);
    EXPECT_EQ(sub.reads, expected);
}

TEST_F(Probe, NoSystemDirectoryGivesZeroZero)
{
    sub.dirWorks = false;
    file("d3d9.dll", 9, 0, 0, 0);
    EXPECT_EQ(fallback(), "00");
    EXPECT_TRUE(sub.reads.empty());
}

// Each row alone, at its threshold and one step below it.
TEST_F(Probe, EachRowAtAndJustBelowItsThreshold)
{
    struct Row {
        const char* file;
        uint16_t a, b, c, d;
        const char* at;
        const char* below;
    };
    const Row rows[] = {
        {"ddraw.dll", 4, 2, 0, 95, "10", "00"},
        {"ddraw.dll", 4, 3, 0, 1096, "20", "10"},
        {"ddraw.dll", 4, 4, 0, 68, "30", "20"},
        {"d3drg8x.dll", 4, 4, 0, 70, "30a", "00"},
        {"ddraw.dll", 4, 5, 0, 155, "50", "30"},
        {"ddraw.dll", 4, 6, 0, 318, "60", "50"},
        {"ddraw.dll", 4, 6, 0, 436, "61", "60"},
        {"dplayx.dll", 4, 6, 3, 518, "61a", "00"},
        {"ddraw.dll", 4, 7, 0, 700, "70", "61"},
        {"dinput.dll", 4, 7, 0, 716, "70a", "00"},
        {"ddraw.dll", 4, 8, 0, 400, "80", "70"},
        {"ddraw.dll", 5, 1, 2258, 400, "80", "70"},
        {"d3d8.dll", 4, 8, 1, 881, "81", "00"},
        {"d3d8.dll", 5, 1, 2600, 881, "81", "00"},
        {"d3d8.dll", 4, 8, 1, 901, "81a", "81"},
        {"d3d8.dll", 5, 1, 2600, 901, "81a", "81"},
        {"mpg2splt.ax", 6, 3, 1, 885, "81b", "00"},
        {"dpnet.dll", 4, 9, 0, 134, "82", "00"},
        {"dpnet.dll", 5, 2, 3677, 134, "82", "00"},
    };
    for (const Row& r : rows) {
        CASE_TRACE(r.file << " " << r.a << "." << r.b << "." << r.c << "." << r.d);
        sub.files.clear();
        file(r.file, r.a, r.b, r.c, r.d);
        EXPECT_EQ(fallback(), r.at);
        sub.files.clear();
        file(r.file, r.a, r.b, r.c, static_cast<uint16_t>(r.d - 1));
        EXPECT_EQ(fallback(), r.below);
    }
}

TEST_F(Probe, AnyVersionOfD3d9MeansNine)
{
    file("d3d9.dll", 0, 0, 0, 0);
    EXPECT_EQ(fallback(), "90");
}

// Rows 11, 12, 13 and 15 look at the major field: only 4 and 5 count.
TEST_F(Probe, MajorFieldRulesMatchOnlyFourAndFive)
{
    file("ddraw.dll", 6, 0, 0, 0); // newer than every whole-version row
    EXPECT_EQ(fallback(), "70");
    sub.files.clear();
    file("ddraw.dll", 3, 99, 9999, 9999);
    EXPECT_EQ(fallback(), "00");
    sub.files.clear();
    file("d3d8.dll", 6, 0, 0, 0);
    file("dpnet.dll", 6, 0, 0, 0);
    EXPECT_EQ(fallback(), "00");
    sub.files.clear();
    // Major 5 below its own threshold, though far above the major-4 one.
    file("dpnet.dll", 5, 2, 3677, 133);
    EXPECT_EQ(fallback(), "00");
}

TEST_F(Probe, TheLastMatchingRowDecides)
{
    // A system of its time: rows 11 to 15 match, 15 is last.
    file("ddraw.dll", 5, 3, 2600, 2180);
    file("d3d8.dll", 5, 3, 2600, 2180);
    file("mpg2splt.ax", 6, 3, 1, 885);
    file("dpnet.dll", 5, 3, 2600, 2180);
    EXPECT_EQ(fallback(), "82");
    file("d3d9.dll", 5, 3, 2600, 2180);
    EXPECT_EQ(fallback(), "90");

    // An old file of a later row does not undo an earlier match.
    sub.files.clear();
    file("dinput.dll", 4, 7, 0, 716);
    file("dpnet.dll", 4, 9, 0, 133);
    EXPECT_EQ(fallback(), "70a");
}

} // namespace

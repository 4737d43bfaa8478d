#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include "pack/pack.h"
#include "pack_files.h"
#include "packtool.h"

namespace {

// A file name in the system's code: UTF-8 natively, code page 932 bytes
// on Windows, where the cases that need it run with the ANSI code page 932.
std::string systemName(const char* utf8, const char* cp932)
{
#ifdef _WIN32
    (void)utf8;
    return cp932;
#else
    (void)cp932;
    return utf8;
#endif
}

bool japaneseFileNames()
{
#ifdef _WIN32
    return GetACP() == 932;
#else
    return true;
#endif
}

void hardLink(const std::string& existing, const std::string& link)
{
    std::filesystem::remove(link);
#ifdef _WIN32
    ASSERT_TRUE(CreateHardLinkA(link.c_str(), existing.c_str(), nullptr)) << link;
#else
    ASSERT_EQ(::link(existing.c_str(), link.c_str()), 0) << link;
#endif
}

class Tool : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetPackState();
        for (int i = 0; i < 256; ++i)
            binary.push_back(static_cast<char>(i));
    }
    void TearDown() override
    {
        std::free(g_lpReadBuffer);
        g_lpReadBuffer = nullptr;
        resetPackState();
    }

    // The tool's standard output goes to a file, or to `outTo`.
    int run(std::vector<std::string> args, const char* outTo = nullptr)
    {
        args.insert(args.begin(), "tolvo-pack");
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        const std::string outName = scratchName("stdout"), errName = scratchName("stderr");
        FILE* o = std::fopen(outTo ? outTo : outName.c_str(), "wb");
        FILE* e = std::fopen(errName.c_str(), "wb");
        const int status = packMain(static_cast<int>(argv.size()), argv.data(), o, e);
        std::fclose(o);
        std::fclose(e);
        out = readFile(outName);
        err = readFile(errName);
        return status;
    }
    std::string file(const std::string& leaf, const std::string& bytes)
    {
        const std::string name = scratchName(leaf);
        writeFile(name, bytes);
        return name;
    }
    // An empty folder of the test's own.
    std::string folder(const std::string& leaf)
    {
        const std::string name = scratchName(leaf);
        std::filesystem::remove_all(name);
        std::filesystem::create_directory(name);
        return name;
    }

    std::string binary;
    std::string out, err;
};

// Cases that need file names in code page 932, and cases that need another
// code page: under Wine the first run in a prefix of code page 932 alone
// (tests/unit/pack/CMakeLists.txt), the second never there.
class ToolInCodePage932 : public Tool {};
class ToolInOtherCodePage : public Tool {};

TEST_F(Tool, CreateWritesTheLayoutTheReaderExpects)
{
    const std::string a = file("Alpha.TXT", "alpha");
    const std::string b = file("bin", binary);
    const std::string e = file("empty", "");
    const std::string pack = scratchName("made.dpm");
    ASSERT_EQ(run({"create", pack, a, b, e}), 0) << err;
    // Names lowered, data start 16 + 32 x 3, data in the order given.
    const std::string lowerA = scratchName("alpha.txt");
    EXPECT_EQ(readFile(pack), dpmxPack({{lowerA, "alpha"}, {b, binary}, {e, ""}}));

    ASSERT_EQ(run({"list", pack}), 0);
    EXPECT_NE(out.find("3 entries, data start 112"), std::string::npos) << out;
    for (const auto& [name, size, offset] : {std::tuple{lowerA, 5, 0}, {b, 256, 5}, {e, 0, 261}}) {
        char line[80];
        std::snprintf(line, sizeof line, "\n%-23s %10d %10d\n", name.c_str(), size, offset);
        EXPECT_NE(out.find(line), std::string::npos) << out;
    }
    ASSERT_EQ(run({"verify", pack}), 0) << err;
}

TEST_F(Tool, ExtractGivesBackTheSameBytes)
{
    const std::string a = file("Alpha.TXT", "alpha");
    const std::string b = file("bin", binary);
    const std::string e = file("empty", "");
    const std::string pack = scratchName("made.dpm");
    ASSERT_EQ(run({"create", pack, a, b, e}), 0) << err;
    const std::string dir = scratchName("out");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);

    ASSERT_EQ(run({"extract", pack, "-o", dir}), 0) << err;
    EXPECT_EQ(readFile(dir + "/" + scratchName("alpha.txt")), "alpha");
    EXPECT_EQ(readFile(dir + "/" + b), binary);
    EXPECT_EQ(readFile(dir + "/" + e), "");

    // By name, looked up as tovdpmread does (any case).
    std::filesystem::remove(dir + "/" + b);
    ASSERT_EQ(run({"extract", pack, "-o", dir, scratchName("BIN")}), 0) << err;
    EXPECT_EQ(readFile(dir + "/" + b), binary);
    EXPECT_EQ(run({"extract", pack, "-o", dir, "missing"}), 1);
}

TEST_F(Tool, AppendPrintsTheTextThatTovdpmloadTakes)
{
    const std::string a = file("a.txt", "alpha");
    const std::string b = file("bin", binary);
    const std::string pack = scratchName("made.dpm");
    ASSERT_EQ(run({"create", pack, a, b}), 0) << err;
    const std::string game(5000, 'G');
    const std::string host = file("game.exe", game);
    const std::string link = scratchName("link.exe");
    hardLink(host, link);

    ASSERT_EQ(run({"append", host, pack}), 0) << err;
    EXPECT_EQ(out, host + ",5000\n");
    EXPECT_EQ(readFile(host), game + readFile(pack));
    EXPECT_TRUE(readFile(link) == readFile(host)) << "extended in place, the file keeps its other links";

    ASSERT_TRUE(openPack(out.substr(0, out.size() - 1).c_str()));
    unsigned char storage[64];
    TolvoVar var{};
    var.data = storage;
    ASSERT_EQ(tovdpmread(&var, b.c_str(), 0, 0), 0);
    EXPECT_EQ(std::string(static_cast<char*>(var.data), 256), binary);
    ASSERT_EQ(run({"list", host + ",5000"}), 0);
    ASSERT_EQ(run({"verify", host + ",5000"}), 0) << err;

    // Only packs are appended, and the host file must exist.
    EXPECT_EQ(run({"append", host, a}), 1);
    EXPECT_EQ(run({"append", scratchName("no-such-file"), pack}), 1);
    EXPECT_FALSE(std::filesystem::exists(scratchName("no-such-file")));
    EXPECT_EQ(run({"append", pack, pack}), 2);
}

TEST_F(Tool, PackPathsMayHoldCommas)
{
    // A file of the whole name is the pack; otherwise the last comma begins
    // the position.
    const std::string pack = file("a,b.dpm", dpmxPack({{"x", "1"}}));
    const std::vector<std::string> cases[] = {
        {"list", pack}, {"verify", pack}, {"list", pack + ",0"}, {"extract", pack, "x", "-o", "-"}};
    for (const auto& args : cases)
        EXPECT_EQ(run(args), 0) << args[0] << " " << args[1] << err;
    const std::string host = file("g,1.exe", "GAME");
    ASSERT_EQ(run({"append", host, pack}), 0) << err;
    EXPECT_EQ(out, host + ",4\n");
    EXPECT_NE(err.find("tovdpmload cuts its text at the first comma"), std::string::npos) << err;
    EXPECT_EQ(run({"verify", host + ",4"}), 0) << err;
}

TEST_F(Tool, CreateRefusesNamesThePackCannotHold)
{
    const std::string pack = scratchName("made.dpm");
    const std::string name23 = file(std::string(23 - 10, 'n'), "x"); // the scratch prefix is 10 bytes
    const std::string name24 = file(std::string(24 - 10, 'n'), "x");
    ASSERT_EQ(name23.size(), 23u);
    EXPECT_EQ(run({"create", pack, name23}), 0) << err;

    std::filesystem::remove(pack);
    EXPECT_EQ(run({"create", pack, name23, name24}), 1);
    EXPECT_NE(err.find("24 bytes"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(pack));

    const std::string sub = scratchName("sub");
    std::filesystem::create_directories(sub);
    const std::string upper = sub + "/" + scratchName("Same.Txt");
    writeFile(upper, "1");
    const std::string lower = file("same.txt", "2");
    EXPECT_EQ(run({"create", pack, lower, upper}), 1);
    EXPECT_NE(err.find("both"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(pack));

    EXPECT_EQ(run({"create", pack, scratchName("no-such-file")}), 1);
    EXPECT_FALSE(std::filesystem::exists(pack));
    EXPECT_EQ(run({"create"}), 2);
}

TEST_F(Tool, VerifyNamesWhatTheReaderWouldMiss)
{
    const std::string good = file("good.dpm", dpmxPack({{"a", "1"}, {"b", "22"}}));
    EXPECT_EQ(run({"verify", good}), 0) << err;

    struct Case {
        std::string image;
        const char* finding;
    };
    const Case cases[] = {
        {dpmxPack({{"Caps", "1"}}), "capitals"},
        {dpmxPack({{"a", "1"}, {"a", "2"}}), "hides it"},
        {dpmxHeader(48, 1) + dpmxRecord("a", 0, 9) + "short", "beyond the end"},
        {dpmxHeader(16 + 96, 3) + dpmxRecord("a", 0, 0), "1 of the 3"},
        {dpmxHeader(48, 1) + dpmxRecord(std::string(24, 'x'), 0, 0), "no terminating zero"},
        {dpmxHeader(0x7FFFFFF0u, 1) + dpmxRecord("far", 0x10, 1), "2 GiB"},
        {dpmxHeader(16, 0x80000000u), "2^31"},
    };
    for (const Case& c : cases) {
        const std::string pack = file("bad.dpm", c.image);
        EXPECT_EQ(run({"verify", pack}), 1) << c.finding;
        EXPECT_NE(err.find(c.finding), std::string::npos) << err;
    }
    EXPECT_EQ(run({"verify", file("notapack", "DPMx and more bytes")}), 1);
    EXPECT_EQ(run({"verify", good + ",-1"}), 1);
}

TEST_F(Tool, ExtractWritesOnlyInsideItsFolder)
{
    const std::string pack =
        file("bad.dpm", dpmxPack({{"../up", "1"}, {"a/b", "2"}, {"ok", "3"}, {"ok", "4"}, {"\x1b]2;x\a", "5"}}));
    const std::string dir = scratchName("out");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    EXPECT_EQ(run({"extract", pack, "-o", dir}), 1);
    EXPECT_FALSE(std::filesystem::exists("up"));
    EXPECT_EQ(readFile(dir + "/ok"), "3"); // the first "ok", as tovdpmread finds it
    EXPECT_NE(err.find("skipped a second entry \"ok\""), std::string::npos) << err;
    // Control characters never reach the terminal as they are.
    EXPECT_NE(err.find("\"\\x1b]2;x\\x07\" has no name"), std::string::npos) << err;
    ASSERT_EQ(run({"list", pack}), 0);
    EXPECT_NE(out.find("\\x1b]2;x\\x07"), std::string::npos) << out;
    EXPECT_EQ((out + err).find_first_of("\x1b\a"), std::string::npos);
    // A hidden second entry alone is not written either.
    EXPECT_EQ(run({"extract", file("dup.dpm", dpmxPack({{"ok", "5"}, {"ok", "6"}})), "-o", dir}), 1);
    EXPECT_EQ(readFile(dir + "/ok"), "5");
}

#ifdef _WIN32
TEST_F(Tool, ExtractSkipsDeviceNamesOnWindows)
{
    const std::string pack = file("dev.dpm", dpmxPack({{"con.txt", "1"}, {"com1", "2"}, {"a:b", "3"}, {"ok", "4"}}));
    const std::string dir = scratchName("dev-out");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    EXPECT_EQ(run({"extract", pack, "-o", dir}), 1);
    EXPECT_EQ(readFile(dir + "/ok"), "4");
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1u) << err;
}
#endif

// Names as scripts spell them: code page 932 bytes, lowered byte by byte
// as the reader lowers its key, second bytes of double-byte characters too.
TEST_F(ToolInCodePage932, JapaneseNamesAreStoredAsScriptsSpellThem)
{
    if (!japaneseFileNames())
        GTEST_SKIP() << "file names here are not in code page 932";
    struct Name {
        const char* utf8;  // the file's name natively
        const char* cp932; // the same in code page 932: what a script passes
        const char* stored;
        const char* shown; // what extract names it, natively and in code page 932
        const char* shown932;
    };
    const Name names[] = {
        // Second bytes '\\' and 'A', 'C' (ア, イ: stored as ヂ, ツ); 84 61 is
        // no character and is shown as Б, which it came from.
        {"表ソ.DAT", "\x95\x5c\x83\x5c.DAT", "\x95\x5c\x83\x5c.dat", "表ソ.dat", "\x95\x5c\x83\x5c.dat"},
        {"アイ.bmp", "\x83\x41\x83\x43.bmp", "\x83\x61\x83\x63.bmp", "ヂツ.bmp", "\x83\x61\x83\x63.bmp"},
        {"Б.txt", "\x84\x41.txt", "\x84\x61.txt", "Б.txt", "\x84\x41.txt"},
        {"効果音.wav", "\x8c\xf8\x89\xca\x89\xb9.wav", "\x8c\xf8\x89\xca\x89\xb9.wav", "効果音.wav",
         "\x8c\xf8\x89\xca\x89\xb9.wav"},
    };
    const std::string dir = folder("in"), pack = scratchName("jp.dpm"), outDir = scratchName("out");
    std::vector<std::string> args = {"create", pack};
    std::vector<TestEntry> expected;
    for (const Name& n : names) {
        args.push_back(dir + "/" + systemName(n.utf8, n.cp932));
        writeFile(args.back(), n.utf8);
        expected.push_back({n.stored, n.utf8});
    }
    ASSERT_EQ(run(args), 0) << err;
    EXPECT_EQ(readFile(pack), dpmxPack(expected));
    EXPECT_NE(out.find("is stored as \"" + systemName("ヂツ.bmp", "\x83\x61\x83\x63.bmp") + "\""), std::string::npos)
        << out;
    ASSERT_EQ(run({"verify", pack}), 0) << err;
    std::filesystem::remove_all(outDir);
    ASSERT_EQ(run({"extract", pack, "-o", outDir}), 0) << err;

    // The reader finds each entry by the name a script passes.
    ASSERT_TRUE(openPack(pack.c_str()));
    for (const Name& n : names) {
        unsigned char storage[64];
        TolvoVar var{};
        var.data = storage;
        ASSERT_EQ(tovdpmread(&var, n.cp932, 0, 0), 0) << n.utf8;
        EXPECT_EQ(std::string(static_cast<char*>(var.data), std::strlen(n.utf8)), n.utf8);
        std::free(g_lpReadBuffer); // the module keeps only the last one
        g_lpReadBuffer = nullptr;
        EXPECT_EQ(readFile(outDir + "/" + systemName(n.shown, n.shown932)), n.utf8);
    }
    // By name, as the user spells it.
    ASSERT_EQ(run({"extract", pack, "-o", "-", systemName("アイ.BMP", "\x83\x41\x83\x43.BMP")}), 0) << err;
    EXPECT_EQ(out, "アイ.bmp");
}

TEST_F(ToolInCodePage932, NamesAreMeasuredAndComparedInCodePage932)
{
    if (!japaneseFileNames())
        GTEST_SKIP() << "file names here are not in code page 932";
    const std::string dir = folder("in");
    auto put = [&](const char* utf8, const char* cp932) {
        writeFile(dir + "/" + systemName(utf8, cp932), "x");
        return dir + "/" + systemName(utf8, cp932);
    };
    // Ten kanji and ".ab" are 23 bytes in code page 932 (33 in UTF-8).
    const char* const kanji = "\x88\xea\x93\xf1\x8e\x4f\x8e\x6c\x8c\xdc\x98\x5a\x8e\xb5\x94\xaa\x8b\xe3\x8f\x5c";
    const std::string fits = put("一二三四五六七八九十.ab", (kanji + std::string(".ab")).c_str());
    const std::string tooLong = put("一二三四五六七八九十.abc", (kanji + std::string(".abc")).c_str());
    const std::string a = put("ア.txt", "\x83\x41.txt"), dji = put("ヂ.txt", "\x83\x61.txt");
    const std::string pack = scratchName("jp.dpm");
    const std::tuple<std::vector<std::string>, int, const char*> cases[] = {
        {{fits}, 0, ""},
        {{tooLong}, 1, "24 bytes long in code page 932"},
        {{a, dji}, 1, "would both be the entry"}, // the reader would find only the first
    };
    for (const auto& [files, status, message] : cases) {
        std::filesystem::remove(pack);
        std::vector<std::string> args = {"create", pack};
        args.insert(args.end(), files.begin(), files.end());
        EXPECT_EQ(run(args), status) << message;
        EXPECT_NE(err.find(message), std::string::npos) << err;
        EXPECT_EQ(std::filesystem::exists(pack), status == 0);
    }
}

#ifdef _WIN32
TEST_F(ToolInOtherCodePage, JapaneseNamesNeedCodePage932ForFileNamesOnWindows)
{
    if (japaneseFileNames())
        GTEST_SKIP() << "the ANSI code page is 932 here";
    const std::string pack = file("jp.dpm", dpmxPack({{"\x95\x5c.txt", "1"}, {"ok", "2"}}));
    const std::string dir = folder("out");
    EXPECT_EQ(run({"extract", pack, "-o", dir}), 1);
    EXPECT_NE(err.find("\"\\x95\\x5c.txt\" cannot be named in code page " + std::to_string(GetACP())),
              std::string::npos)
        << err;
    EXPECT_EQ(readFile(dir + "/ok"), "2");
    EXPECT_EQ(run({"create", scratchName("c.dpm"), file("caf\xe9.txt", "x")}), 1);
    EXPECT_NE(err.find("code page 932 cannot hold"), std::string::npos) << err;
}
#endif

// An output that is an input, however spelt, is refused before anything is
// written; extract refuses only the entry that would land on the pack.
TEST_F(Tool, NoOutputReplacesAnInput)
{
    const std::string dir = folder("d");
    const std::string pack = dir + "/p.dpm";
    const std::string image = dpmxPack({{"other", "2"}, {"p.dpm", "inner"}});
    writeFile(pack, image);
    hardLink(pack, dir + "/hard.dpm");
#ifdef _WIN32
    const std::string spellings[] = {pack, dir + "/./p.dpm", dir + "/hard.dpm", dir + "\\P.DPM"};
#else
    std::filesystem::create_symlink("p.dpm", dir + "/soft.dpm");
    const std::string spellings[] = {pack, dir + "/./p.dpm", dir + "/hard.dpm", dir + "/soft.dpm"};
#endif
    for (const std::string& other : spellings) {
        EXPECT_EQ(run({"create", pack, other}), 2) << other;
        EXPECT_NE(err.find("is the pack being made"), std::string::npos) << err;
        EXPECT_EQ(run({"append", other, pack}), 2) << other;
        EXPECT_NE(err.find("cannot be appended to itself"), std::string::npos) << err;
    }
    EXPECT_EQ(run({"extract", pack, "-o", dir}), 1);
    EXPECT_NE(err.find("is the pack itself; the entry \"p.dpm\" is not extracted"), std::string::npos) << err;
    EXPECT_EQ(readFile(dir + "/other"), "2");
    EXPECT_EQ(run({"extract", pack, "P.DPM", "-o", dir}), 1);
    EXPECT_EQ(readFile(pack), image);
}

TEST_F(Tool, WrongUsageIsNamed)
{
    const std::string pack = file("p.dpm", dpmxPack({{"a", "1"}}));
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "no command given"},
        {{"lst", pack}, "unknown command 'lst'"},
        {{"list", pack, "--frob"}, "unknown option '--frob'"},
        {{"extract", pack, "-o"}, "option -o needs a value"},
        {{"list", pack, "-o", "d"}, "list takes no -o"},
        {{"list"}, "list needs one pack"},
        {{"verify", pack, "b"}, "'b' is one too many"},
        {{"create"}, "create needs the pack's name"},
        {{"append", pack}, "append needs the file to append to and the pack"},
        {{"-o", "-", "extract", pack, "a", "b"}, "name exactly one entry"},
        {{"list", "-"}, "standard input"},
        {{"create", pack, "-"}, "standard input"},
        {{"append", "-", pack}, "'-' is neither"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(run(args), 2) << message;
        EXPECT_EQ(err.rfind("tolvo-pack: ", 0), 0u) << err;
        EXPECT_NE(err.find(message), std::string::npos) << err;
        EXPECT_NE(err.find("usage: tolvo-pack"), std::string::npos) << err;
    }
    EXPECT_EQ(run({"list", pack, "--help"}), 0);
    EXPECT_NE(out.find("usage: tolvo-pack create"), std::string::npos) << out;
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_EQ(out, std::string("tolvo-pack ") + TOLVO_VERSION + "\n");
}

TEST_F(Tool, OptionsStandAnywhereAndStandardOutputIsDash)
{
    const std::string a = file("a.bin", binary);
    const std::string pack = scratchName("p.dpm");
    ASSERT_EQ(run({"create", pack, a}), 0) << err;
    EXPECT_NE(out.find(": 1 entry, 304 bytes"), std::string::npos) << out;

    const std::string deep = scratchName("new") + "/deeper/still";
    std::filesystem::remove_all(scratchName("new"));
    ASSERT_EQ(run({"-o", deep, "extract", pack}), 0) << err; // the folder is made
    writeFile(deep + "/" + a, "stale");
    ASSERT_EQ(run({"extract", "--output=" + deep, pack, a}), 0) << err;
    EXPECT_EQ(readFile(deep + "/" + a), binary);

    ASSERT_EQ(run({"extract", pack, a, "-o", "-"}), 0) << err;
    EXPECT_EQ(out, binary);
    ASSERT_EQ(run({"create", "-", a}), 0) << err;
    EXPECT_EQ(out, readFile(pack));
    EXPECT_NE(err.find("-: 1 entry"), std::string::npos) << err; // said apart from the pack
    EXPECT_FALSE(std::filesystem::exists("-"));
}

TEST_F(Tool, FoldersWhereFilesBelongAreNamedAsFolders)
{
    const std::string dir = folder("dir");
    const std::string a = file("a", "1");
    const std::string pack = scratchName("p.dpm");
    ASSERT_EQ(run({"create", pack, a}), 0) << err;
    const std::vector<std::string> cases[] = {
        {"list", dir}, {"verify", dir + ",16"}, {"create", pack, a, dir}, {"create", dir, a},
        {"append", dir, pack}, {"append", a, dir},
    };
    for (const auto& args : cases) {
        EXPECT_EQ(run(args), 1) << args[0];
        EXPECT_NE(err.find(dir + " is a folder"), std::string::npos) << err;
    }
    EXPECT_EQ(run({"extract", pack, "-o", a}), 1);
    EXPECT_NE(err.find(a + " is a file, not a folder"), std::string::npos) << err;
}

#ifndef _WIN32
// Devices and FIFOs are written into, never replaced; a write that fails
// names the output and the reason (a file-size limit stands in for a full
// disk), and a failed write to standard output fails the run.
TEST_F(Tool, WritesGoWhereTheyAreAimedAndFailuresAreNamed)
{
    const std::string a = file("a", "alpha"), big = file("big", std::string(8192, 'b'));
    const std::string pack = scratchName("p.dpm"), bigPack = scratchName("big.dpm");
    ASSERT_EQ(run({"create", pack, a}), 0) << err;
    ASSERT_EQ(run({"create", bigPack, big}), 0) << err;
    const std::string host = file("game.exe", "GAME"), dir = folder("dev");
    const std::string null = dir + "/null", full = dir + "/full", fifo = dir + "/fifo";
    if (mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 || mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)))
        GTEST_SKIP() << "copies of /dev/null and /dev/full need root";
    // The FIFO's reader is open first, so that the tool's small write never
    // waits for one.
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    struct rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    const struct rlimit small = {4096, limit.rlim_max};
    const struct Case {
        std::vector<std::string> args;
        const char* outTo;
        std::string message; // empty: succeeds
    } cases[] = {
        {{"create", fifo, a}, nullptr, ""},
        {{"create", null, a}, nullptr, ""},
        {{"create", full, a}, nullptr, "cannot write " + full + ": No space left on device"},
        {{"list", pack}, "/dev/full", "cannot write to standard output: No space left on device"},
        {{"verify", pack}, "/dev/full", "cannot write to standard output: No space left on device"},
        {{"--help"}, "/dev/full", "cannot write to standard output: No space left on device"},
        {{"create", scratchName("out.dpm"), big}, nullptr, "cannot write " + scratchName("out.dpm") + ": File too large"},
        {{"append", host, bigPack}, nullptr, "cannot write " + host + ": File too large; " + host + " is as it was"},
    };
    std::signal(SIGXFSZ, SIG_IGN);
    for (const Case& c : cases) {
        setrlimit(RLIMIT_FSIZE, &small);
        const int status = run(c.args, c.outTo);
        setrlimit(RLIMIT_FSIZE, &limit);
        EXPECT_EQ(status, c.message.empty() ? 0 : 1) << c.args[0] << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
    }
    std::signal(SIGXFSZ, SIG_DFL);
    char fromFifo[256];
    const ssize_t got = read(reader, fromFifo, sizeof fromFifo);
    close(reader);
    EXPECT_EQ(std::string(fromFifo, got > 0 ? static_cast<size_t>(got) : 0), readFile(pack));
    struct stat st;
    for (const std::string& node : {null, full})
        EXPECT_TRUE(stat(node.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) << node;
    EXPECT_TRUE(stat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_FALSE(std::filesystem::exists(scratchName("out.dpm")));
    EXPECT_EQ(readFile(host), "GAME");
}
#endif

TEST_F(Tool, EmptyPacksAndRepeatedAppendsAreWarnings)
{
    const std::string pack = scratchName("empty.dpm");
    ASSERT_EQ(run({"create", pack}), 0) << err;
    EXPECT_EQ(readFile(pack), dpmxHeader(16, 0));
    EXPECT_NE(out.find(": 0 entries, 16 bytes"), std::string::npos) << out;
    EXPECT_NE(err.find("warning: " + pack + " holds no entries"), std::string::npos) << err;
    for (const char* command : {"list", "verify", "extract"}) {
        ASSERT_EQ(run({command, pack}), 0) << command << err;
        EXPECT_NE(err.find("warning: " + pack + " holds no entries"), std::string::npos) << command << err;
    }

    const std::string host = file("game.exe", "GAME");
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(run({"append", host, pack}), 0) << err;
        EXPECT_EQ(out, host + ",4\n");
    }
    EXPECT_NE(err.find("warning: " + host + " already ends with " + pack + "; nothing appended"), std::string::npos)
        << err;
    EXPECT_EQ(readFile(host), "GAME" + dpmxHeader(16, 0));
}

} // namespace

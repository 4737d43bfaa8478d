#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "pack/pack.h"
#include "pack_files.h"
#include "packtool.h"

namespace {

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

    int run(std::vector<std::string> args)
    {
        args.insert(args.begin(), "tolvo-pack");
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        const std::string outName = scratchName("stdout"), errName = scratchName("stderr");
        FILE* o = std::fopen(outName.c_str(), "wb");
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

    std::string binary;
    std::string out, err;
};

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

    ASSERT_EQ(run({"append", host, pack}), 0) << err;
    EXPECT_EQ(out, host + ",5000\n");
    EXPECT_EQ(readFile(host), game + readFile(pack));

    std::string text = out.substr(0, out.size() - 1);
    ASSERT_EQ(tovdpmload(0, text.data(), 0, 0), 0);
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
    const std::string pack = file("bad.dpm", dpmxPack({{"../up", "1"}, {"a/b", "2"}, {"ok", "3"}, {"ok", "4"}}));
    const std::string dir = scratchName("out");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    EXPECT_EQ(run({"extract", pack, "-o", dir}), 1);
    EXPECT_FALSE(std::filesystem::exists("up"));
    EXPECT_EQ(readFile(dir + "/ok"), "3"); // the first "ok", as tovdpmread finds it
    EXPECT_NE(err.find("skipped a second entry \"ok\""), std::string::npos) << err;
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

} // namespace

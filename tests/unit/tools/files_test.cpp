#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "files.h"

namespace fs = std::filesystem;

namespace {

// A folder of the running test's own, emptied first.
class ToolFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::string("files_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directory(dir);
    }
    std::string path(const std::string& leaf) const { return dir + "/" + leaf; }
    static void put(const std::string& name, const std::string& bytes)
    {
        FILE* f = std::fopen(name.c_str(), "wb");
        ASSERT_NE(f, nullptr) << name;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    static std::string get(const std::string& name)
    {
        FILE* f = std::fopen(name.c_str(), "rb");
        if (!f)
            return "<missing>";
        std::string s;
        char buf[256];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            s.append(buf, n);
        std::fclose(f);
        return s;
    }
    std::vector<std::string> listing() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string dir;
};

TEST_F(ToolFiles, TheTargetChangesOnlyWhenTheOutputIsComplete)
{
    const std::string target = path("out.bin");
    put(target, "old");
    OutputFile out;
    std::string error;
    ASSERT_TRUE(openOutput(target, stdout, out, error)) << error;
    std::fputs("new", out.stream);
    std::fflush(out.stream);
    EXPECT_EQ(get(target), "old");
    EXPECT_EQ(listing().size(), 2u); // the temporary file lies beside it
    ASSERT_TRUE(commitOutput(out, error)) << error;
    EXPECT_EQ(get(target), "new");
    EXPECT_EQ(listing(), std::vector<std::string>{"out.bin"});

    // Given up half way: the target is as it was, nothing is left beside it.
    ASSERT_TRUE(openOutput(target, stdout, out, error)) << error;
    std::fputs("half", out.stream);
    discardOutput(out);
    EXPECT_EQ(get(target), "new");
    EXPECT_EQ(listing(), std::vector<std::string>{"out.bin"});

    // A new file is made the same way.
    ASSERT_TRUE(openOutput(path("fresh"), stdout, out, error)) << error;
    std::fputs("x", out.stream);
    ASSERT_TRUE(commitOutput(out, error)) << error;
    EXPECT_EQ(get(path("fresh")), "x");
}

TEST_F(ToolFiles, AnOutputThatCannotBeMadeSaysWhyAndLeavesNothing)
{
    fs::create_directory(path("folder"));
    OutputFile out;
    std::string error;
    EXPECT_FALSE(openOutput(path("folder"), stdout, out, error));
    EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(openOutput(path("missing/out.bin"), stdout, out, error));
    EXPECT_NE(error.find("missing/out.bin"), std::string::npos) << error;
    EXPECT_EQ(listing(), std::vector<std::string>{"folder"});
    EXPECT_TRUE(fs::is_empty(path("folder")));
}

TEST_F(ToolFiles, SameFileGoesByIdentityNotSpelling)
{
    put(path("x"), "1");
    put(path("y"), "1");
    fs::create_directory(path("sub"));
#ifdef _WIN32
    ASSERT_TRUE(CreateHardLinkA(path("link").c_str(), path("x").c_str(), nullptr));
#else
    ASSERT_EQ(link(path("x").c_str(), path("link").c_str()), 0);
    ASSERT_EQ(symlink("x", path("soft").c_str()), 0);
#endif
    const std::string here = dir + "/./x";
    const std::string around = dir + "/sub/../x";
    struct Case {
        std::string a, b;
        bool same;
    };
    std::vector<Case> cases = {
        {path("x"), path("x"), true},   {path("x"), here, true},        {path("x"), around, true},
        {path("x"), path("link"), true}, {path("x"), path("y"), false}, {path("x"), path("none"), false},
        {path("none"), path("none"), false},
    };
#ifdef _WIN32
    cases.push_back({path("x"), dir + "/X", true});
    cases.push_back({path("x"), dir + "\\x", true});
#else
    cases.push_back({path("x"), path("soft"), true});
#endif
    for (const Case& c : cases)
        EXPECT_EQ(sameFile(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST_F(ToolFiles, FoldersAreMadeWithTheirParents)
{
    std::string error;
    ASSERT_TRUE(makeFolders(path("a/b/c"), error)) << error;
    EXPECT_TRUE(isFolder(path("a/b/c")));
    ASSERT_TRUE(makeFolders(path("a/b/c"), error)) << error; // already there
    put(path("file"), "");
    EXPECT_FALSE(makeFolders(path("file/d"), error));
    EXPECT_NE(error.find(path("file") + " is a file"), std::string::npos) << error;
    EXPECT_FALSE(isFolder(path("file")));
}

#ifndef _WIN32
TEST_F(ToolFiles, ReplacingKeepsPermissionsAndLinks)
{
    const std::string target = path("real");
    put(target, "old");
    ASSERT_EQ(chmod(target.c_str(), 0750), 0);
    ASSERT_EQ(symlink("real", path("alias").c_str()), 0);
    OutputFile out;
    std::string error;
    ASSERT_TRUE(openOutput(path("alias"), stdout, out, error)) << error;
    std::fputs("new", out.stream);
    ASSERT_TRUE(commitOutput(out, error)) << error;
    EXPECT_TRUE(fs::is_symlink(path("alias")));
    EXPECT_EQ(get(target), "new");
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
}
#endif

} // namespace

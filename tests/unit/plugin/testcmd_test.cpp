#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fakes/fake_system.h"
#include "plugin/globals.h"
#include "plugin/messages.h"

namespace {

// Runs each case in a fresh folder of its own, the current directory.
class TestCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(MAX_PATH, saved);
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        dir = std::string(tmp) + "tolvo-testcmd-" + std::to_string(GetCurrentProcessId()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(dir.c_str(), nullptr);
        ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
        g_pWaveImage = nullptr;
        for (int i = 0; i < 16; ++i)
            storage[i] = 0x04030201u + 0x01010101u * i * 4;
        var.type = 4;
        var.data = storage;
    }
    void TearDown() override
    {
        DeleteFileA("test.dat");
        RemoveDirectoryA("test.dat");
        SetCurrentDirectoryA(saved);
        RemoveDirectoryA(dir.c_str());
        std::free(g_pWaveImage);
        g_pWaveImage = nullptr;
    }
    std::vector<unsigned char> written()
    {
        std::ifstream f("test.dat", std::ios::binary);
        EXPECT_TRUE(f.good());
        return {std::istreambuf_iterator<char>(f), {}};
    }

    FakeSystemScope sys;
    char saved[MAX_PATH];
    std::string dir;
    uint32_t storage[16];
    TolvoVar var{};
};

TEST_F(TestCommand, WritesFourBytesPerWordAndReplacesAnOlderFile)
{
    {
        std::ofstream old("test.dat", std::ios::binary);
        old << std::string(100, 'x');
    }
    var.word_count = 3;
    EXPECT_EQ(test(&var, 0, 0, 0), 0);
    const auto bytes = written();
    ASSERT_EQ(bytes.size(), 12u);
    EXPECT_EQ(std::memcmp(bytes.data(), storage, 12), 0);
    // The copy is the module's last image block.
    ASSERT_NE(g_pWaveImage, nullptr);
    EXPECT_NE(g_pWaveImage, static_cast<void*>(storage));
    EXPECT_EQ(std::memcmp(g_pWaveImage, storage, 12), 0);
    EXPECT_TRUE(sys.fake().boxes.empty());
}

TEST_F(TestCommand, NoWordsGiveAnEmptyFileAndNoBlock)
{
    for (int32_t words : {0, -1, INT32_MIN}) {
        var.word_count = words;
        EXPECT_EQ(test(&var, 0, 0, 0), 0);
        EXPECT_EQ(written().size(), 0u) << words;
        EXPECT_EQ(g_pWaveImage, nullptr) << words;
    }
}

TEST_F(TestCommand, ARecordWithoutStorageGivesAnEmptyFileInsteadOfACrash)
{
    var.word_count = 3;
    var.data = nullptr;
    EXPECT_EQ(test(&var, 0, 0, 0), 0);
    EXPECT_EQ(written().size(), 0u);
    EXPECT_EQ(test(nullptr, 0, 0, 0), 0);
    EXPECT_EQ(written().size(), 0u);
    EXPECT_EQ(g_pWaveImage, nullptr);
}

TEST_F(TestCommand, ACountTooLargeForMemoryWritesNothing)
{
    var.word_count = INT32_MAX; // 8 GiB on a 32-bit process
    EXPECT_EQ(test(&var, 0, 0, 0), 0);
    EXPECT_EQ(GetFileAttributesA("test.dat"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(g_pWaveImage, nullptr);
}

TEST_F(TestCommand, UnopenableFileShowsItsBoxWhateverTheVerboseFlag)
{
    ASSERT_TRUE(CreateDirectoryA("test.dat", nullptr));
    g_nVerbose = 0;
    var.word_count = 2;
    EXPECT_EQ(test(&var, 0, 0, 0), 0);
    g_nVerbose = 1;
    ASSERT_EQ(sys.fake().boxes.size(), 1u);
    EXPECT_EQ(sys.fake().boxes[0].text, kTextFileOpenError);
    EXPECT_EQ(sys.fake().boxes[0].caption, "");
    EXPECT_EQ(sys.fake().boxes[0].owner, nullptr);
    EXPECT_EQ(sys.fake().boxes[0].style, 0u);
}

} // namespace

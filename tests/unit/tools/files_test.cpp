#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "files.h"

namespace fs = std::filesystem;

namespace {

std::string get(const std::string& name)
{
    FILE* f = std::fopen(name.c_str(), "rb");
    if (!f)
        return "<missing>";
    char buf[64];
    const size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    return std::string(buf, n);
}

size_t filesIn(const std::string& dir)
{
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}));
}

std::string freshFolder()
{
    const std::string dir = std::string("files_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    fs::create_directory(dir);
    return dir;
}

TEST(ToolFiles, TheTargetChangesOnlyWhenTheOutputIsComplete)
{
    const std::string dir = freshFolder();
    const std::string target = dir + "/out.bin";
    FILE* f = std::fopen(target.c_str(), "wb");
    std::fputs("old", f);
    std::fclose(f);

    OutputFile out;
    std::string error;
    ASSERT_TRUE(openOutput(target, stdout, out, error)) << error;
    std::fputs("half", out.stream);
    discardOutput(out); // given up half way
    EXPECT_EQ(get(target), "old");
    EXPECT_EQ(filesIn(dir), 1u);

    ASSERT_TRUE(openOutput(target, stdout, out, error)) << error;
    std::fputs("new", out.stream);
    std::fflush(out.stream);
    EXPECT_EQ(get(target), "old"); // written beside it
    EXPECT_EQ(filesIn(dir), 2u);
    ASSERT_TRUE(commitOutput(out, error)) << error;
    EXPECT_EQ(get(target), "new");
    EXPECT_EQ(filesIn(dir), 1u);

    // A target seen absent is made under its own name and goes again when
    // the output is given up.
    const std::string fresh = dir + "/fresh.bin";
    for (const bool keep : {false, true}) {
        ASSERT_TRUE(openOutput(fresh, stdout, out, error, true)) << error;
        std::fputs("made", out.stream);
        keep ? (void)commitOutput(out, error) : discardOutput(out);
        EXPECT_EQ(get(fresh), keep ? "made" : "<missing>");
        EXPECT_EQ(filesIn(dir), keep ? 2u : 1u);
    }
}

#ifndef _WIN32
TEST(ToolFiles, ReplacingKeepsPermissionsAndLinks)
{
    const std::string dir = freshFolder();
    const std::string target = dir + "/real";
    FILE* f = std::fopen(target.c_str(), "wb");
    std::fclose(f);
    ASSERT_EQ(chmod(target.c_str(), 0750), 0);
    ASSERT_EQ(symlink("real", (dir + "/alias").c_str()), 0);
    OutputFile out;
    std::string error;
    ASSERT_TRUE(openOutput(dir + "/alias", stdout, out, error)) << error;
    std::fputs("new", out.stream);
    ASSERT_TRUE(commitOutput(out, error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir + "/alias"));
    EXPECT_EQ(get(target), "new");
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
}

// An interrupted tool leaves neither its temporary file nor what it had
// appended, nor a file it made where there was none, and ends as the signal
// ends it.
TEST(ToolFiles, AnInterruptionUndoesTheUnfinishedOutput)
{
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        for (const int kind : {0, 1, 2}) { // replacing, extending, making
            const bool extend = kind == 1;
            const std::string dir = freshFolder(), target = dir + "/out.bin";
            FILE* f = std::fopen((kind == 2 ? dir + "/other" : target).c_str(), "wb");
            std::fputs("old", f);
            std::fclose(f);
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                struct sigaction now;
                if (sigaction(sig, nullptr, &now) == 0 && now.sa_handler == SIG_IGN)
                    std::signal(sig, SIG_DFL); // the tests run under nohup
                std::string error;
                OutputFile out;
                ExtendedFile file;
                if (extend ? !openForExtending(target, file, error) : !openOutput(target, stdout, out, error, kind == 2))
                    _exit(1);
                std::fputs("new", extend ? file.stream : out.stream);
                std::fflush(extend ? file.stream : out.stream);
                raise(sig);
                _exit(2);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << " " << kind << " " << status;
            EXPECT_EQ(get(target), kind == 2 ? "<missing>" : "old") << sig << " " << kind;
            EXPECT_EQ(filesIn(dir), 1u) << sig << " " << kind;
        }
    }
}
#endif

} // namespace

// What the soaks share: the host's window, its variables with guard words
// around their storage, the boxes the plug-in shows, and the checks of a
// command's result. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tolvo.h"
#include "unit/music/music_media.h"

// The fixtures the build made (tests/fixtures), as an absolute path; their
// bytes: readFile of unit/music/music_media.h.
std::string fixture(const char* relative);

// A top-level window, shown and in the foreground, as a game's main window;
// the record tovinit takes.
bool createHostWindow(TolvoWindowInfo& info);
void pumpMessages();

// Boxes are counted by text instead of shown: a modal box would stop the
// soak. Everything else reaches the real platform.
void countBoxes();
const std::map<std::string, int>& boxesSeen();

// A script variable: `words` words of storage (at least 16, as the host
// gives), guard words before and after it. reset() makes the record point
// at the host's storage again, as the host does when a script assigns the
// variable anew.
class HostVariable {
public:
    HostVariable(int32_t words, int16_t type, const std::vector<unsigned char>& bytes = {});
    TolvoVar* record() { return &rec_; }
    void reset();
    bool guardsIntact() const;

private:
    std::vector<uint32_t> words_;
    int32_t storageWords_;
    int16_t type_;
    TolvoVar rec_{};
};

// An integer of the script behind a result pointer, with guard words.
class HostInteger {
public:
    HostInteger();
    int32_t* pointer() { return reinterpret_cast<int32_t*>(&words_[kGuard]); }
    bool guardsIntact() const;

private:
    static constexpr int kGuard = 4;
    std::vector<uint32_t> words_;
};

// A command's result checked against the results expected of it, or
// against those its entry in docs/commands.md lists; what fails is counted
// by command and result.
class ResultCheck {
public:
    void expect(const char* command, int result, std::initializer_list<int> allowed);
    void listed(const char* command, int result);
    void guards(const char* command, bool intact);
    // A failure of another kind.
    void fail(const std::string& what);
    int failures() const { return failures_; }
    int64_t commands() const { return commands_; }
    void report() const;

private:
    int failures_ = 0;
    int64_t commands_ = 0;
    std::map<std::string, int> seen_;
};

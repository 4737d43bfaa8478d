// A seeded random game session over all engines on the real platform: each
// step is one command, chosen and given arguments by the seed. It keeps
// the rules a game keeps (tovinit first, a movie freed before the next is
// loaded, music in a few slots), and otherwise calls everything with good
// and bad arguments: missing and damaged files, slots and joysticks out of
// range, variables too small. Every result is checked against the results
// the command's entry in docs/commands.md lists, and every variable's guard
// words after every command.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform_floor.h"
#include "soak_host.h"

class Session {
public:
    // beforeBye runs before each tovbye, while the engines run.
    Session(uint64_t seed, TolvoWindowInfo* info, ResultCheck& check, std::function<void()> beforeBye);
    ~Session();

    // One command. True when it was a tovbye: every engine is stopped, the
    // next step starts them again, and only what is kept is left.
    bool step();
    // Ends the session with tovbye.
    void end();

    // Bytes the plug-in keeps by design: the buffers of the pack reads
    // before the last, which the module never frees.
    int64_t keptBytes() const { return keptBytes_; }
    int64_t packReads() const { return packReads_; }
    // What the plug-in made the platform do (see platform_floor.h).
    const PlatformCounts& platformCounts() const { return counts_; }
    // Calls of each command by result.
    const std::map<std::string, std::map<int, int>>& calls() const { return calls_; }

private:
    struct Variables;
    uint64_t next();
    int pick(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
    int32_t slot();
    int32_t joystick();
    HostVariable& someVariable();
    void start();
    void input();
    void music();
    void movie();
    void pack();
    void utility();
    int call(const char* name, int result);

    uint64_t state_;
    TolvoWindowInfo* info_;
    ResultCheck& check_;
    std::function<void()> beforeBye_;
    std::unique_ptr<Variables> vars_;
    bool started_ = false;
    int mask_ = 7;
    bool movieLoaded_ = false;
    int64_t steps_ = 0;
    int64_t keptBytes_ = 0;
    int64_t lastReadBytes_ = 0;
    int64_t packReads_ = 0;
    PlatformCounts counts_;
    std::map<std::string, std::map<int, int>> calls_;
};

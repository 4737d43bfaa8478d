#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmdline.h"

namespace {

const std::vector<ToolOption> kTable = {
    {"--output", 'o', true},
    {"--memory", 0, false},
    {"--help", 'h', false},
};

struct Parsed {
    bool ok;
    std::string error;
    ToolArgs args;
};

Parsed parse(std::vector<std::string> words)
{
    words.insert(words.begin(), "tool");
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    Parsed p;
    p.ok = parseToolArgs(static_cast<int>(argv.size()), argv.data(), kTable, p.args, p.error);
    return p;
}

TEST(ToolCommandLine, OptionsStandAnywhereAndOperandsKeepTheirOrder)
{
    struct Case {
        std::vector<std::string> words;
        std::vector<std::string> operands;
        std::string output; // the value of --output ("" when absent)
    };
    const Case cases[] = {
        {{"extract", "p.dpm", "-o", "out"}, {"extract", "p.dpm"}, "out"},
        {{"-o", "out", "extract", "p.dpm"}, {"extract", "p.dpm"}, "out"},
        {{"extract", "-oout", "p.dpm"}, {"extract", "p.dpm"}, "out"},
        {{"extract", "--output=out", "p.dpm", "a"}, {"extract", "p.dpm", "a"}, "out"},
        {{"--output", "a", "x", "--output", "b"}, {"x"}, "b"}, // the last one counts
        {{"x", "-o", "-"}, {"x"}, "-"},                         // "-" as a value
        {{"x", "-", "y"}, {"x", "-", "y"}, ""},                 // "-" as an operand
        {{"x", "--", "-o", "--memory"}, {"x", "-o", "--memory"}, ""},
        {{"--output=", "x"}, {"x"}, ""},
    };
    for (const Case& c : cases) {
        const Parsed p = parse(c.words);
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_EQ(p.args.operands, c.operands) << c.words[0];
        EXPECT_EQ(optionValue(p.args, "--output"), c.output);
    }
    const Parsed flags = parse({"a.ogg", "--memory", "-h", "b.wav"});
    ASSERT_TRUE(flags.ok);
    EXPECT_TRUE(hasOption(flags.args, "--memory"));
    EXPECT_TRUE(hasOption(flags.args, "--help"));
    EXPECT_FALSE(hasOption(flags.args, "--output"));
}

TEST(ToolCommandLine, AMistakeIsNamed)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"x", "--frob"}, "unknown option '--frob'"},
        {{"x", "-q"}, "unknown option '-q'"},
        {{"x", "--outputs=a"}, "unknown option '--outputs=a'"},
        {{"x", "-o"}, "option -o needs a value"},
        {{"x", "--output"}, "option --output needs a value"},
        {{"x", "--memory=yes"}, "--memory takes no value"},
    };
    for (const auto& [words, message] : cases) {
        const Parsed p = parse(words);
        EXPECT_FALSE(p.ok) << words.back();
        EXPECT_NE(p.error.find(message), std::string::npos) << p.error;
    }
}

} // namespace

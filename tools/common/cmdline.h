// Command lines of the tools, as tar, zip and oggdec take them: options in
// any position, "--" ends the options, "-" is an operand (standard output
// where a tool writes one output).
//
// A tool lists its options in a table; one more option is one more line
// there, read back with hasOption or optionValue:
//     {"--jobs", 'j', true},          ->  optionValue(args, "--jobs")
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

struct ToolOption {
    const char* longName; // "--output"
    char shortName;       // 'o' for -o, or 0
    bool takesValue;      // -o VALUE, -oVALUE, --output VALUE, --output=VALUE
};

struct ToolArgs {
    std::vector<std::string> operands;                        // in order
    std::vector<std::pair<std::string, std::string>> options; // long name, value
};

// Sorts argv[1..argc) into options and operands. False with `error` naming
// what was wrong (an unknown option, a missing or unexpected value).
bool parseToolArgs(int argc, char** argv, const std::vector<ToolOption>& table, ToolArgs& args,
                   std::string& error);

bool hasOption(const ToolArgs& args, const char* longName);

// The value of the option's last occurrence ("" when it was not given).
std::string optionValue(const ToolArgs& args, const char* longName);

// "TOOL VERSION", the project's version.
void printVersion(FILE* to, const char* tool);

// The end of a run that printed to `out`: when anything written there was
// lost (a full disk, a closed pipe), says so on `err` as TOOL and gives 1
// for a status of 0; otherwise gives the status back.
int finishOutput(FILE* out, FILE* err, const char* tool, int status);

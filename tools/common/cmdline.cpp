#include "cmdline.h"

#include <cerrno>
#include <cstring>

#include "messages.h"

namespace {

const ToolOption* findLong(const std::vector<ToolOption>& table, const std::string& name)
{
    for (const ToolOption& o : table)
        if (name == o.longName)
            return &o;
    return nullptr;
}

const ToolOption* findShort(const std::vector<ToolOption>& table, char c)
{
    for (const ToolOption& o : table)
        if (o.shortName != 0 && o.shortName == c)
            return &o;
    return nullptr;
}

} // namespace

bool parseToolArgs(int argc, char** argv, const std::vector<ToolOption>& table, ToolArgs& args,
                   std::string& error)
{
    args = ToolArgs{};
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            args.operands.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        const ToolOption* option = nullptr;
        std::string value;
        bool inlineValue = false;
        if (a[1] == '-') {
            const size_t eq = a.find('=');
            option = findLong(table, a.substr(0, eq));
            if (option && eq != std::string::npos) {
                value = a.substr(eq + 1);
                inlineValue = true;
            }
        } else {
            option = findShort(table, a[1]);
            if (option && a.size() > 2) {
                value = a.substr(2);
                inlineValue = true;
            }
        }
        if (!option) {
            error = toolText(kToolUnknownOption, {a});
            return false;
        }
        if (!option->takesValue && inlineValue) {
            error = toolText(kToolOptionTakesNoValue, {option->longName, a});
            return false;
        }
        if (option->takesValue && !inlineValue) {
            if (i + 1 >= argc) {
                error = toolText(kToolOptionNeedsValue, {a});
                return false;
            }
            value = argv[++i];
        }
        args.options.emplace_back(option->longName, value);
    }
    return true;
}

bool hasOption(const ToolArgs& args, const char* longName)
{
    for (const auto& [name, value] : args.options)
        if (name == longName)
            return true;
    return false;
}

std::string optionValue(const ToolArgs& args, const char* longName)
{
    std::string found;
    for (const auto& [name, value] : args.options)
        if (name == longName)
            found = value;
    return found;
}

void printVersion(FILE* to, const char* tool)
{
    std::fprintf(to, "%s %s\n", tool, TOLVO_VERSION);
}

int finishOutput(FILE* out, FILE* err, const char* tool, int status)
{
    errno = 0;
    if (std::fflush(out) == 0 && !std::ferror(out))
        return status;
    // The reason of a write that failed before this flush is gone by now.
    const std::string reason = errno ? std::strerror(errno) : toolText(kToolAWriteFailed);
    writeText(err, std::string(tool) + ": " + toolText(kToolCannotWriteStandardOutput, {reason}) + "\n");
    return status ? status : 1;
}

// Each command's results as its entry in docs/commands.md lists them:
// "`tovmusicload(slot, file name, –, –)` → 0; -1; -9". The sweep and the
// soak check every result against these; a file that cannot be read gives
// no entries, so that every result fails.
#pragma once

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

inline std::map<std::string, std::set<int>> documentedResults(const char* path)
{
    std::map<std::string, std::set<int>> results;
    std::ifstream doc(path);
    const std::regex entry("^`([a-z0-9]+)\\(.*\\)` → (.*)$");
    std::string line;
    while (std::getline(doc, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, entry))
            continue;
        std::stringstream list(m[2].str());
        std::string item;
        while (std::getline(list, item, ';'))
            results[m[1].str()].insert(std::stoi(item));
    }
    return results;
}

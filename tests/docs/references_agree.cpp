// references_agree ENGLISH JAPANESE: whether a Japanese page of the docs
// says what the English one says where a script depends on it: the same
// sections in the same order, in each the same commands with the same
// results and the same box texts. Prints each difference, naming the section
// (a command's heading is its names); exits 1 if there is one.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <regex>
#include <string>
#include <vector>

namespace {

// A section's anchor, then its facts: "tovinit → 0; -1", "box \"[tovinit]...\"".
using Section = std::vector<std::string>;

// A translated heading names the English one's anchor as <a id="...">;
// otherwise the anchor is made as renderers make it from the heading.
std::string anchorOf(const std::string& heading)
{
    std::smatch m;
    if (std::regex_search(heading, m, std::regex("<a id=\"([^\"]+)\"></a>")))
        return m[1];
    std::string anchor;
    for (unsigned char c : heading)
        if (std::isalnum(c) || c == '-' || c == '_' || c >= 0x80)
            anchor += static_cast<char>(std::tolower(c));
        else if (c == ' ')
            anchor += '-';
    return anchor;
}

// Box texts are the quoted texts of a line that name a routine in brackets
// or are Japanese (UTF-8 lead bytes 0xE3 to 0xEF start kana, kanji and
// full-width forms); other quoted texts may be worded freely.
void addBoxes(const std::string& line, Section& section)
{
    for (size_t open = line.find('"'), close; open != std::string::npos; open = line.find('"', close + 1)) {
        if ((close = line.find('"', open + 1)) == std::string::npos)
            return;
        const std::string quoted = line.substr(open + 1, close - open - 1);
        if (quoted.rfind("[", 0) == 0 ||
            std::any_of(quoted.begin(), quoted.end(), [](unsigned char c) { return c >= 0xE3 && c <= 0xEF; }))
            section.push_back("box \"" + quoted + "\"");
    }
}

std::vector<Section> read(const char* path)
{
    std::ifstream in(path);
    std::vector<Section> sections{{"(the top)"}};
    const std::regex heading("^###? (.*)$");
    const std::regex signature("^`([a-z0-9]+)\\(.*\\)` → (.*)$");
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, heading))
            sections.push_back({anchorOf(m[1])});
        else if (std::regex_match(line, m, signature))
            sections.back().push_back(m[1].str() + " → " + m[2].str());
        else
            addBoxes(line, sections.back());
    }
    if (sections.size() == 1)
        std::cout << path << ": no section\n";
    return sections;
}

std::string at(const std::vector<std::string>& items, size_t k)
{
    return k < items.size() ? items[k] : "(nothing)";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: references_agree ENGLISH JAPANESE\n";
        return 2;
    }
    const std::vector<Section> en = read(argv[1]), ja = read(argv[2]);
    bool agree = en.size() > 1 && ja.size() > 1;
    for (size_t i = 0; i < std::max(en.size(), ja.size()); ++i) {
        const Section a = i < en.size() ? en[i] : Section{}, b = i < ja.size() ? ja[i] : Section{};
        for (size_t k = 0; k < std::max(a.size(), b.size()); ++k) {
            if (at(a, k) == at(b, k))
                continue;
            std::cout << at(a, 0) << ": English " << at(a, k) << "\n  Japanese " << at(b, k) << "\n";
            if (k == 0) // past a missing or moved section every later one would differ
                return 1;
            agree = false;
            break;
        }
    }
    std::cout << (agree ? "the references agree\n" : "the references differ\n");
    return agree ? 0 : 1;
}

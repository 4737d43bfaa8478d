// references_agree ENGLISH JAPANESE: whether a Japanese page of the docs
// says what the English one says where a script depends on it: the same
// sections in the same order, in each the same commands with the same
// results and the same box texts. Prints each difference, naming the section
// (a command's heading is its names); exits 1 if there is one.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <regex>
#include <string>
#include <vector>

namespace {

struct Section {
    std::string anchor;
    std::vector<std::string> facts; // "tovinit → 0; -1", "box [tovinit]..."
};

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
// or are Japanese; other quoted texts (file names, sample values) may be
// worded freely.
void addBoxes(const std::string& line, std::vector<std::string>& facts)
{
    for (size_t open = line.find('"'); open != std::string::npos;) {
        const size_t close = line.find('"', open + 1);
        if (close == std::string::npos)
            return;
        const std::string quoted = line.substr(open + 1, close - open - 1);
        // UTF-8 lead bytes 0xE3 to 0xEF start kana, kanji and full-width forms.
        bool japanese = false;
        for (unsigned char c : quoted)
            japanese = japanese || (c >= 0xE3 && c <= 0xEF);
        if (japanese || quoted.rfind("[", 0) == 0)
            facts.push_back("box \"" + quoted + "\"");
        open = line.find('"', close + 1);
    }
}

std::vector<Section> read(const char* path)
{
    std::ifstream in(path);
    if (!in) {
        std::cerr << "cannot read " << path << "\n";
        std::exit(2);
    }
    const std::regex heading("^###? (.*)$");
    const std::regex signature("^`([a-z0-9]+)\\(.*\\)` → (.*)$");
    std::vector<Section> sections{{"(the top)", {}}};
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, heading))
            sections.push_back({anchorOf(m[1]), {}});
        else if (std::regex_match(line, m, signature))
            sections.back().facts.push_back(m[1].str() + " → " + m[2].str());
        else
            addBoxes(line, sections.back().facts);
    }
    return sections;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: references_agree ENGLISH JAPANESE\n";
        return 2;
    }
    const std::vector<Section> en = read(argv[1]);
    const std::vector<Section> ja = read(argv[2]);
    int differences = 0;
    for (size_t i = 0; i < std::max(en.size(), ja.size()); ++i) {
        const std::string enName = i < en.size() ? en[i].anchor : "(nothing)";
        const std::string jaName = i < ja.size() ? ja[i].anchor : "(nothing)";
        if (enName != jaName) {
            // Past a missing or moved section every later one would differ.
            std::cout << "section " << i << ": English " << enName << ", Japanese " << jaName << "\n";
            return 1;
        }
        const std::vector<std::string>& a = en[i].facts;
        const std::vector<std::string>& b = ja[i].facts;
        for (size_t k = 0; k < std::max(a.size(), b.size()); ++k) {
            const std::string x = k < a.size() ? a[k] : "(nothing)";
            const std::string y = k < b.size() ? b[k] : "(nothing)";
            if (x != y) {
                std::cout << enName << ": English " << x << "\n" << std::string(enName.size(), ' ')
                          << "  Japanese " << y << "\n";
                ++differences;
                break;
            }
        }
    }
    std::cout << (differences ? "the references differ\n" : "the references agree\n");
    return differences ? 1 : 0;
}

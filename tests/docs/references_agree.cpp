// references_agree [--messages MESSAGES] ENGLISH JAPANESE [ENGLISH JAPANESE ...]
// Whether each Japanese page of the docs says what its English page says
// where a reader depends on it: the same sections in the same order, and in
// each the same command signatures (argument order and results), box texts,
// table rows and command lines in code, and every number, code span and
// quoted text of the English section somewhere in the Japanese one. With
// --messages, every box text the pages quote is one of the plug-in's own
// texts, and each of those is quoted by the first English page. Pages ending
// in .txt are plain text with underlined headings. Prints each difference,
// naming the section; exits 1 if there is one.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Section {
    Section(std::string n, std::string k) : name(std::move(n)), key(std::move(k)) {}
    std::string name;                       // the English one's, for plain text
    std::string key;                        // what pairs it: its anchor, or its place
    std::vector<std::string> facts;         // must agree one for one, in order
    std::multiset<std::string> literals;    // each English one must be in the Japanese
    std::string text;                       // the prose, read for literals at the end
};

using Page = std::vector<Section>;

bool japanese(const std::string& s)
{
    // UTF-8 lead bytes 0xE3 to 0xEF start kana, kanji and full-width forms.
    return std::any_of(s.begin(), s.end(), [](unsigned char c) { return c >= 0xE3 && c <= 0xEF; });
}

bool isBox(const std::string& quoted)
{
    return quoted.rfind("[", 0) == 0 || japanese(quoted);
}

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

// Takes the `code spans` out of a text, keeping them.
std::string withoutCode(const std::string& text, std::vector<std::string>& spans)
{
    std::string rest;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t close = text[i] == '`' ? text.find('`', i + 1) : std::string::npos;
        if (close == std::string::npos) {
            rest += text[i];
            continue;
        }
        // A span broken over lines reads as one with a space.
        spans.push_back(std::regex_replace(text.substr(i, close - i + 1), std::regex("\\s+"), " "));
        rest += ' ';
        i = close;
    }
    return rest;
}

// Numbers as written: 12, -3, 0.2, 10,000, 0x0811; not the digits of a word
// (d3d9, F1, ver0.67).
void addNumbers(const std::string& text, std::multiset<std::string>& out)
{
    const auto word = [](unsigned char c) { return std::isalnum(c) || c == '_' || c == '.'; };
    for (size_t i = 0; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])) || (i > 0 && word(text[i - 1])))
            continue;
        size_t start = i > 0 && text[i - 1] == '-' && (i < 2 || !std::isalnum(static_cast<unsigned char>(text[i - 2])))
            ? i - 1 : i;
        size_t end = i;
        if (text.compare(i, 2, "0x") == 0 && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 2])))
            for (end = i + 2; end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end])); ++end) {}
        else
            while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) ||
                       ((text[end] == '.' || text[end] == ',') && end + 1 < text.size() &&
                           std::isdigit(static_cast<unsigned char>(text[end + 1])))))
                ++end;
        out.insert(text.substr(start, end - start));
        i = end;
    }
}

// A section's box texts, in order, beside its other facts; its literals:
// its code spans, its quoted texts (not a phrase of English words, which the
// Japanese translates, nor the title of a section it points to) and its
// numbers outside both.
void addQuotes(Section& section, const std::set<std::string>& headings)
{
    std::vector<std::string> spans;
    std::string rest = withoutCode(section.text, spans), prose;
    section.literals.insert(spans.begin(), spans.end());
    const std::regex phrase("[A-Za-z]+( [A-Za-z]+)+");
    size_t from = 0;
    for (size_t open = rest.find('"'); open != std::string::npos; open = rest.find('"', from)) {
        const size_t close = rest.find('"', open + 1);
        if (close == std::string::npos)
            break;
        std::string quoted = rest.substr(open + 1, close - open - 1);
        std::replace(quoted.begin(), quoted.end(), '\n', ' ');
        if (isBox(quoted))
            section.facts.push_back("box \"" + quoted + "\"");
        if (!std::regex_match(quoted, phrase) && !headings.count(quoted))
            section.literals.insert("\"" + quoted + "\"");
        prose += rest.substr(from, open - from) + ' ';
        from = close + 1;
    }
    prose += rest.substr(std::min(from, rest.size()));
    addNumbers(prose, section.literals);
}

// A table row's cells by what must stay: numbers, code, quotes, and a cell
// that is one capitalised word (a key's name: "Z", "F1").
std::string rowFact(const std::string& line)
{
    std::string fact = "row";
    size_t at = 1;
    for (size_t bar; (bar = line.find('|', at)) != std::string::npos; at = bar + 1) {
        std::string cell = line.substr(at, bar - at);
        cell.erase(0, cell.find_first_not_of(' '));
        cell.erase(cell.find_last_not_of(' ') + 1);
        std::vector<std::string> spans;
        std::multiset<std::string> numbers;
        addNumbers(withoutCode(cell, spans), numbers);
        fact += "\t|";
        if (std::regex_match(cell, std::regex("[A-Z][A-Za-z0-9]*")))
            fact += "\t" + cell;
        for (const std::string& s : spans)
            fact += "\t" + s;
        for (const std::string& n : numbers)
            fact += "\t" + n;
    }
    return fact;
}

Page read(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.rfind("\xEF\xBB\xBF", 0) == 0 ? line.substr(3) : line);
    const bool plain = path.size() > 4 && path.compare(path.size() - 4, 4, ".txt") == 0;
    const std::regex heading("^###? (.*)$"), underline("^[-=]{3,}$");
    const std::regex signature("^`([a-z0-9]+)\\((.*)\\)` → (.*)$");
    const std::regex command("^ {4,}((tov[a-z0-9]*|test|[!-~]*tolvo-[!-~]*)( [!-~]+)*?)( {2,}.*| #.*)?$");
    Page page{Section("(the top)", "(the top)")};
    std::set<std::string> headings;
    std::smatch m;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (plain ? i + 1 < lines.size() && std::regex_match(lines[i + 1], underline) && !line.empty()
                  : std::regex_match(line, m, heading)) {
            page.emplace_back(plain ? line : anchorOf(m[1]), plain ? std::to_string(page.size()) : anchorOf(m[1]));
            headings.insert(plain ? line : m[1].str());
            i += plain;
            continue;
        }
        Section& section = page.back();
        if (!plain && std::regex_match(line, m, signature)) {
            // The arguments' names are translated; their places are not.
            const std::string args = m[2].str() + ", ";
            std::string shape;
            for (size_t from = 0, comma; (comma = args.find(", ", from)) != std::string::npos; from = comma + 2)
                shape += std::string(shape.empty() ? "" : ", ") + (args.compare(from, comma - from, "–") ? "x" : "–");
            section.facts.push_back(m[1].str() + "(" + shape + ") → " + m[3].str());
            continue;
        }
        if (!plain && line.rfind("|", 0) == 0 && line.find("---") == std::string::npos)
            section.facts.push_back(rowFact(line));
        else if (std::regex_match(line, m, command))
            section.facts.push_back("code " + std::regex_replace(m[1].str(), std::regex(" +"), " "));
        section.text += line + "\n";
    }
    for (Section& section : page)
        addQuotes(section, headings);
    if (page.size() == 1)
        std::cout << path << ": no section\n";
    return page;
}

std::string at(const std::vector<std::string>& items, size_t k)
{
    std::string item = k < items.size() ? items[k] : "(nothing)";
    std::replace(item.begin(), item.end(), '\t', ' ');
    return item;
}

std::vector<std::string> split(const std::string& text, const std::string& by)
{
    std::vector<std::string> parts;
    for (size_t from = 0, to;; from = to + by.size()) {
        parts.push_back(text.substr(from, (to = text.find(by, from)) - from));
        if (to == std::string::npos)
            return parts;
    }
}

// Facts agree when equal; a table row's Japanese cells may hold more than
// the English ones ("2 桁の 16 進数" for "two hexadecimal digits").
bool holds(const std::string& en, const std::string& ja)
{
    if (en == ja)
        return true;
    if (en.rfind("row\t", 0) != 0 || ja.rfind("row\t", 0) != 0)
        return false;
    const std::vector<std::string> a = split(en, "\t|"), b = split(ja, "\t|");
    if (a.size() != b.size())
        return false;
    for (size_t c = 0; c < a.size(); ++c) {
        std::vector<std::string> left = split(b[c], "\t");
        for (const std::string& item : split(a[c], "\t"))
            if (auto found = std::find(left.begin(), left.end(), item); found != left.end())
                left.erase(found);
            else
                return false;
    }
    return true;
}

bool agree(const Page& en, const Page& ja)
{
    bool same = en.size() > 1 && ja.size() > 1;
    for (size_t i = 0; i < std::max(en.size(), ja.size()); ++i) {
        if (i >= en.size() || i >= ja.size() || en[i].key != ja[i].key) {
            // Past a missing or moved section every later one would differ.
            std::cout << "sections: English " << (i < en.size() ? en[i].name : "(nothing)") << "\n  Japanese "
                      << (i < ja.size() ? ja[i].name : "(nothing)") << "\n";
            return false;
        }
        const Section &a = en[i], &b = ja[i];
        for (size_t k = 0; k < std::max(a.facts.size(), b.facts.size()); ++k)
            if (k >= a.facts.size() || k >= b.facts.size() || !holds(a.facts[k], b.facts[k])) {
                std::cout << a.name << ": English " << at(a.facts, k) << "\n  Japanese " << at(b.facts, k) << "\n";
                same = false;
                break;
            }
        std::multiset<std::string> left = b.literals;
        std::string lacks;
        for (const std::string& item : a.literals)
            if (auto found = left.find(item); found != left.end())
                left.erase(found);
            else
                lacks += " " + item;
        if (!lacks.empty()) {
            std::cout << a.name << ": the Japanese lacks" << lacks << "\n";
            same = false;
        }
        // Japanese counts small integers where English has words ("1 フレーム"
        // for "a frame"); a fraction, a negative or a hexadecimal number it
        // has must be the English one's.
        std::string adds;
        for (const std::string& item : b.literals)
            if (std::regex_match(item, std::regex("-.*|0x.*|.*\\..*")) && !a.literals.count(item))
                adds += " " + item;
        if (!adds.empty()) {
            std::cout << a.name << ": the Japanese adds" << adds << "\n";
            same = false;
        }
    }
    return same;
}

// The plug-in's texts: `const char kTextName[] = "...";` in UTF-8.
std::set<std::string> messages(const char* path)
{
    std::ifstream in(path);
    std::set<std::string> texts;
    std::smatch m;
    for (std::string line; std::getline(in, line);)
        if (std::regex_match(line, m, std::regex("^const char kText\\w+\\[\\] = \"(.*)\";$")))
            texts.insert(m[1]);
    if (texts.empty())
        std::cout << path << ": no message\n";
    return texts;
}

bool boxesAreMessages(const std::vector<Page>& pages, const std::set<std::string>& texts)
{
    bool same = !texts.empty();
    std::set<std::string> quoted;
    for (const Page& page : pages)
        for (const Section& section : page)
            for (const std::string& fact : section.facts)
                if (fact.rfind("box \"", 0) == 0) {
                    const std::string text = fact.substr(5, fact.size() - 6);
                    if (&page == &pages[0])
                        quoted.insert(text);
                    if (!texts.count(text)) {
                        std::cout << section.name << ": \"" << text << "\" is no text of the plug-in\n";
                        same = false;
                    }
                }
    for (const std::string& text : texts)
        if (isBox(text) && !quoted.count(text)) {
            std::cout << "the plug-in's \"" << text << "\" is in no section of the first page\n";
            same = false;
        }
    return same;
}

} // namespace

int main(int argc, char** argv)
{
    const char* table = argc > 2 && std::string(argv[1]) == "--messages" ? argv[2] : nullptr;
    const int first = table ? 3 : 1;
    if (argc - first < 2 || (argc - first) % 2) {
        std::cerr << "usage: references_agree [--messages MESSAGES] ENGLISH JAPANESE [ENGLISH JAPANESE ...]\n";
        return 2;
    }
    bool same = true;
    std::vector<Page> english;
    for (int i = first; i < argc; i += 2) {
        std::cout << argv[i] << " / " << argv[i + 1] << "\n";
        english.push_back(read(argv[i]));
        same = agree(english.back(), read(argv[i + 1])) && same;
    }
    if (table)
        same = boxesAreMessages(english, messages(table)) && same;
    std::cout << (same ? "the references agree\n" : "the references differ\n");
    return same ? 0 : 1;
}

#include "packaging/HelpNames.h"

#include <algorithm>
#include <regex>
#include <sstream>
#include <vector>

namespace orvalt::test {

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// An option anywhere in a text begins a word (or follows "[", "(" or ","):
// "--fast", "-o", but not the hyphen of "SN-0001" or Qt's one-dash "-platform".
std::set<std::string> OptionsIn(const std::string& text) {
    static const std::regex option(
        R"((?:^|[\s\[(,])(--[A-Za-z][A-Za-z0-9-]*|-[A-Za-z](?![A-Za-z0-9-])))");
    std::set<std::string> options;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it) {
        options.insert((*it)[1].str());
    }
    return options;
}

// roff's minus, backslash, font changes and zero-width marks as the reader
// sees them.
std::string PlainRoff(const std::string& page) {
    static const std::regex font(R"(\\f(?:[BIRP]|\(..|\[[^\]]*\]))");
    static const std::regex marks(R"(\\[&%])");
    std::string text = std::regex_replace(page, font, "");
    text = std::regex_replace(text, marks, "");
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    return std::regex_replace(text, std::regex(R"(\\e)"), "\\");
}

// A macro line's words without the macro and its quotes: ".B 0" is "0".
std::string MacroText(const std::string& line) {
    static const std::regex macro(R"(^\.[A-Za-z]+\s*)");
    std::string text = std::regex_replace(line, macro, "");
    text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
    return text;
}

// The option names that begin a line of the help's table ("-o,--out TEXT"),
// and the values the help lists for it ("--by TEXT:{model,day}").
void ReadOptionLine(const std::string& line, HelpNames& names) {
    static const std::regex head(R"(^\s+(-[^\s]+)(?:\s+[A-Z]+:\{([^}]*)\})?)");
    std::smatch match;
    if (!std::regex_search(line, match, head)) {
        return;
    }
    std::istringstream words(match[1].str());
    std::string last;
    for (std::string name; std::getline(words, name, ',');) {
        names.options.insert(name);
        last = name;
    }
    std::istringstream values(match[2].str());
    for (std::string value; std::getline(values, value, ',');) {
        names.choices[last].insert(value);
    }
}

bool IsWholeNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

HelpNames ReadHelp(const std::string& help) {
    static const std::regex status(R"(^\s+(\d+)\s\s)");
    static const std::regex command(R"(^  ([a-z][a-z-]*)\s)");
    HelpNames names;
    std::string table;
    for (const std::string& line : Lines(help)) {
        ReadOptionLine(line, names);
        if (line.empty() || line.back() == ':') {
            table = line;
            continue;
        }
        std::smatch match;
        if (table == "Exit statuses:" && std::regex_search(line, match, status)) {
            names.exitStatuses.insert(std::stoi(match[1].str()));
        } else if (table == "Subcommands:" && std::regex_search(line, match, command)) {
            names.commands.insert(match[1].str());
        }
    }
    return names;
}

HelpNames ReadManPage(const std::string& page) {
    const std::string text = PlainRoff(page);
    HelpNames names;
    names.options = OptionsIn(text);
    std::string section;
    bool tagNext = false;
    for (const std::string& line : Lines(text)) {
        if (line.starts_with(".SH")) {
            section = MacroText(line);
        } else if (line.starts_with(".SS") && section == "COMMANDS") {
            names.commands.insert(MacroText(line));
        } else if (tagNext && section == "EXIT STATUS" && IsWholeNumber(MacroText(line))) {
            names.exitStatuses.insert(std::stoi(MacroText(line)));
        }
        tagNext = line.starts_with(".TP");
    }
    return names;
}

void Merge(HelpNames& names, const HelpNames& more) {
    names.options.insert(more.options.begin(), more.options.end());
    names.exitStatuses.insert(more.exitStatuses.begin(), more.exitStatuses.end());
    names.commands.insert(more.commands.begin(), more.commands.end());
    names.choices.insert(more.choices.begin(), more.choices.end());
}

}  // namespace orvalt::test

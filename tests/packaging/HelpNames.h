#pragma once
// What a program's --help and its manual page name, read alike so that the
// two can be held against each other: the options, the exit statuses and the
// commands.

#include <map>
#include <set>
#include <sstream>
#include <string>

namespace orvalt::test {

struct HelpNames {
    std::set<std::string> options;  // "--simulate", "-o"
    std::set<int> exitStatuses;
    std::set<std::string> commands;
    // The values an option takes when the help lists them: "--by" {"day", ...}.
    std::map<std::string, std::set<std::string>> choices;
};

// A --help text: the options its table names (an indented line that begins
// with one), the values it lists for them, the numbers of its "Exit
// statuses:" table and the names of its "Subcommands:" list.
HelpNames ReadHelp(const std::string& help);

// A man(7) page: every option it names, the tags of its EXIT STATUS section
// and the headings of its COMMANDS section.
HelpNames ReadManPage(const std::string& page);

// `more`'s names added to `names`.
void Merge(HelpNames& names, const HelpNames& more);

// What `of` holds and `in` does not, as one line ("" when nothing).
template <class Name>
std::string Lacking(const std::set<Name>& of, const std::set<Name>& in) {
    std::ostringstream lacking;
    for (const Name& name : of) {
        if (!in.contains(name)) {
            lacking << (lacking.tellp() > 0 ? " " : "") << name;
        }
    }
    return lacking.str();
}

}  // namespace orvalt::test

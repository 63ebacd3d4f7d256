// The bash completion of orvalt-cli offers what orvalt-cli takes: exactly the
// options of its help and of each command's help, the commands as the first
// word only, and for each option the files or the values it wants.

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "packaging/HelpNames.h"
#include "support/HeadlessChromium.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

using Names = std::set<std::string>;

class Completion : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* file : {"plan.csv", "limits.csv", "unit.json", "lot.json",
                                 "results.sqlite", "notes.txt", "report.html", "folder/a.txt"}) {
            WriteBytes(folder / file, "");
        }
    }

    // What bash offers for the command line `words`, its last word the one
    // being completed, through the function the completion file registers.
    Names Offered(const std::vector<std::string>& words) {
        std::ostringstream script;
        script << "cd '" << folder.Path().string() << "' || exit 1\n"
               << "source '" << ORVALT_SOURCE_DIR << "/packaging/completion/orvalt-cli'\n"
               << "function=$(complete -p orvalt-cli | sed -n 's/.* -F \\([^ ]*\\) .*/\\1/p')\n"
               << "COMP_WORDS=(";
        for (const std::string& word : words) {
            script << " '" << word << "'";
        }
        script << " )\nCOMP_CWORD=" << words.size() - 1 << "\n"
               << "COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}\n"
               << "\"$function\" 2>/dev/null\n"
               << "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
        WriteBytes(scripts / "complete.sh", script.str());
        Names offered;
        std::istringstream lines(Output("bash '" + (scripts / "complete.sh").string() + "'"));
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty()) {
                offered.insert(line);
            }
        }
        return offered;
    }

    TempFolder folder;   // the files offered
    TempFolder scripts;  // apart, so that the script is not among them
};

HelpNames HelpOf(const std::string& command) {
    return ReadHelp(Output(std::string("'") + ORVALT_CLI_PATH + "' " + command + " --help"));
}

TEST_F(Completion, OffersExactlyTheOptionsOfEachHelp) {
    const HelpNames main = HelpOf("");
    ASSERT_FALSE(main.commands.empty());
    EXPECT_EQ(Offered({"orvalt-cli", "-"}), main.options);
    EXPECT_EQ(Offered({"orvalt-cli", "--simulate", "--fast", "-"}), main.options);
    for (const std::string& command : main.commands) {
        EXPECT_EQ(Offered({"orvalt-cli", command, "-"}), HelpOf(command).options) << command;
    }
}

TEST_F(Completion, OffersCommandsAsTheFirstWordOnly) {
    const Names commands = HelpOf("").commands;
    Names first = commands;
    first.insert({"plan.csv", "limits.csv", "folder"});
    EXPECT_EQ(Offered({"orvalt-cli", ""}), first);
    EXPECT_EQ(Offered({"orvalt-cli", "h"}), Names{"history"});
    EXPECT_EQ(Offered({"orvalt-cli", "--simulate", "h"}), Names{});
    EXPECT_EQ(Offered({"orvalt-cli", "--simulate", ""}),
              (Names{"plan.csv", "limits.csv", "folder"}));
    // A command's words are its options' values, never a plan.
    EXPECT_EQ(Offered({"orvalt-cli", "history", ""}), Names{});
    // settings names its action first, then a key and a value of free text.
    EXPECT_EQ(Offered({"orvalt-cli", "settings", ""}), (Names{"get", "set", "list"}));
    EXPECT_EQ(Offered({"orvalt-cli", "settings", "set", ""}), Names{});
}

TEST_F(Completion, OffersTheFilesEachOptionTakes) {
    const Names json{"unit.json", "lot.json", "folder"};
    const Names csv{"plan.csv", "limits.csv", "folder"};
    const Names any{"plan.csv",       "limits.csv", "unit.json",   "lot.json",
                    "results.sqlite", "notes.txt",  "report.html", "folder"};
    const Names html{"report.html", "folder"};
    const struct {
        std::vector<std::string> words;
        Names offered;
    } cases[] = {
        {{"orvalt-cli", "--simulate", "--unit", ""}, json},
        {{"orvalt-cli", "--simulate", "--lot-profile", ""}, json},
        {{"orvalt-cli", "--limits", ""}, csv},
        {{"orvalt-cli", "--save", ""}, csv},
        {{"orvalt-cli", "--db", ""}, any},
        {{"orvalt-cli", "--db", "res"}, Names{"results.sqlite"}},
        {{"orvalt-cli", "spc", "--model", "X100", "--db", ""}, any},
        {{"orvalt-cli", "report", "--last", "--out", ""}, html},
        {{"orvalt-cli", "export", "--since", "2026-12-01", "-o", "n"}, Names{"notes.txt"}},
        {{"orvalt-cli", "--simulate", "--unit", "unit.json", "p"}, Names{"plan.csv"}},
    };
    for (const auto& one : cases) {
        EXPECT_EQ(Offered(one.words), one.offered) << one.words[one.words.size() - 2];
    }
}

TEST_F(Completion, OffersTheValuesAnOptionTakesAndNothingForFreeText) {
    const HelpNames main = HelpOf("");
    std::size_t listed = 0;
    for (const std::string& command : main.commands) {
        for (const auto& [option, values] : HelpOf(command).choices) {
            EXPECT_EQ(Offered({"orvalt-cli", command, option, ""}), values) << command << option;
            ++listed;
        }
    }
    EXPECT_GE(listed, 2u) << "the help lists the values of yield --by and export --format";
    EXPECT_EQ(Offered({"orvalt-cli", "--option", "1"}),
              (Names{"1", "10", "11", "12", "13", "14", "15"}));
    for (const char* option : {"--serial", "--model", "--operator", "--lot", "--units"}) {
        EXPECT_EQ(Offered({"orvalt-cli", option, ""}), Names{}) << option;
    }
    EXPECT_EQ(Offered({"orvalt-cli", "history", "--serial", ""}), Names{});
}

}  // namespace
}  // namespace orvalt::test

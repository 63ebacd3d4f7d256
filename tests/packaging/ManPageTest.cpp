// The manual pages say what the programs' help says: every option a help text
// names is on the program's page and every option the page names is in a help
// text, and both give the same exit statuses and commands, so that a page can't
// drift from its program.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "packaging/HelpNames.h"
#include "support/HeadlessChromium.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

std::string HelpOf(const std::string& program, const std::string& command = "") {
    return Output("'" + program + "' " + command + " --help 2>/dev/null");
}

HelpNames PageOf(const std::string& name) {
    const std::string page =
        ReadBytes(std::string(ORVALT_SOURCE_DIR) + "/packaging/man/" + name + ".1");
    EXPECT_FALSE(page.empty()) << name << ".1 can't be read";
    return ReadManPage(page);
}

// orvalt-cli's own help and that of each command it lists.
HelpNames CliHelp() {
    HelpNames all = ReadHelp(HelpOf(ORVALT_CLI_PATH));
    EXPECT_FALSE(all.commands.empty()) << "orvalt-cli --help lists no command";
    for (const std::string& command : all.commands) {
        const HelpNames one = ReadHelp(HelpOf(ORVALT_CLI_PATH, command));
        EXPECT_FALSE(one.options.empty()) << "orvalt-cli " << command << " --help";
        Merge(all, one);
    }
    return all;
}

// The help texts of `program` and its page name the same `what`: what only
// one side names is listed.
template <class Name>
void ExpectSame(const std::set<Name>& help, const std::set<Name>& page, const std::string& what,
                const std::string& program) {
    EXPECT_FALSE(help.empty()) << "no help of " << program << " names " << what;
    EXPECT_EQ(Lacking(help, page), "")
        << what << " a help of " << program << " names and " << program << ".1 does not";
    EXPECT_EQ(Lacking(page, help), "")
        << what << " " << program << ".1 names and no help of " << program << " does";
}

TEST(ManPages, OrvaltCliPageNamesWhatItsHelpTextsName) {
    const HelpNames help = CliHelp();
    const HelpNames page = PageOf("orvalt-cli");
    ExpectSame(help.options, page.options, "options", "orvalt-cli");
    ExpectSame(help.exitStatuses, page.exitStatuses, "exit statuses", "orvalt-cli");
    ExpectSame(help.commands, page.commands, "commands", "orvalt-cli");
}

TEST(ManPages, DashboardPageNamesWhatItsHelpNames) {
#ifdef ORVALT_DASHBOARD_PATH
    const HelpNames help = ReadHelp(HelpOf(ORVALT_DASHBOARD_PATH));
    const HelpNames page = PageOf("orvalt-dashboard");
    ExpectSame(help.options, page.options, "options", "orvalt-dashboard");
    ExpectSame(help.exitStatuses, page.exitStatuses, "exit statuses", "orvalt-dashboard");
#else
    GTEST_SKIP() << "built without the dashboard";
#endif
}

// The window's help lists its options only; its page adds the exit statuses.
TEST(ManPages, WindowPageNamesWhatItsHelpNames) {
#ifdef ORVALT_WINDOW_PATH
    ExpectSame(ReadHelp(HelpOf(ORVALT_WINDOW_PATH)).options, PageOf("orvalt").options, "options",
               "orvalt");
#else
    GTEST_SKIP() << "built without the window";
#endif
}

// The reading itself: the help's options are its table's, the page's any it
// names; an option only one side names, or a status only one gives, is found;
// a hyphen inside a word is no option.
TEST(ManPages, ReadingFindsWhatOneSideLacks) {
    const HelpNames help = ReadHelp(
        "Usage: prog [OPTIONS]\n\nOptions:\n  -h,--help  show this\n"
        "  --fast  run SN-0001 fast, not --slow\n  --by TEXT:{day,lot}\n        group\n\n"
        "Subcommands:\n  history     runs\n              and more\n\n"
        "Exit statuses:\n  0  done\n  7  unreadable\n");
    const HelpNames page = ReadManPage(
        ".TH PROG 1\n.SH OPTIONS\n.TP\n.BR \\-h \", \" \\-\\-help\n.TP\n\\fB\\-\\-fast\\fR "
        "SN\\-0001\n"
        ".TP\n.BI \\-\\-by \" GROUP\"\n.TP\n.B \\-\\-slow\nQt's \\-platform too.\n"
        ".SH COMMANDS\n.SS history\n.SH \"EXIT STATUS\"\n.TP\n.B 0\ndone\n.TP\n.B 9\nnever\n");
    EXPECT_EQ(help.options, (std::set<std::string>{"-h", "--help", "--fast", "--by"}));
    EXPECT_EQ(help.choices.at("--by"), (std::set<std::string>{"day", "lot"}));
    EXPECT_EQ(help.commands, std::set<std::string>{"history"});
    EXPECT_EQ(Lacking(page.options, help.options), "--slow");
    EXPECT_EQ(Lacking(help.options, page.options), "");
    EXPECT_EQ(page.commands, help.commands);
    EXPECT_EQ(Lacking(help.exitStatuses, page.exitStatuses), "7");
    EXPECT_EQ(Lacking(page.exitStatuses, help.exitStatuses), "9");
}

}  // namespace
}  // namespace orvalt::test

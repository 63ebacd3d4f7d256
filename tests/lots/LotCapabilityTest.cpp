// The example drifting lot recorded by the runner, into SQLite and into a
// PostgreSQL server, and its capability read back with spc: its Time To OFF
// moves in 0.25 s steps, so its moving ranges are mostly zero, and dozens of
// its units fail their limit; no index may look healthy over it.

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "cli/CliOptions.h"
#include "cli/ExitStatus.h"
#include "cli/HeadlessRunner.h"
#include "cli/RecordsCommands.h"
#include "support/BothDatabases.h"
#include "support/OwnXdgFolders.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(ORVALT_SOURCE_DIR) / "examples";

class LotCapabilityTest : public ::testing::Test {
  protected:
    int RecordDriftingLot(const std::string& database) {
        const auto parsed =
            ParseCliOptions({"--simulate", "--fast", "--lot-profile",
                             (kExamples / "lot-drift.json").string(), "--units", "200", "--model",
                             "X100", "--limits", (kExamples / "limits-pass.csv").string(), "--db",
                             database, (kExamples / "TestCfg.csv").string()});
        EXPECT_TRUE(parsed.options) << parsed.error;
        StopRequest stop;
        std::ostringstream out, err;
        return parsed.options ? RunHeadless(*parsed.options, out, err, stop) : -1;
    }

    // spc's text on stdout, or its stderr after "FAILED: ".
    std::string Spc(std::vector<std::string> args, const std::string& database) {
        args.insert(args.begin(), "spc");
        args.insert(args.end(), {"--db", database});
        std::ostringstream out, err;
        const int status = RunRecordsCommand(args, out, err).value_or(-1);
        return status == kExitRanToEnd ? out.str() : "FAILED: " + err.str();
    }

    TempFolder folder_;
    const OwnXdgFolders own_{folder_.Path()};
};

// The series' figures in spc's text, from its name to its count of rule
// hits (the hits themselves left out).
std::string FiguresOf(const std::string& text, const std::string& name) {
    const std::size_t from = text.find(name + " (");
    if (from == std::string::npos) {
        return {};
    }
    const std::size_t hits = text.find("\n  rule hits: ", from);
    return text.substr(from, text.find('\n', hits + 1) + 1 - from);
}

// Every series of the lot that has a unit out of limits shows no index
// above 1.00 and is flagged; returns how many such series there were.
std::size_t ExpectNoHealthyIndexOverFailures(const std::string& text) {
    static const std::regex kIndices(
        "  Cp (\\S+)  Cpk (\\S+)  Pp (\\S+)  Ppk (\\S+)  out of limits ([0-9]+) of");
    std::size_t failing = 0;
    std::istringstream blocks(text);
    std::string block;
    for (std::string line; std::getline(blocks, line);) {
        block += line + '\n';
        if (!line.empty() && blocks.peek() != EOF) {
            continue;
        }
        std::smatch indices;
        if (std::regex_search(block, indices, kIndices) && indices[5] != "0") {
            ++failing;
            for (int i = 1; i <= 4; ++i) {
                const std::string shown = indices[i];
                EXPECT_TRUE(shown == "-" || shown.starts_with("<=") || std::stod(shown) <= 1.0)
                    << block;
            }
            EXPECT_NE(block.find("  CAPABILITY LOW: "), std::string::npos) << block;
        }
        block.clear();
    }
    return failing;
}

TEST_F(LotCapabilityTest, ACoarseSeriesWithUnitsOutOfLimitsShowsNoHealthyIndex) {
    const BothDatabases databases("lot.sqlite");
    ASSERT_EQ(databases.Problem(), "");
    std::string firstText;
    for (const std::string& target : databases.Targets()) {
        SCOPED_TRACE(target);
        ASSERT_EQ(RecordDriftingLot(target), kExitLimitFailed);
        const std::string page = (folder_ / "spc.html").string();
        const std::string text =
            Spc({"--model", "X100", "--measurement", "TimeToOffA", "--out", page}, target);
        EXPECT_EQ(FiguresOf(text, "TimeToOffA of test 2"),
                  "TimeToOffA of test 2 (s): 200 units, limits 0.00 .. 1.00\n"
                  "  mean 0.870  sigma within 0.010  overall 0.253\n"
                  "  Cp 0.66  Cpk 0.17  Pp 0.66  Ppk 0.17  out of limits 37 of 200 units (18.5%)\n"
                  "  sigma within is too coarse: 190 of 199 units show the value of the unit "
                  "before (the values move in steps of 0.25), so Cp and Cpk use sigma overall\n"
                  "  CAPABILITY LOW: Cpk 0.17 is below 1.33 over 200 units; Ppk 0.17 is below "
                  "1.33; 37 of 200 units (18.5%) are out of limits\n"
                  "  baseline: centre 0.500, sigma 0.010, 25 units, the model's first units\n"
                  "  rule hits: 626\n")
            << text;
        const std::string html = ReadBytes(page);
        EXPECT_NE(html.find("<td class=\"num\">0.010 (too coarse)</td><td class=\"num\">0.253</td>"
                            "<td class=\"low\">0.66</td><td class=\"low\">0.17</td>"
                            "<td class=\"low\">0.66</td><td class=\"low\">0.17</td>"
                            "<td class=\"low\">37 of 200 units (18.5%)</td>"),
                  std::string::npos);
        EXPECT_NE(html.find("<p class=\"note\">Sigma within is too coarse: 190 of 199 units"),
                  std::string::npos);

        // Every figure of the lot, not only the one that drifts most.
        const std::string all = Spc({"--model", "X100"}, target);
        EXPECT_GE(ExpectNoHealthyIndexOverFailures(all), 2u) << all;
        if (firstText.empty()) {
            firstText = all;
        } else {
            EXPECT_EQ(all, firstText);  // the server's records read as the file's
        }
    }
    if (databases.ServerSkipped()) {
        GTEST_SKIP() << "Debian's postgresql is not installed: SQLite only";
    }
}

}  // namespace
}  // namespace orvalt::test

// Several fixtures run side by side, each on its own session and thread, in
// virtual time: what each one prints and saves is what it prints and saves
// when it runs alone, and the totals file they share holds every line whole.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "results/FixtureFileNames.h"
#include "results/TestDataExport.h"

namespace orvalt {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFixtures = 4;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// What one fixture's run left behind.
struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    std::string results;
    std::string sum;
};

class SideBySide : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("orvalt-side-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "alone");
        fs::create_directories(root / "together");
        ::setenv("XDG_CONFIG_HOME", root.c_str(), 1);  // no settings: the defaults
        ::setenv("XDG_DATA_HOME", root.c_str(), 1);    // the run records
    }
    void TearDown() override { fs::remove_all(root); }

    static std::string Fixture(std::size_t i) { return "Bay " + std::to_string(i + 1); }

    // Each fixture tests another maker's units, so that a line or a file
    // that went to the wrong fixture shows.
    static std::string Maker(std::size_t i) { return "Acme" + std::to_string(i + 1); }

    fs::path ResultFile(const fs::path& folder, std::size_t i) const {
        return folder / FixtureTestDataName(Fixture(i), Maker(i), "X1");
    }

    // One fixture's run of the example plan, saved into `folder`.
    Outcome RunFixture(const fs::path& folder, std::size_t i, const std::string& unitFile = {}) {
        std::vector<std::string> args{"--simulate",
                                      "--fast",
                                      "--extra-log",
                                      "--fixture",
                                      Fixture(i),
                                      "--model",
                                      "X1",
                                      "--manufacturer",
                                      Maker(i),
                                      "--save",
                                      ResultFile(folder, i).string()};
        if (!unitFile.empty()) {
            args.insert(args.end(), {"--unit", unitFile});
        }
        args.push_back((fs::path(ORVALT_SOURCE_DIR) / "examples" / "TestCfg.csv").string());
        const auto parsed = ParseCliOptions(args);
        Outcome outcome;
        if (!parsed.options) {
            outcome.err = parsed.error;
            return outcome;
        }
        StopRequest stop;
        std::ostringstream out, err;
        outcome.status = RunHeadless(*parsed.options, out, err, stop);
        outcome.out = out.str();
        outcome.err = err.str();
        outcome.results = ReadAll(ResultFile(folder, i));
        outcome.sum = ReadAll(SumFilePath(ResultFile(folder, i)));
        return outcome;
    }

    std::array<Outcome, kFixtures> RunEachAlone() {
        std::array<Outcome, kFixtures> alone;
        for (std::size_t i = 0; i < kFixtures; ++i) {
            alone[i] = RunFixture(root / "alone", i);
        }
        return alone;
    }

    // All fixtures at once, each on a thread of its own; `faulty` (if below
    // kFixtures) runs on a unit whose U3 stops answering part-way.
    std::array<Outcome, kFixtures> RunTogether(std::size_t faulty = kFixtures) {
        std::array<Outcome, kFixtures> together;
        {
            std::vector<std::jthread> threads;
            for (std::size_t i = 0; i < kFixtures; ++i) {
                const std::string unit = i == faulty ? FaultyUnitFile() : std::string();
                threads.emplace_back([this, i, unit, &together] {
                    together[i] = RunFixture(root / "together", i, unit);
                });
            }
        }
        return together;
    }

    std::string FaultyUnitFile() const {
        const fs::path file = root / "faulty.json";
        std::ofstream(file) << R"({"failReadAfter": 40})";
        return file.string();
    }

    fs::path root;
};

void ExpectSameRun(const Outcome& together, const Outcome& alone, std::size_t i) {
    SCOPED_TRACE("fixture " + std::to_string(i + 1));
    EXPECT_EQ(together.status, kExitRanToEnd) << together.err;
    EXPECT_EQ(together.out, alone.out);
    EXPECT_EQ(together.results, alone.results);
    EXPECT_EQ(together.sum, alone.sum);
}

TEST_F(SideBySide, FourFixturesPrintAndSaveExactlyWhatEachDoesAlone) {
    const auto alone = RunEachAlone();
    for (const Outcome& run : alone) {
        ASSERT_EQ(run.status, kExitRanToEnd) << run.err;
        ASSERT_NE(run.out.find("Time To OFF"), std::string::npos);
        ASSERT_FALSE(run.sum.empty());
    }
    const auto together = RunTogether();
    for (std::size_t i = 0; i < kFixtures; ++i) {
        ExpectSameRun(together[i], alone[i], i);
    }
    // Each fixture appended its lines at the same time: every line is whole,
    // none lost, none doubled.
    const std::string totals = ReadAll(root / "together" / "totalsums.csv");
    EXPECT_EQ(SortedLines(totals), SortedLines(ReadAll(root / "alone" / "totalsums.csv")));
    EXPECT_EQ(totals.back(), '\n');
}

TEST_F(SideBySide, AFixtureWhoseU3FailsLeavesTheOthersUntouched) {
    const auto alone = RunEachAlone();
    const std::size_t faulty = 2;
    const auto together = RunTogether(faulty);
    EXPECT_EQ(together[faulty].status, kExitAbandonedOrStopped);
    EXPECT_NE(together[faulty].err.find("LabJack"), std::string::npos) << together[faulty].err;
    EXPECT_NE(together[faulty].out, alone[faulty].out);
    for (std::size_t i = 0; i < kFixtures; ++i) {
        if (i != faulty) {
            ExpectSameRun(together[i], alone[i], i);
        }
    }
}

}  // namespace
}  // namespace orvalt

// Everything the read side shows, rendered from one recorded line
// (tests/golden/line.sqlite) and held byte for byte against the files of
// tests/golden/expected: what orvalt-cli writes and prints, the pages
// orvalt-dashboard serves, and the line and models pages drawn at a fixed
// moment. With ORVALT_GOLDEN_WRITE=1 the files are written anew instead.

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "dashboard/DashboardChild.h"
#include "dashboard/LineClock.h"
#include "domain/DatabaseUrl.h"
#include "domain/IsoTime.h"
#include "lineview/LineView.h"
#include "output/LinePage.h"
#include "output/ModelPages.h"
#include "output/PageFrame.h"
#include "platform/UtcTime.h"
#include "reading/Yield.h"
#include "records/RecordsToRead.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

const fs::path kGolden = fs::path(ORVALT_SOURCE_DIR) / "tests" / "golden";
constexpr const char* kSince = "2000-01-01";

bool Writing() {
    const char* write = std::getenv("ORVALT_GOLDEN_WRITE");
    return write != nullptr && std::string(write) == "1";
}

// The line holding byte `at` of `text`, 60 bytes either side of it at most
// (a page is often one long line).
std::string LineAt(const std::string& text, std::size_t at) {
    const std::size_t start = at == 0 ? 0 : text.rfind('\n', at - 1) + 1;
    const std::size_t from = std::max(start, at < 60 ? 0 : at - 60);
    return text.substr(from, std::min(text.find('\n', at), at + 60) - from);
}

// `bytes` against the expected file `name` (or written as it, when writing).
void Compare(const std::string& name, const std::string& bytes) {
    const fs::path file = kGolden / "expected" / name;
    if (Writing()) {
        WriteBytes(file, bytes);
        return;
    }
    ASSERT_TRUE(fs::exists(file)) << file << " is missing (ORVALT_GOLDEN_WRITE=1 writes it)";
    const std::string expected = ReadBytes(file);
    if (bytes == expected) {
        return;
    }
    const std::size_t at =
        std::mismatch(expected.begin(), expected.end(), bytes.begin(), bytes.end()).first -
        expected.begin();
    ADD_FAILURE() << name << " differs from byte " << at << " on, line "
                  << std::count(expected.begin(), expected.begin() + at, '\n') + 1 << " ("
                  << expected.size() << " bytes expected, " << bytes.size() << " rendered)"
                  << "\nexpected: " << LineAt(expected, at) << "\nrendered: " << LineAt(bytes, at);
}

class Golden : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy_file(kGolden / "line.sqlite", db_);
        auto opened = OpenRecordsToRead(db_.string());
        ASSERT_TRUE(opened && *opened) << (opened ? "no runs" : opened.Error());
        records_ = std::move(opened).Value();
        // Y-0001 failed, then passed its retest.
        const auto runs =
            records_->Run("SELECT run_uuid FROM runs WHERE serial = 'Y-0001' ORDER BY started_at");
        ASSERT_TRUE(runs && runs->size() == 2) << (runs ? "not two runs" : runs.Error());
        failed_ = CellText((*runs)[0][0]);
        passed_ = CellText((*runs)[1][0]);
    }

    // The database lies in a new temporary folder each time, and is named on
    // the pages: its folder is written as {TEMP}. Besides a served page's
    // generation (below), this is all that is changed before comparing.
    std::string Fixed(std::string text) const {
        const std::string temp = folder_.Path().string();
        for (std::size_t at = 0; (at = text.find(temp, at)) != std::string::npos;) {
            text.replace(at, temp.size(), "{TEMP}");
        }
        return text;
    }

    TempFolder folder_;
    const fs::path db_ = folder_ / "line.sqlite";
    std::unique_ptr<SqlConnection> records_;
    std::string failed_, passed_;
};

TEST_F(Golden, WhatTheCliWritesAndPrints) {
    // Its words before --db; "{out}" is the file whose bytes are the output,
    // standard output is otherwise.
    const std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
        {"report-passed.html", {"report", "--run", passed_, "--out", "{out}"}},
        {"report-failed.html", {"report", "--run", failed_, "--out", "{out}"}},
        {"spc-X100.txt", {"spc", "--model", "X100"}},
        {"spc-X100.html", {"spc", "--model", "X100", "--out", "{out}"}},
        {"export.json", {"export", "--since", kSince, "--format", "json"}},
        {"export-trace.json", {"export", "--since", kSince, "--format", "json", "--trace"}},
        {"export-junit.xml", {"export", "--since", kSince, "--format", "junit"}},
        {"history.txt", {"history"}},
        {"yield.txt", {"yield"}},
        {"yield-by-model.txt", {"yield", "--by", "model"}},
        {"yield-by-driver.txt", {"yield", "--by", "driver"}},
        {"yield-by-day.txt", {"yield", "--by", "day"}},
        {"yield-by-lot.txt", {"yield", "--by", "lot"}},
        {"yield-by-fixture.txt", {"yield", "--by", "fixture"}},
        {"pareto.txt", {"pareto"}},
        {"pareto-by-test.csv", {"pareto", "--by", "test", "--format", "csv"}},
    };
    const std::string home = folder_.Path().string();
    for (const auto& [name, command] : commands) {
        SCOPED_TRACE(name);
        const fs::path out = folder_ / name;
        std::vector<std::string> words{ORVALT_CLI_PATH};
        for (const std::string& word : command) {
            words.push_back(word == "{out}" ? out.string() : word);
        }
        words.insert(words.end(), {"--db", db_.string()});
        const ProgramSaid said =
            RunProgram({words, {"XDG_CONFIG_HOME=" + home, "XDG_DATA_HOME=" + home}, -1, -1, {}},
                       std::chrono::seconds(60));
        ASSERT_EQ(said.end.exitStatus, 0) << said.err;
        const bool toFile = std::ranges::find(command, "{out}") != command.end();
        Compare(name, Fixed(toFile ? ReadBytes(out) : said.out));
    }
}

TEST_F(Golden, TheDashboardsPages) {
    DashboardChild dashboard;
    const int port = dashboard.Start({"--db", db_.string(), "--listen", "127.0.0.1:0"});
    ASSERT_GT(port, 0) << dashboard.Log();
    httplib::Client client("127.0.0.1", port);
    const std::vector<std::pair<std::string, std::string>> served = {
        {"unit-SN-0041.html", "/unit?serial=SN-0041"},
        {"unit-SN-0041-main.html", "/unit?serial=SN-0041&part=main"},
        {"unit-Y-0001.html", "/unit?serial=Y-0001"},
        {"model-X100.html", "/model?name=X100"},
        {"model-X100-main.html", "/model?name=X100&part=main"},
        {"model-Y200.html", "/model?name=Y200"},
        {"run-passed.html", "/run/" + passed_},
        {"run-failed.html", "/run/" + failed_},
    };
    // The frame counts the changes of the line that this server saw since it
    // started, which its clock decides: that count is written as {GENERATION}.
    const std::regex generation("data-generation=\"[0-9]+\"");
    for (const auto& [name, target] : served) {
        SCOPED_TRACE(target);
        const auto answer = client.Get(target);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, 200);
        Compare(name, std::regex_replace(Fixed(answer->body), generation,
                                         "data-generation=\"{GENERATION}\""));
    }

    // The line and the models are the pages of a day and of a look-back: they
    // are drawn as the server draws them, at a moment shortly after the last
    // run, with today starting at midnight UTC.
    const auto newest = records_->Run("SELECT max(ended_at) FROM runs");
    ASSERT_TRUE(newest) << newest.Error();
    const auto ended = ParseUtcIsoTime(CellText((*newest)[0][0]));
    ASSERT_TRUE(ended);
    const std::chrono::system_clock::time_point moment = *ended + std::chrono::minutes(5);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    const Result<LineView> line =
        LoadLineView(*records_, LineMomentAt(moment, std::chrono::minutes(10)));
    ASSERT_TRUE(line) << line.Error();
    const Result<std::vector<YieldRow>> models =
        QueryYield(*records_, YieldGrouping::Model,
                   {.since = UtcIsoTime(moment - std::chrono::days(kModelsLookBackDays))});
    ASSERT_TRUE(models) << models.Error();
    const std::string shown = ShownDatabase(db_.string());
    Compare("line.html", Fixed(FramedPage({"Line", shown, 1, false, "", LinePageStyle(), ""},
                                          LinePageMain(*line))));
    Compare("models.html",
            Fixed(FramedPage({"Models", shown, 1, false, "", "", ""}, ModelsPageMain(*models))));
}

}  // namespace
}  // namespace orvalt::test

// A model's drift read back: the series as the loader picks them, on SQLite
// and on a PostgreSQL server, and the spc command over them with its errors,
// statuses and frozen baselines.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "cli/ExitStatus.h"
#include "cli/RecordsCommands.h"
#include "output/SpcPage.h"
#include "recording/EventRows.h"
#include "recording/RecordStore.h"
#include "spc/BaselineSetting.h"
#include "spc/MeasuredSeries.h"
#include "spc/Spc.h"
#include "support/BothDatabases.h"
#include "support/HeadlessChromium.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

struct Figure {
    int test;
    std::string name;
    double value;
    std::optional<double> min{}, max{};
    RecordEnd how = RecordEnd::Completed;
};

// The limits a run's figures were judged by, as a station names them: by a
// hash of their text, here the bounds themselves; none when nothing is bounded.
std::string LimitsOf(const std::vector<Figure>& figures) {
    std::string limits;
    for (const Figure& figure : figures) {
        if (figure.min || figure.max) {
            limits.append(figure.name)
                .append(",")
                .append(figure.min ? std::to_string(*figure.min) : "")
                .append(",")
                .append(figure.max ? std::to_string(*figure.max) : "")
                .append(";");
        }
    }
    return limits;
}

// One run of `model` started `minute` minutes after 08:00 on 2026-12-01 (days
// roll over every 24 hours), its tests as the figures give them.
void AddRun(SqlConnection& db, const std::string& model, const std::string& serial, int minute,
            const std::vector<Figure>& figures) {
    RunStart run = SampleRun(model, serial);
    run.limitsSha256 = LimitsOf(figures);
    char when[40];
    std::snprintf(when, sizeof when, "2026-12-%02dT%02d:%02d:00.000Z", 1 + (480 + minute) / 1440,
                  (480 + minute) / 60 % 24, minute % 60);
    run.uuid = std::string(model).append("-").append(std::to_string(minute));
    run.startedAt = when;
    std::map<int, TestFinish> tests;
    for (const Figure& figure : figures) {
        TestFinish& finish = tests[figure.test];
        finish.how = figure.how;
        finish.endedAt = when;
        finish.measurements.push_back(
            {{figure.name, figure.value, "s", 2}, figure.min, figure.max});
    }
    std::vector<RowWrite> rows;
    RunTally tally;
    for (const auto& [index, finish] : tests) {
        AppendEventRows(TestEnded{run.uuid, SampleTest(index), finish}, rows);
        ++tally.begun;
        CountTestEnd(tally, finish);
    }
    AppendEventRows(RunEnded{run, {RecordEnd::Completed, "", when, VerdictKind::Pass}, tally},
                    rows);
    ASSERT_TRUE(WriteRows(db, rows).Ok());
}

// Thirty runs of the model, a unit a minute: TimeToOffA in tests 0 and 2
// (value 0.5 + run / 100 and 0.8), TimeToOn in test 1; run 10's test 2
// abandoned; the limits of TimeToOffA tightened from run 20 on. Between two
// of its runs, `others` runs of other models: X100 has most of the run keys
// its runs span, Y200 few, and the loader reads them each its own way.
void AddLot(SqlConnection& db, const std::string& model, int others) {
    for (int run = 0; run < 30; ++run) {
        const std::optional<double> max = run < 20 ? 1.0 : 0.9;
        AddRun(db, model, std::string(model).append("-SN-").append(std::to_string(run)), run * 60,
               {{0, "TimeToOffA", 0.5 + run / 100.0, 0.0, max},
                {1, "TimeToOn", 3.1},
                {2, "TimeToOffA", 0.8, 0.0, max,
                 run == 10 ? RecordEnd::Abandoned : RecordEnd::Completed}});
        for (int other = 1; other <= others; ++other) {
            AddRun(db, other == 1 ? "Z9" : "W", "Z", run * 60 + other, {{0, "TimeToOffA", 9.0}});
        }
    }
}

std::vector<double> Values(const MeasuredSeries& series) {
    std::vector<double> values;
    for (const SeriesPoint& point : series.points) {
        values.push_back(point.value);
    }
    return values;
}

// The loader's picks, the same on either database.
void ExpectSeriesPicked(SqlConnection& db, const std::string& target, const std::string& model) {
    SCOPED_TRACE(target + " " + model);
    const auto all = LoadMeasuredSeries(db, {model, std::nullopt, {}});
    ASSERT_TRUE(all.Ok()) << all.Error();
    // One series per test, figure and the bounds that judged it, ordered by
    // test, then name, then the first unit: TimeToOffA's limits tightened at
    // run 20 cut each of its series in two.
    ASSERT_EQ(all->size(), 5u);
    EXPECT_EQ((*all)[0].testIndex, 0);
    EXPECT_EQ((*all)[2].measurement, "TimeToOn");
    EXPECT_EQ((*all)[3].testIndex, 2);
    EXPECT_EQ(SeriesName((*all)[0], *all), "TimeToOffA of test 1, limits 0.00 .. 1.00");
    EXPECT_EQ(SeriesName((*all)[1], *all), "TimeToOffA of test 1, limits 0.00 .. 0.90");
    EXPECT_EQ(SeriesName((*all)[2], *all), "TimeToOn");
    // Every run in start order, the other models' left out; the abandoned test is no point.
    ASSERT_EQ((*all)[0].points.size(), 20u);
    ASSERT_EQ((*all)[1].points.size(), 10u);
    EXPECT_DOUBLE_EQ((*all)[1].points[9].value, 0.79);
    EXPECT_EQ(PointLabel((*all)[0].points[3]), model + "-SN-3 #1");
    EXPECT_EQ((*all)[3].points.size(), 19u);
    EXPECT_EQ((*all)[4].points.size(), 10u);
    // The bounds of every point, the unit and the digits.
    EXPECT_EQ((*all)[0].max, 1.0);
    EXPECT_EQ((*all)[1].max, 0.9);
    EXPECT_EQ((*all)[1].min, 0.0);
    EXPECT_EQ((*all)[2].max, std::nullopt);
    EXPECT_EQ((*all)[0].unit, "s");
    EXPECT_EQ((*all)[0].decimals, 2);
    // Read whole for the rules: one series a test and figure, no bounds told.
    SeriesQuery wholeQuery{model, std::nullopt, {}};
    wholeQuery.wholeMeasurement = true;
    const auto whole = LoadMeasuredSeries(db, wholeQuery);
    ASSERT_TRUE(whole.Ok()) << whole.Error();
    ASSERT_EQ(whole->size(), 3u);
    EXPECT_EQ((*whole)[0].points.size(), 30u);
    EXPECT_EQ((*whole)[0].max, std::nullopt);
    EXPECT_EQ((*whole)[0].unit, "s");
    EXPECT_EQ(SeriesName((*whole)[0], *whole), "TimeToOffA of test 1");

    const auto first = LoadMeasuredSeries(db, {model, "TimeToOffA", {5, std::nullopt, std::nullopt}});
    ASSERT_TRUE(first.Ok()) << first.Error();
    ASSERT_EQ(first->size(), 2u);
    EXPECT_EQ(Values((*first)[0]), (std::vector<double>{0.5, 0.51, 0.52, 0.53, 0.54}));
    EXPECT_EQ((*first)[0].max, 1.0);  // the window holds only those judged before run 20

    const auto last = LoadMeasuredSeries(db, {model, "TimeToOffA", {std::nullopt, 3, std::nullopt}});
    ASSERT_TRUE(last.Ok()) << last.Error();
    EXPECT_EQ(Values((*last)[0]), (std::vector<double>{0.77, 0.78, 0.79}));  // oldest first
    EXPECT_EQ((*last)[0].max, 0.9);

    // Day 2 starts at run 16 (08:00 + 16 h).
    const auto since =
        LoadMeasuredSeries(db, {model, std::nullopt, {std::nullopt, std::nullopt, "2026-12-02"}});
    ASSERT_TRUE(since.Ok()) << since.Error();
    EXPECT_EQ((*since)[0].points.size(), 4u);  // runs 16 to 19, then 20 to 29
    EXPECT_DOUBLE_EQ((*since)[0].points[0].value, 0.66);
    EXPECT_EQ((*since)[1].points.size(), 10u);

    const auto firstValues = LoadFirstValues(db, model, 2, "TimeToOffA", 25);
    ASSERT_TRUE(firstValues.Ok()) << firstValues.Error();
    EXPECT_EQ(firstValues->size(), 25u);  // run 10's abandoned test skipped, run 25 taken
    EXPECT_EQ(*ModelRecorded(db, "Z9"), true);
    EXPECT_EQ(*ModelRecorded(db, "x100"), false);
    EXPECT_EQ(*MeasurementNamesOf(db, model), (std::vector<std::string>{"TimeToOffA", "TimeToOn"}));
    EXPECT_TRUE(LoadMeasuredSeries(db, {model, "TimeToOff", {}})->empty());
}

TEST(MeasuredSeriesTest, PicksTheSameSeriesFromSqliteAndFromAServer) {
    const BothDatabases databases("drift.sqlite");
    ASSERT_EQ(databases.Problem(), "");
    for (const std::string& target : databases.Targets()) {
        {
            auto db = OpenRecordDatabase(target);
            ASSERT_TRUE(db.Ok()) << db.Error();
            AddLot(**db, "X100", 1);
            AddLot(**db, "Y200", 5);
        }
        auto db = OpenSqlConnectionToRead(target);
        ASSERT_TRUE(db.Ok() && *db) << target;
        ExpectSeriesPicked(**db, target, "X100");
        ExpectSeriesPicked(**db, target, "Y200");
    }
    if (databases.ServerSkipped()) {
        GTEST_SKIP() << "Debian's postgresql is not installed: SQLite only";
    }
}

class SpcCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        auto db = OpenRecordDatabase(path_);
        ASSERT_TRUE(db.Ok()) << db.Error();
        db_ = std::move(db).Value();
    }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }

    int Spc(std::vector<std::string> args) {
        args.insert(args.begin(), "spc");
        args.insert(args.end(), {"--db", path_});
        std::ostringstream out, err;
        const int status = RunRecordsCommand(args, out, err).value_or(-1);
        out_ = out.str();
        err_ = err.str();
        return status;
    }

    TempFolder folder_;
    std::string path_ = (folder_ / "results.sqlite").string();
    std::unique_ptr<SqlConnection> db_;
    std::string out_, err_;
};

// A steady first 25 units, then a creep: the creep breaks rule 4 at its
// eighth unit, Cpk falls below 1.33, and a model name no key can hold works.
TEST_F(SpcCommandTest, TellsCapabilityBaselineAndTheUnitsThatBrokeARule) {
    const std::string model = "X100\\A[1]%";
    for (int run = 0; run < 40; ++run) {
        const double value = run < 25 ? 0.50 + (run % 3 - 1) * 0.02 : 0.56 + (run - 25) * 0.01;
        AddRun(*db_, model, std::string("SN-").append(std::to_string(run)), run,
               {{0, "TimeToOffA", value, 0.0, 0.62}});
    }
    ASSERT_EQ(Spc({"--model", model}), kExitRanToEnd) << err_;
    EXPECT_NE(out_.find("TimeToOffA (test 1, s): 40 units, limits 0.00 .. 0.62\n"),
              std::string::npos)
        << out_;
    EXPECT_NE(out_.find("baseline: centre 0.499, sigma 0.024, 25 units, the model's first units"),
              std::string::npos)
        << out_;
    EXPECT_NE(
        out_.find(
            "SN-27 #1: 1 unit beyond 3 sigma above the centre (rule 1), on to SN-39 #1 (13 units)"),
        std::string::npos)
        << out_;
    EXPECT_NE(
        out_.find("SN-32 #1: 8 units in a row above the centre (rule 4), on to SN-39 #1 (8 units)"),
        std::string::npos)
        << out_;
    // Eight units above the limit: no index shows above 1.00 however narrow
    // the spread from unit to unit, and the flag says why.
    EXPECT_NE(out_.find("  Cp <=1.00  Cpk <=1.00  Pp <=1.00  Ppk 0.34  out of limits 8 of 40 "
                        "units (20.0%)\n"
                        "  CAPABILITY LOW: Ppk 0.34 is below 1.33 over 40 units; 8 of 40 units "
                        "(20.0%) are out of limits\n"),
              std::string::npos)
        << out_;

    // Frozen from the last 25 units (ten steady, fifteen creeping): spc then
    // holds the units against it and says so.
    ASSERT_EQ(Spc({"--baseline", "--model", model, "--last", "10"}), kExitRecordsUnreadable);
    EXPECT_NE(err_.find("fewer than 25 units"), std::string::npos) << err_;
    ASSERT_EQ(Spc({"--baseline", "--model", model, "--last", "25"}), kExitRanToEnd) << err_;
    const auto frozen = [&] {
        RegistryStore settings(DefaultRegistryPath());
        return FrozenBaselineOf(settings, model, 0, "TimeToOffA");
    };
    ASSERT_TRUE(frozen());
    EXPECT_EQ(frozen()->units, 25u);
    EXPECT_NEAR(frozen()->centre, 0.5772, 1e-9);
    std::ifstream file(DefaultRegistryPath());
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("Orvalt\\Drift\\X100%5CA%5B1%5D%25]"), std::string::npos)
        << text.str();
    EXPECT_NE(text.str().find("\"1/TimeToOffA\"=\"0.577"), std::string::npos) << text.str();
    ASSERT_EQ(Spc({"--model", model}), kExitRanToEnd) << err_;
    EXPECT_NE(out_.find(", 25 units, frozen 20"), std::string::npos) << out_;
    {
        RegistryStore settings(DefaultRegistryPath());
        EXPECT_FALSE(FrozenBaselineOf(settings, "x100\\a[1]%", 0, "TimeToOffA"));  // other case
        EXPECT_FALSE(FreezeBaselines(settings, "x100\\a[1]%", {}).Ok());
    }
    ASSERT_EQ(Spc({"--baseline", "--clear", "--model", model}), kExitRanToEnd) << err_;
    EXPECT_EQ(out_, "Cleared 1 frozen baseline of X100\\A[1]%.\n");
    EXPECT_FALSE(frozen());
    ASSERT_EQ(Spc({"--model", model}), kExitRanToEnd) << err_;
    EXPECT_NE(out_.find("the model's first units"), std::string::npos) << out_;
}

TEST_F(SpcCommandTest, NothingToJudgeIsAClearMessageWithTheRecordsStatus) {
    AddRun(*db_, "X100", "SN-1", 0, {{0, "TimeToOffA", 0.5}, {1, "TimeToOn", 3.1}});
    EXPECT_EQ(Spc({"--model", "Z9"}), kExitRecordsUnreadable);
    EXPECT_EQ(err_, "No run of model \"Z9\" is recorded.\n");
    EXPECT_EQ(Spc({"--model", "X100", "--measurement", "TimeToOff"}), kExitRecordsUnreadable);
    EXPECT_EQ(err_,
              "Model \"X100\" has no measurement \"TimeToOff\"; its measurements: TimeToOffA, "
              "TimeToOn.\n");
    EXPECT_EQ(Spc({"--model", "X100", "--since", "2027-01-01"}), kExitRecordsUnreadable);
    EXPECT_EQ(err_, "No completed test of model \"X100\" in the runs picked.\n");
    EXPECT_EQ(Spc({"--model", "X100", "--last", "0"}), kExitUsage);
    EXPECT_EQ(Spc({"--model", "X100", "--last", "2", "--since", "2026-01-01"}), kExitUsage);
    EXPECT_EQ(Spc({"--model", "X100", "--clear"}), kExitUsage);
    // One unit: its figures, no baseline and no rule to break yet.
    ASSERT_EQ(Spc({"--model", "X100", "--measurement", "TimeToOn"}), kExitRanToEnd) << err_;
    EXPECT_NE(out_.find("TimeToOn (test 2, s): 1 unit, no limits recorded"), std::string::npos)
        << out_;
    EXPECT_NE(out_.find("no baseline yet"), std::string::npos) << out_;
    // A file that is no database.
    std::ofstream(folder_ / "not.sqlite") << "not a database";
    std::ostringstream out, err;
    EXPECT_EQ(RunRecordsCommand(
                  {"spc", "--model", "X100", "--db", (folder_ / "not.sqlite").string()}, out, err),
              kExitRecordsUnreadable);
    EXPECT_FALSE(err.str().empty());
}

// The only unit judged with a bound on V4 (limits of an older run) lends it
// to no other unit: the newer units, judged by limits without one, show no
// capability and are not flagged; the one unit over its own bound is. A bound
// two limits share keeps its series whole.
TEST_F(SpcCommandTest, ASeriesIsJudgedOnlyAgainstTheLimitsThatJudgedItsPoints) {
    AddRun(*db_, "X100", "SN-0", 0,
           {{0, "V4", 4.70, std::nullopt, 4.50}, {1, "TimeToOn", 3.1, std::nullopt, 3.5}});
    for (int run = 1; run <= 200; ++run) {
        AddRun(*db_, "X100", "SN-" + std::to_string(run), run,
               {{0, "V4", 4.68 + 0.01 * (run % 5)}, {1, "TimeToOn", 3.1, std::nullopt, 3.5}});
    }
    ASSERT_EQ(Spc({"--model", "X100"}), kExitRanToEnd) << err_;
    const std::size_t low = out_.find("CAPABILITY LOW");
    EXPECT_EQ(out_.find("CAPABILITY LOW", low + 1), std::string::npos) << out_;
    EXPECT_LT(out_.find("V4, limits - .. 4.50"), low) << out_;
    EXPECT_GT(out_.find("V4, no limits"), low) << out_;
    EXPECT_NE(out_.find("V4, limits - .. 4.50 (s): 1 unit, limits - .. 4.50\n"), std::string::npos)
        << out_;
    EXPECT_NE(out_.find("V4, no limits (s): 200 units, no limits recorded\n"), std::string::npos)
        << out_;
    EXPECT_NE(out_.find("TimeToOn (test 2, s): 201 units, limits - .. 3.50\n"), std::string::npos)
        << out_;
    const std::size_t unjudged = out_.find("V4, no limits");
    EXPECT_NE(out_.find("  Cp -  Cpk -  Pp -  Ppk -\n", unjudged), std::string::npos) << out_;
}

// Whatever limits the runs were judged by: each series holds exactly the
// points its bounds judged, every completed point is in one series of its
// test and figure, in start order, and a series without bounds shows no
// capability.
TEST(MeasuredSeriesTest, EveryPointIsInTheSeriesOfTheBoundsThatJudgedIt) {
    using Bounds = std::pair<std::optional<double>, std::optional<double>>;
    // Four limits files: two bound V4 alike, one bounds TimeToOn only, one nothing.
    const std::vector<std::map<std::string, Bounds>> files{
        {{"V4", {std::nullopt, 4.5}}, {"TimeToOn", {std::nullopt, 3.5}}},
        {{"V4", {std::nullopt, 4.5}}, {"TimeToOn", {1.0, 3.0}}},
        {{"TimeToOn", {std::nullopt, 3.5}}},
        {}};
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        TempFolder folder;
        const std::string path = (folder / "drift.sqlite").string();
        std::mt19937 random(seed);
        std::map<std::string, std::map<std::string, Bounds>> judgedBy;  // serial: its bounds
        std::map<std::pair<int, std::string>, std::vector<std::string>> completed;
        {
            auto db = OpenRecordDatabase(path);
            ASSERT_TRUE(db.Ok()) << db.Error();
            for (int run = 0; run < 60; ++run) {
                const auto& file = files[random() % files.size()];
                const std::string serial = "SN-" + std::to_string(run);
                std::vector<Figure> figures;
                for (int test = 0; test < 2; ++test) {
                    const RecordEnd how =
                        random() % 8 == 0 ? RecordEnd::Abandoned : RecordEnd::Completed;
                    for (const std::string name : {"V4", "TimeToOn"}) {
                        const auto bound = file.find(name);
                        const Bounds bounds = bound == file.end() ? Bounds{} : bound->second;
                        figures.push_back({test, name, 0.01 * static_cast<double>(random() % 500),
                                           bounds.first, bounds.second, how});
                        if (how == RecordEnd::Completed) {
                            completed[{test, name}].push_back(serial);
                        }
                    }
                }
                judgedBy[serial] = file;
                AddRun(**db, "X100", serial, run, figures);
            }
        }
        auto db = OpenSqlConnectionToRead(path);
        ASSERT_TRUE(db.Ok() && *db);
        const auto all = LoadMeasuredSeries(**db, {"X100", std::nullopt, {}});
        ASSERT_TRUE(all.Ok()) << all.Error();
        std::map<std::pair<int, std::string>, std::vector<std::string>> seen;
        std::map<std::pair<int, std::string>, std::set<Bounds>> piecesOf;
        for (const MeasuredSeries& series : *all) {
            const std::pair<int, std::string> key{series.testIndex, series.measurement};
            EXPECT_TRUE(piecesOf[key].insert({series.min, series.max}).second)
                << "two series of " << SeriesName(series, *all) << " with the same bounds";
            for (const SeriesPoint& point : series.points) {
                const auto& file = judgedBy.at(point.run->serial);
                const auto bound = file.find(series.measurement);
                EXPECT_EQ(bound == file.end() ? Bounds{} : bound->second,
                          Bounds(series.min, series.max))
                    << point.run->serial << " in " << SeriesName(series, *all);
                seen[key].push_back(point.run->serial);
            }
            EXPECT_TRUE(std::is_sorted(series.points.begin(), series.points.end(),
                                       [](const SeriesPoint& a, const SeriesPoint& b) {
                                           return a.run->startedAt < b.run->startedAt;
                                       }));
            if (!series.min && !series.max) {
                const JudgedSeries judged = JudgeSeriesAgainst(series, "", std::nullopt);
                EXPECT_FALSE(judged.capability.cp || judged.capability.cpk ||
                             judged.capability.pp || judged.capability.ppk);
                EXPECT_FALSE(judged.capabilityLow);
            }
        }
        for (auto& [key, serials] : seen) {
            std::sort(serials.begin(), serials.end());
            std::vector<std::string> expected = completed[key];
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(serials, expected) << key.second << " of test " << key.first;
        }
        EXPECT_EQ(seen.size(), completed.size());
    }
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

// The page as Chromium renders it: per series an individuals chart with its
// sigma lines, limits and hits, a histogram and the hits listed; texts from
// the records stay text.
TEST_F(SpcCommandTest, ChromiumRendersTheChartsAndTheRecordsTextsStayText) {
    const std::string browser = Chromium();
    if (browser.empty()) {
        GTEST_SKIP() << "Debian's chromium is not installed";
    }
    const std::string model = "<b>X100</b>";
    for (int run = 0; run < 40; ++run) {
        const double value = run < 25 ? 0.50 + (run % 3 - 1) * 0.02 : 0.56 + (run - 25) * 0.01;
        AddRun(*db_, model, run == 39 ? "<script>alert(1)</script>" : "SN-" + std::to_string(run),
               run, {{0, "TimeToOffA", value, 0.0, 0.62}, {1, "<i>Odd</i>", 1.0 + run % 2}});
    }
    const auto page = folder_ / "spc.html";
    ASSERT_EQ(Spc({"--model", model, "--out", page.string()}), kExitRanToEnd) << err_;
    const std::string dom = RenderedDom(browser, page, folder_);
    ASSERT_NE(dom.find("</html>"), std::string::npos) << "no page rendered";
    EXPECT_EQ(Count(dom, "<svg class=\"individuals\""), 2u);
    EXPECT_EQ(Count(dom, "<svg class=\"histogram\""), 2u);
    EXPECT_EQ(Count(dom, "<line class=\"sigma"), 12u);   // 1, 2 and 3 sigma either side
    EXPECT_EQ(Count(dom, "<line class=\"limit\""), 4u);  // min and max, chart and histogram
    EXPECT_EQ(Count(dom, "<circle class=\"point\""), 80u);
    EXPECT_EQ(Count(dom, "<circle class=\"hit\""), 14u);  // SN-26 to the last
    EXPECT_NE(dom.find("<td>SN-32 #1</td><td class=\"num\">4</td><td>8 units in a row above the "
                       "centre (rule 4)</td>"),
              std::string::npos);
    EXPECT_NE(dom.find("&lt;script&gt;alert(1)&lt;/script&gt; #1"), std::string::npos);
    EXPECT_NE(dom.find("Drift of &lt;b&gt;X100&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(dom.find("&lt;i&gt;Odd&lt;/i&gt;"), std::string::npos);
    EXPECT_EQ(dom.find("<script>"), std::string::npos);
    EXPECT_EQ(dom.find("<i>"), std::string::npos);
    // Pp held at the ceiling, Ppk below the floor, the units outside.
    EXPECT_NE(dom.find("<td class=\"low\">&lt;=1.00</td><td class=\"low\">0.34</td>"
                       "<td class=\"low\">8 of 40 units (20.0%)</td>"),
              std::string::npos);
    EXPECT_NE(dom.find("Ppk 0.34 is below 1.33 over 40 units; 8 of 40 units (20.0%) are out of "
                       "limits."),
              std::string::npos);
}

// 200 000 units draw as a few thousand elements, and a lone unit beyond
// 3 sigma among them is still marked where it lies.
TEST(SpcPage, ALongSeriesIsDrawnPerColumnWithEveryHitMarked) {
    JudgedSeries judged;
    judged.name = "TimeToOffA";
    judged.series.measurement = "TimeToOffA";
    judged.series.max = 1.0;
    const auto run = std::make_shared<const SeriesRun>(SeriesRun{"", "", "SN", 1, "", 0});
    for (std::size_t i = 0; i < 200000; ++i) {
        const double value = i == 123456 ? 0.9 : 0.5 + 0.01 * static_cast<double>(i % 7 == 0);
        judged.series.points.push_back({run, value});
    }
    judged.baseline = Baseline{0.5, 0.01, 25};
    judged.hits = {{1, 123456, RuleSide::Above, false}};
    const std::string page = SpcPageHtml("X100", {}, {judged});
    EXPECT_LT(Count(page, "<"), 3000u);
    EXPECT_EQ(Count(page, "<circle class=\"hit\""), 1u);
    // The spike's column: 80 + 800 * 123456.5 / 200000, at 0.9 on the chart.
    EXPECT_NE(page.find("<circle class=\"hit\" r=\"4\" cx=\"573.8\""), std::string::npos);
    EXPECT_NE(page.find("M573.5,"), std::string::npos);  // its column reaches it
}

}  // namespace
}  // namespace orvalt::test

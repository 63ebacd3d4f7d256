// What a seal covers reads the same from SQLite and from a server, however
// each renders its numbers and texts, and covers every column a run's record
// has: a change to any one of them changes the digest of its part, and of no
// other part.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>

#include "recording/EventRows.h"
#include "recording/RecordStore.h"
#include "records/TraceBlockRows.h"
#include "seal/RunDigest.h"
#include "support/BothDatabases.h"
#include "support/RecordsKit.h"

namespace orvalt::test {
namespace {

// Values that print differently in the two databases, or not at all in one
// of them as they are: short and long fractions, exponents both ways,
// subnormals, signed zero, the extremes.
double AwkwardValue(std::mt19937& random) {
    static const double values[] = {0.1,
                                    4.5,
                                    -0.25,
                                    1e-5,
                                    0.0001,
                                    123456789012345678.0,
                                    1e300,
                                    -0.0,
                                    0.0,
                                    5e-324,
                                    std::numeric_limits<double>::max(),
                                    std::numeric_limits<double>::lowest(),
                                    2.0 / 3.0,
                                    std::numeric_limits<double>::infinity()};
    if (random() % 3 == 0) {
        return std::ldexp(static_cast<double>(random()), static_cast<int>(random() % 80) - 60);
    }
    return values[random() % std::size(values)];
}

// Texts as a plan, a serial or a diagnostic line may bring them: Latin-1,
// NUL, escapes that look like the kept form's own, non-ASCII UTF-8.
std::string AwkwardText(std::mt19937& random) {
    static const std::string pieces[] = {"SN-",
                                         "25\xB0"
                                         "C",
                                         std::string("a\0b", 3),
                                         "\\x41",
                                         "\xC3\xA9t\xC3\xA9",
                                         "\xFF",
                                         "'; --",
                                         " "};
    std::string text;
    for (int i = static_cast<int>(random() % 4); i >= 0; --i) {
        text += pieces[random() % std::size(pieces)];
    }
    if (random() % 5 == 0) {
        text += std::string("x\0y", 3);
    }
    return text;
}

std::vector<RowWrite> AwkwardRun(std::mt19937& random, const std::string& uuid) {
    RunStart run = SampleRun(AwkwardText(random), AwkwardText(random));
    run.uuid = uuid;
    run.startedAt = "2026-12-10T08:00:00.000Z";
    run.operatorName = AwkwardText(random);
    run.limitsText = AwkwardText(random);
    run.settings.emplace_back("Extra", AwkwardText(random));
    std::vector<RowWrite> rows;
    RunTally tally;
    const int tests = 1 + static_cast<int>(random() % 3);
    for (int index = 0; index < tests; ++index) {
        TestRecordStart test = SampleTest(index);
        test.startedAt = run.startedAt;
        test.planTexts[0] = AwkwardText(random);
        std::vector<MeasurementRecord> figures;
        for (const char* name : {"V1", "V4", "CT", "TimeToOn"}) {
            MeasurementRecord figure{{name, AwkwardValue(random), "V", 2}, {}, {}, {}};
            if (random() % 2) {
                figure.min = AwkwardValue(random);
                figure.outcome = MeasurementOutcome::Pass;
            }
            figures.push_back(figure);
        }
        const TestFinish finish{RecordEnd::Completed, AwkwardText(random), figures,
                                Verdict{VerdictKind::Pass, AwkwardText(random)}, run.startedAt};
        AppendEventRows(TestEnded{uuid, test, finish}, rows);
        ++tally.begun;
        CountTestEnd(tally, finish);
        std::vector<SequencedReading> readings;
        std::vector<SequencedDiagLine> lines;
        for (int i = 0; i < 12; ++i) {
            const std::int64_t seq = index * 100 + i;
            readings.push_back({seq, {i * 10, AwkwardValue(random), AwkwardText(random)}});
            lines.push_back({seq + 50, {i * 10, AwkwardText(random), {i, -i, 1 << i}}});
        }
        rows.push_back(ReadingBlockRow(uuid, index, readings));
        rows.push_back(DiagBlockRow(uuid, index, lines));
        AppendEventRows(LineSwitched{{uuid, index * 100 + 99, index}, {5, 4, index % 2 == 0}},
                        rows);
    }
    AppendEventRows(
        RunEnded{run,
                 {RecordEnd::Completed, AwkwardText(random), run.startedAt, VerdictKind::Pass},
                 tally},
        rows);
    return rows;
}

TEST(RunDigest, TheSameRunDigestsAlikeInSqliteAndOnAServer) {
    BothDatabases databases("digest.sqlite");
    ASSERT_EQ(databases.Problem(), "");
    if (databases.ServerSkipped()) {
        GTEST_SKIP() << "Debian's postgresql is not installed";
    }
    std::vector<std::unique_ptr<SqlConnection>> dbs;
    for (const std::string& target : databases.Targets()) {
        auto opened = OpenRecordDatabase(target);
        ASSERT_TRUE(opened.Ok()) << opened.Error();
        dbs.push_back(std::move(opened).Value());
    }
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        const std::string uuid = "run-" + std::to_string(round);
        const std::vector<RowWrite> rows = AwkwardRun(random, uuid);
        std::vector<PartDigests> digests;
        for (auto& db : dbs) {
            const auto written = WriteRows(*db, rows);
            ASSERT_TRUE(written.Ok()) << written.Error().why;
            const Result<PartDigests> digest = DigestRun(*db, uuid);
            ASSERT_TRUE(digest.Ok()) << digest.Error();
            digests.push_back(*digest);
        }
        for (std::size_t part = 0; part < kSealedParts; ++part) {
            EXPECT_EQ(digests[0][part], digests[1][part]) << uuid << " " << SealedPartName(part);
        }
    }
}

// The parts by table, and the one column no seal holds: the database numbers
// a run's attempt again when an earlier run of its unit arrives late.
const std::map<std::string, SealedPart>& PartOfTable() {
    static const std::map<std::string, SealedPart> parts{
        {"runs", SealedPart::Run},         {"run_settings", SealedPart::Settings},
        {"tests", SealedPart::Tests},      {"measurements", SealedPart::Measurements},
        {"switches", SealedPart::Trace},   {"reading_blocks", SealedPart::Trace},
        {"diag_blocks", SealedPart::Trace}};
    return parts;
}

// Every column the schema has, read from the database itself, so that a
// column a later version adds is found here unsealed until a seal covers it.
TEST(RunDigest, EveryColumnOfARunsRecordIsSealedInItsOwnPart) {
    TempFolder folder;
    const std::string file = (folder / "columns.sqlite").string();
    std::mt19937 random(11);
    {
        auto db = OpenRecordDatabase(file);
        ASSERT_TRUE(db.Ok()) << db.Error();
        ASSERT_TRUE(WriteRows(**db, AwkwardRun(random, "r")).Ok());
    }
    auto db = OpenSqlConnection(file);
    ASSERT_TRUE(db.Ok()) << db.Error();
    const PartDigests sealed = DigestRun(**db, "r").Value();
    const std::string ofRun = "run_id = (SELECT run_id FROM run_keys WHERE run_uuid = 'r')";
    int columns = 0;
    for (const auto& [table, part] : PartOfTable()) {
        const Result<SqlRows> info =
            (*db)->Run("SELECT name FROM pragma_table_info('" + table + "')");
        ASSERT_TRUE(info.Ok()) << info.Error();
        for (const SqlRow& column : *info) {
            const std::string name = CellText(column[0]);
            const std::string where = table == "runs" ? "run_uuid = 'r'" : ofRun;
            // SQLite keeps whatever it is given: a changed cell of any type.
            const std::string change = "UPDATE " + table + " SET " + name + " = CASE WHEN " + name +
                                       " IS NULL THEN '7' ELSE " + name +
                                       " || 'x' END WHERE rowid = (SELECT MIN(rowid) FROM " +
                                       table + " WHERE " + where + ")";
            ASSERT_TRUE((*db)->Run("SAVEPOINT one").Ok());
            ASSERT_TRUE((*db)->Run(change).Ok()) << change;
            const PartDigests changed = DigestRun(**db, "r").Value();
            ASSERT_TRUE((*db)->Run("ROLLBACK TO one").Ok());
            ASSERT_TRUE((*db)->Run("RELEASE one").Ok());
            ++columns;
            for (std::size_t other = 0; other < kSealedParts; ++other) {
                const bool expected =
                    table + "." + name != "runs.attempt" && other == static_cast<std::size_t>(part);
                EXPECT_EQ(changed[other] != sealed[other], expected)
                    << table << "." << name << " changed " << SealedPartName(other);
            }
        }
    }
    EXPECT_GT(columns, 60);
    EXPECT_EQ(DigestRun(**db, "r").Value(), sealed);
}

}  // namespace
}  // namespace orvalt::test

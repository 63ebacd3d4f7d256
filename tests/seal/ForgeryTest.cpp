// Records forged by hand, as someone with write access to the database would
// forge them, in SQLite and on a server: each is named by verify and by
// rejudge, as the program runs for a quality engineer, with the status of a
// broken seal, even those whose record judges again without a disagreement.
// The untouched records verify clean.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "cli/ExitStatus.h"
#include "domain/Joined.h"
#include "recording/RunRecorder.h"
#include "records/RecordTables.h"
#include "records/Sha256.h"
#include "seal/StationKeyFiles.h"
#include "support/ChildProcess.h"
#include "support/EitherDatabase.h"
#include "support/JudgedRunsKit.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

struct Said {
    int status = -1;
    std::string out;
};

// A forgery: the statements that make it ($1..$3: the runs below), the line
// each of verify and rejudge must print, and whether the forged record still
// judges again without a disagreement.
struct Forgery {
    const char* name;
    std::vector<std::string> statements;
    std::vector<std::string> named;
    bool judgesClean = true;
    bool sqliteOnly = false;
};

class Forgeries : public EitherDatabase {
  protected:
    void SetUp() override {
        EitherDatabase::SetUp();
        if (Stopped()) {
            return;
        }
        if (cluster_) {
            ASSERT_EQ(cluster_->Query("CREATE DATABASE base"), "");
        }
        {
            RunRecorder recorder({Target("base"),
                                  folder_ / "spool.sqlite",
                                  std::chrono::milliseconds(0),
                                  {},
                                  TestStationKey(folder_)});
            ASSERT_EQ(RecordJudgedShift(recorder, 12).runs, 12);
        }
        key_ = LoadPublicKeys(TestPublicKey(folder_)).Value().front().Id();
        auto db = OpenSqlConnection(Target("base"));
        ASSERT_TRUE(db.Ok()) << db.Error();
        const auto uuidOf = [&](const std::string& where) {
            const auto found = (*db)->Run("SELECT run_uuid FROM runs WHERE " + where +
                                          " ORDER BY started_at LIMIT 1");
            EXPECT_TRUE(found.Ok() && !found->empty()) << where;
            return found.Ok() && !found->empty() ? CellText(found->front()[0]) : std::string();
        };
        failed_ = uuidOf("verdict = 'FAIL'");
        // Another unit's run, sealed after the failed one.
        passed_ = uuidOf(
            "verdict = 'PASS' AND serial <> (SELECT serial FROM runs WHERE run_uuid = '" + failed_ +
            "') AND started_at > (SELECT started_at FROM runs WHERE "
            "run_uuid = '" +
            failed_ + "')");
        last_ = uuidOf("started_at = (SELECT MAX(started_at) FROM runs)");
        passedPlace_ = PlaceOf(**db, passed_);
        for (const std::string& uuid : {failed_, passed_}) {
            const auto serial = (*db)->Run("SELECT serial FROM runs WHERE run_uuid = $1", {uuid});
            ASSERT_TRUE(serial.Ok() && !serial->empty());
            serialOf_[uuid] = CellText(serial->front()[0]);
        }
    }

    std::string Target(const std::string& name) const {
        if (cluster_) {
            std::string url = cluster_->Url();
            url.replace(url.find("/postgres?"), 10, "/" + name + "?");
            return url;
        }
        return (folder_ / (name + ".sqlite")).string();
    }

    static std::int64_t PlaceOf(SqlConnection& db, const std::string& uuid) {
        const auto place = db.Run("SELECT position FROM run_seals WHERE run_uuid = $1", {uuid});
        return place.Ok() && !place->empty() ? CellInteger(place->front()[0]) : -1;
    }

    // A copy of the recorded database of its own.
    std::string Copy(const std::string& name) {
        if (cluster_) {
            EXPECT_EQ(cluster_->Query("CREATE DATABASE " + name + " TEMPLATE base"), "");
        } else {
            fs::copy_file(Target("base"), Target(name));
        }
        return Target(name);
    }

    void Forge(const std::string& target, const Forgery& forgery) {
        auto db = OpenSqlConnection(target);
        ASSERT_TRUE(db.Ok()) << db.Error();
        const std::string runs[] = {failed_, passed_, last_};
        for (std::string statement : forgery.statements) {
            // $1, $2, $3: the runs, as the hand that forges writes them.
            for (std::size_t n = 0; n < std::size(runs); ++n) {
                const std::string name = std::string("$").append(std::to_string(n + 1));
                for (auto at = statement.find(name); at != std::string::npos;
                     at = statement.find(name)) {
                    statement.replace(at, name.size(), "'" + runs[n] + "'");
                }
            }
            const auto done = (*db)->Run(statement);
            ASSERT_TRUE(done.Ok()) << forgery.name << ": " << done.Error();
        }
    }

    Said Cli(const std::vector<std::string>& args) {
        std::vector<std::string> words{ORVALT_CLI_PATH};
        words.insert(words.end(), args.begin(), args.end());
        const ProgramSaid said = RunProgram({words,
                                             {"XDG_CONFIG_HOME=" + folder_.Path().string(),
                                              "XDG_DATA_HOME=" + folder_.Path().string()},
                                             -1,
                                             -1,
                                             {}},
                                            std::chrono::seconds(60));
        return {said.end.exitStatus, said.out + said.err};
    }

    std::string RunLine(const std::string& uuid, const std::string& what) const {
        return "run " + uuid + ": " + what + "\n";
    }

    std::string key_, failed_, passed_, last_;
    std::int64_t passedPlace_ = 0;
    std::map<std::string, std::string> serialOf_;
};

TEST_P(Forgeries, EachForgeryIsNamedByVerifyAndRejudgeAndAnUntouchedDatabaseIsClean) {
    const std::string ofFailed = "run_id = (SELECT run_id FROM run_keys WHERE run_uuid = $1)";
    const std::string newLimits = std::string(kJudgedLimitsText) + "TimeToOffA,,9.00\n";
    std::vector<std::string> copied;
    for (const std::string& column : RunsTable().columns) {
        copied.push_back(column == "run_uuid" ? "'inserted'" : column);
    }
    const std::string changedRecord = "changed since it was sealed: its own record";
    const std::vector<Forgery> forgeries{
        {"newlimits",
         {"UPDATE runs SET limits_text = '" + newLimits + "', limits_sha256 = '" +
          Sha256Hex(newLimits) + "' WHERE run_uuid = $1"},
         {RunLine(failed_, changedRecord)}},
        {"nolimits",
         {"UPDATE runs SET limits_text = '', limits_sha256 = '', limits_name = '' WHERE "
          "run_uuid = $1"},
         {RunLine(failed_, changedRecord)}},
        {"stopped",
         {"UPDATE tests SET ended_how = 'stopped', verdict = 'ERROR', verdict_reasons = "
          "'stopped' WHERE verdict = 'FAIL' AND " +
              ofFailed,
          "UPDATE runs SET verdict = 'ERROR' WHERE run_uuid = $1"},
         {RunLine(failed_, "changed since it was sealed: its own record, its tests")}},
        {"renamed",
         {"UPDATE runs SET limits_name = 'limits-v2.csv' WHERE run_uuid = $1"},
         {RunLine(failed_, changedRecord)}},
        {"serials",
         {"UPDATE runs SET serial = '" + serialOf_.at(passed_) + "' WHERE run_uuid = $1",
          "UPDATE runs SET serial = '" + serialOf_.at(failed_) + "' WHERE run_uuid = $2"},
         {RunLine(failed_, changedRecord), RunLine(passed_, changedRecord)}},
        {"model",
         {"UPDATE runs SET model = 'X200' WHERE run_uuid = $2"},
         {RunLine(passed_, changedRecord)}},
        {"nullvalue",
         {"UPDATE measurements SET value = NULL WHERE name = 'V4' AND test_index = 0 AND " +
          ofFailed},
         {RunLine(failed_, "test 1: V4: value stored NULL, which can't be judged"),
          RunLine(failed_, "changed since it was sealed: its measurements")},
         false},
        // A server keeps no text where a number belongs; SQLite does.
        {"textvalue",
         {"UPDATE measurements SET value = 'abc' WHERE name = 'V4' AND test_index = 0 AND " +
          ofFailed},
         {RunLine(failed_, "test 1: V4: value stored \"abc\", which can't be judged"),
          RunLine(failed_, "changed since it was sealed: its measurements")},
         false,
         true},
        {"removed",
         {"DELETE FROM runs WHERE run_uuid = $2"},
         {RunLine(passed_, "sealed as run " + std::to_string(passedPlace_) + " of key " + key_ +
                               ", is missing: removed")}},
        {"removedwhole",
         {"DELETE FROM tests WHERE run_id = (SELECT run_id FROM run_keys WHERE run_uuid = $2)",
          "DELETE FROM run_seals WHERE run_uuid = $2", "DELETE FROM runs WHERE run_uuid = $2"},
         {"run " + std::to_string(passedPlace_) + " of key " + key_ +
          ", sealed before it, is missing: removed\n"}},
        {"removednewest",
         {"DELETE FROM run_seals WHERE run_uuid = $3", "DELETE FROM runs WHERE run_uuid = $3"},
         {"Run 12 of key " + key_ + ", sealed last, is missing: removed.\n"}},
        {"inserted",
         {"INSERT INTO runs (" + Joined(RunsTable().columns) + ") SELECT " + Joined(copied) +
              " FROM runs WHERE run_uuid = $2",
          "INSERT INTO run_keys (run_uuid) VALUES ('inserted')"},
         {RunLine("inserted",
                  "not sealed, though recorded after runs were sealed: inserted, or its seal "
                  "was removed")},
         false},
    };
    const std::string key = "--key=" + TestPublicKey(folder_);
    for (const std::string command : {"verify", "rejudge"}) {
        const Said clean = Cli({command, "--db", Target("base"), key});
        EXPECT_EQ(clean.status, kExitRanToEnd) << clean.out;
        EXPECT_NE(clean.out.find("Seals of 12 runs: 12 sealed and unchanged, 0 recorded before "
                                 "runs were sealed, 0 not ended, 0 broken seals.\n"),
                  std::string::npos)
            << clean.out;
    }
    for (const Forgery& forgery : forgeries) {
        if (forgery.sqliteOnly && cluster_) {
            continue;
        }
        const std::string target = Copy(forgery.name);
        Forge(target, forgery);
        for (const std::string command : {"verify", "rejudge"}) {
            const Said said = Cli({command, "--db", target, key});
            EXPECT_EQ(said.status, kExitSealBroken) << forgery.name << " " << command << "\n"
                                                    << said.out;
            for (const std::string& line : forgery.named) {
                const bool judging = line.find("can't be judged") != std::string::npos;
                if (judging && command == "verify") {
                    continue;
                }
                EXPECT_NE(said.out.find(line), std::string::npos)
                    << forgery.name << " " << command << " should say: " << line << said.out;
            }
            if (command == "rejudge" && forgery.judgesClean) {
                EXPECT_NE(said.out.find(" 0 disagreements.\n"), std::string::npos)
                    << forgery.name << ": judged again, the forgery agrees with itself\n"
                    << said.out;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, Forgeries, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Server" : "Sqlite"; });

}  // namespace
}  // namespace orvalt::test

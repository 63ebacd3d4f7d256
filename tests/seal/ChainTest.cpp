// The chain of a station's seals as stations make it: fixtures of one station
// in separate processes recording at once into one database make one chain;
// a run that waited in the spool is sealed when it reaches the database; a
// station that can't read its key still records, and its runs are named
// unsealed; runs recorded before the database sealed runs are no forgery, a
// run inserted among them is; and the keys given decide what is proven.

#include <fcntl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>

#include "cli/ExitStatus.h"
#include "platform/UniqueFd.h"
#include "recording/EventRows.h"
#include "recording/RecordStore.h"
#include "recording/RunRecorder.h"
#include "records/Schema.h"
#include "seal/SealCheck.h"
#include "seal/StationKeyFiles.h"
#include "support/BothDatabases.h"
#include "support/ChildProcess.h"
#include "support/JudgedRunsKit.h"
#include "support/OldSchemaKit.h"
#include "support/PgCluster.h"
#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kExamples = fs::path(ORVALT_SOURCE_DIR) / "examples";

struct Checked {
    SealTally tally;
    std::vector<std::string> lines;
};

Checked Check(const std::string& target, const TrustedKeys& keys, const SealScope& scope = {}) {
    Checked checked;
    auto db = OpenSqlConnectionToRead(target);
    EXPECT_TRUE(db.Ok() && *db) << (db.Ok() ? "no database" : db.Error());
    if (!db.Ok() || !*db) {
        return checked;
    }
    const Result<SealTally> tally = CheckSeals(
        **db, keys, scope, [&](const std::string& line) { checked.lines.push_back(line); });
    EXPECT_TRUE(tally.Ok()) << tally.Error();
    checked.tally = tally.Ok() ? *tally : SealTally{};
    return checked;
}

TrustedKeys KeysIn(const std::vector<fs::path>& files) {
    Result<TrustedKeys> keys = KeysToTrust(files);
    EXPECT_TRUE(keys.Ok()) << keys.Error();
    return keys.Ok() ? *keys : TrustedKeys{};
}

// A lot run of the example plan by orvalt-cli, as a fixture's own process.
pid_t StartLot(const fs::path& home, const std::string& target, int units, const fs::path& err) {
    const UniqueFd out(::open("/dev/null", O_WRONLY));
    const UniqueFd errFd(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    return StartProgram(
        {{ORVALT_CLI_PATH, "--simulate", "--fast", "--quiet", "--lot-profile",
          (kExamples / "lot-steady.json").string(), "--units", std::to_string(units), "--limits",
          (kExamples / "limits-pass.csv").string(), "--db", target,
          (kExamples / "TestCfg.csv").string()},
         {"XDG_CONFIG_HOME=" + home.string(), "XDG_DATA_HOME=" + home.string()},
         out.Get(),
         errFd.Get(),
         {}});
}

class Chains : public ::testing::Test {
  protected:
    BothDatabases databases_{"chain.sqlite"};
    TempFolder folder_;
};

// Two fixtures' processes start at once with no key yet: one key is made
// between them, and their runs, interleaved, make one chain without a gap.
TEST_F(Chains, FixturesOfOneStationInSeparateProcessesMakeOneChain) {
    ASSERT_EQ(databases_.Problem(), "");
    for (const std::string& target : databases_.Targets()) {
        TempFolder home;
        constexpr int kUnits = 12;
        const pid_t first = StartLot(home.Path(), target, kUnits, home / "first.txt");
        const pid_t second = StartLot(home.Path(), target, kUnits, home / "second.txt");
        for (const pid_t lot : {first, second}) {
            EXPECT_EQ(ProgramEndedWithin(lot, 120s).exitStatus, kExitRanToEnd) << target;
        }
        EXPECT_EQ(ReadBytes(home / "first.txt").find("seal"), std::string::npos)
            << ReadBytes(home / "first.txt");
        const fs::path own = home / "Kestrune" / "Orvalt" / "station-key.pub";
        const Checked checked = Check(target, KeysIn({own}));
        EXPECT_EQ(checked.lines, std::vector<std::string>{}) << target;
        EXPECT_EQ(checked.tally.sealed, 2 * kUnits) << target;
        EXPECT_EQ(checked.tally.runs, 2 * kUnits) << target;

        auto db = OpenSqlConnection(target);
        ASSERT_TRUE(db.Ok()) << db.Error();
        const auto places = (*db)->Run("SELECT position, key_id FROM run_seals");
        ASSERT_TRUE(places.Ok()) << places.Error();
        std::set<std::int64_t> positions;
        std::set<std::string> keys;
        for (const SqlRow& row : *places) {
            positions.insert(CellInteger(row[0]));
            keys.insert(CellText(row[1]));
        }
        EXPECT_EQ(keys.size(), 1u);
        EXPECT_EQ(positions.size(), 2u * kUnits);
        EXPECT_EQ(*positions.begin(), 1);
        EXPECT_EQ(*positions.rbegin(), 2 * kUnits);
    }
}

// A key that is there but can't be used: the station records all the same,
// says so once, and marks its runs unsealed, which verify names.
TEST_F(Chains, AStationThatCanNotUseItsKeyRecordsUnsealedAndSaysSo) {
    const fs::path key = folder_ / "Kestrune" / "Orvalt" / "station-key.pem";
    WriteBytes(key, "not a key\n");
    fs::permissions(key, fs::perms::owner_read | fs::perms::owner_write);
    const std::string target = (folder_ / "unsealed.sqlite").string();
    const pid_t lot = StartLot(folder_.Path(), target, 2, folder_ / "err.txt");
    EXPECT_EQ(ProgramEndedWithin(lot, 120s).exitStatus, kExitRanToEnd);
    const std::string err = ReadBytes(folder_ / "err.txt");
    EXPECT_EQ(CountOf(err, "Runs are recorded without a seal: The station key " + key.string() +
                               " is no private key"),
              1u)
        << err;
    Result<StationKey> other = StationKey::Make();
    WriteBytes(folder_ / "other.pub", other->PublicPem().Value());
    const Checked checked = Check(target, KeysIn({folder_ / "other.pub"}));
    ASSERT_EQ(checked.lines.size(), 3u);  // two runs, and the key named sealed none
    EXPECT_NE(checked.lines[0].find(": recorded unsealed: The station key " + key.string() +
                                    " is no private key"),
              std::string::npos)
        << checked.lines[0];
    EXPECT_EQ(checked.lines[2].find("key " + other->Id() + " sealed no run here"), 0u);
    EXPECT_EQ(checked.tally.sealed, 0);
}

// Runs recorded by a station before seals: counted as such, not as broken,
// once the database is brought up to date and goes on with sealed runs. A run
// inserted afterwards with an old start is no such run; moving the database's
// own record of when sealing began, to pass it off as one, breaks every seal.
TEST_F(Chains, RunsBeforeSealsAreNoForgeryButARunInsertedAmongThemIs) {
    ASSERT_EQ(databases_.Problem(), "");
    for (const std::string& target : databases_.Targets()) {
        TempFolder station;
        {
            auto old = OpenAtVersion(target, CurrentSchemaVersion() - 1);
            ASSERT_TRUE(old.Ok()) << old.Error();
            for (const char* uuid : {"old-1", "old-2", "old-3"}) {
                RunStart run = SampleRun("X100", uuid);
                run.uuid = uuid;
                run.startedAt = "2026-11-02T08:00:00.000Z";
                std::vector<RowWrite> rows;
                AppendEventRows(
                    RunEnded{run, {RecordEnd::Completed, "", run.startedAt, std::nullopt}, {}},
                    rows);
                ASSERT_TRUE(WriteRows(**old, rows).Ok());
            }
            // Read before it is brought up to date: every run is from before.
            const Checked before = Check(target, {});
            EXPECT_EQ(before.tally.beforeSeals, 3) << target;
            EXPECT_EQ(before.lines, std::vector<std::string>{});
        }
        {
            RunRecorder recorder(
                {target, station / "spool.sqlite", 0ms, {}, TestStationKey(station)});
            ASSERT_EQ(RecordJudgedShift(recorder, 4).runs, 4);
        }
        const TrustedKeys keys = KeysIn({TestPublicKey(station)});
        Checked checked = Check(target, keys);
        EXPECT_EQ(checked.lines, std::vector<std::string>{}) << target;
        EXPECT_EQ(checked.tally.runs, 7);
        EXPECT_EQ(checked.tally.sealed, 4);
        EXPECT_EQ(checked.tally.beforeSeals, 3);

        auto db = OpenSqlConnection(target);
        ASSERT_TRUE(db.Ok()) << db.Error();
        RunStart run = SampleRun("X100", "SN-late");
        run.uuid = "late";
        run.startedAt = "2026-11-01T08:00:00.000Z";
        std::vector<RowWrite> rows;
        AppendEventRows(
            RunEnded{run, {RecordEnd::Completed, "", run.startedAt, VerdictKind::Pass}, {}}, rows);
        ASSERT_TRUE(WriteRows(**db, rows).Ok());
        checked = Check(target, keys);
        EXPECT_EQ(checked.lines,
                  std::vector<std::string>{"run late: not sealed, though recorded after runs were "
                                           "sealed: inserted, or its seal was removed"});
        ASSERT_TRUE((*db)
                        ->Run("UPDATE seal_era SET last_run_before = (SELECT run_id FROM "
                              "run_keys WHERE run_uuid = 'late')")
                        .Ok());
        checked = Check(target, keys);
        EXPECT_EQ(checked.tally.beforeSeals, 4) << target;
        EXPECT_EQ(checked.tally.sealed, 0) << target;
        // Each seal signed the era it was made in.
        std::size_t unsigned_ = 0;
        for (const std::string& line : checked.lines) {
            unsigned_ +=
                line.find(": its seal does not bear the signature of key") != std::string::npos;
        }
        EXPECT_EQ(unsigned_, 4u) << target;
    }
}

// Two stations record into one database, each with its own key: what is not
// checked with a key given is named, and a key given that sealed nothing is.
TEST_F(Chains, TheKeysGivenDecideWhatIsProven) {
    TempFolder a, b;
    const std::string target = (folder_ / "line.sqlite").string();
    {
        RunRecorder first({target, a / "spool.sqlite", 0ms, {}, TestStationKey(a)});
        RunRecorder second({target, b / "spool.sqlite", 0ms, {}, TestStationKey(b)});
        RecordJudgedShift(first, 2);
        first.Flush();
        RecordJudgedShift(second, 3);
    }
    const Checked both = Check(target, KeysIn({TestPublicKey(a), TestPublicKey(b)}));
    EXPECT_EQ(both.lines, std::vector<std::string>{});
    EXPECT_EQ(both.tally.sealed, 5);

    const Checked onlyA = Check(target, KeysIn({TestPublicKey(a)}));
    EXPECT_EQ(onlyA.tally.sealed, 2);
    ASSERT_EQ(onlyA.lines.size(), 3u);
    const std::string keyB = LoadPublicKeys(TestPublicKey(b)).Value().front().Id();
    for (const std::string& line : onlyA.lines) {
        EXPECT_NE(line.find(": sealed by key " + keyB +
                            ", which is not among the keys given: its seal can't be checked"),
                  std::string::npos)
            << line;
    }
    TempFolder c;
    (void)LoadStationKey(TestStationKey(c));
    const Checked extra =
        Check(target, KeysIn({TestPublicKey(a), TestPublicKey(b), TestPublicKey(c)}));
    EXPECT_EQ(extra.tally.sealed, 5);
    ASSERT_EQ(extra.lines.size(), 1u);
    EXPECT_EQ(extra.lines[0].find("key "), 0u);
    EXPECT_NE(extra.lines[0].find(" sealed no run here"), std::string::npos);

    // Checked one run, or a day on: only those runs' seals, and their links.
    const Checked one = Check(target, KeysIn({TestPublicKey(a)}), {"nosuch", std::nullopt});
    EXPECT_EQ(one.tally.runs, 0);
    const Checked since =
        Check(target, KeysIn({TestPublicKey(a), TestPublicKey(b)}), {std::nullopt, "2026-12-01"});
    EXPECT_EQ(since.tally.sealed, 5);
    EXPECT_EQ(since.lines, std::vector<std::string>{});
}

// A run whose end waited in the spool while the server was away is sealed as
// it reaches the server, and takes its place in the chain.
TEST(SpooledChain, ARunThatWaitedInTheSpoolIsSealedWhenItArrives) {
    if (PostgresTestsMaySkip()) {
        GTEST_SKIP() << "Debian's postgresql is not installed";
    }
    PgCluster cluster;
    ORVALT_NEED_CLUSTER(cluster);
    TempFolder folder;
    {
        RunRecorder recorder(
            {cluster.Url(), folder / "spool.sqlite", 20ms, {}, TestStationKey(folder)}, {5ms});
        RecordJudgedShift(recorder, 2);
        recorder.Flush();
        ASSERT_TRUE(cluster.Stop());
        JudgedRunsMade made;
        RecordJudgedRun(recorder, "SN-spooled", 30, JudgedRunKind::Pass, 3, made);
        recorder.Flush();
        ASSERT_TRUE(cluster.Start());
        std::this_thread::sleep_for(50ms);  // past the store's wait before it tries again
        RecordJudgedRun(recorder, "SN-after", 40, JudgedRunKind::Pass, 4, made);
        recorder.Flush();
    }
    const Checked checked = Check(cluster.Url(), KeysIn({TestPublicKey(folder)}));
    EXPECT_EQ(checked.lines, std::vector<std::string>{});
    EXPECT_EQ(checked.tally.sealed, 4);
    EXPECT_EQ(cluster.Query("SELECT COUNT(*) FROM run_seals s JOIN runs r ON r.run_uuid = "
                            "s.run_uuid WHERE r.serial = 'SN-spooled' AND s.position = 3"),
              "1\n");
}

}  // namespace
}  // namespace orvalt::test

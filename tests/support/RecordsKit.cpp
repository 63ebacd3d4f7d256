#include "support/RecordsKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>

#include "platform/HostIdentity.h"
#include "platform/UtcTime.h"
#include "recording/EventRows.h"
#include "recording/RecordStore.h"
#include "records/RecordTables.h"
#include "records/TraceBlocks.h"

namespace orvalt::test {

StationKeyPlace TestStationKey(const TempFolder& folder) {
    return {folder / "keys" / "station-key.pem", true};
}

std::string TestPublicKey(const TempFolder& folder) {
    return PublicKeyFile(TestStationKey(folder).file).string();
}

RunSealer TestSealer(const TempFolder& folder) {
    Result<StationKey> key = LoadStationKey(TestStationKey(folder));
    EXPECT_TRUE(key.Ok()) << key.Error();
    return key ? RunSealer(*key) : RunSealer(std::string("the test's key was not made"));
}

RunStart SampleRun(const std::string& model, const std::string& serial) {
    RunStart run;
    run.host = "bench-3";
    run.operatorName = "alice";
    run.planName = "TestCfg.csv";
    run.planText = "1000,2000,1000,2000,7,0\r\n";
    run.planSha256 = "00";
    run.settings = {{"VoltageOn", "1.0"}, {"VoltageOffA", "0.5"}, {"VoltageOffB", "0.2"}};
    run.unit = {"Acme", model, "Linear", "40W", "4ft", "DrvCo", "D-200", serial};
    return run;
}

TestRecordStart SampleTest(int index) {
    TestRecordStart test;
    test.index = index;
    test.planTexts = {std::to_string(index + 1), "1.0", "2.0", "1.0", "2.0", "7", "0", "", ""};
    test.mode = "cycle";
    return test;
}

void RecordTrace(RunRecorder& recorder, int readings, RecordedCounts& counts,
                 std::int64_t firstMs) {
    for (int i = 0; i < readings; ++i) {
        const std::int64_t ms = firstMs + std::int64_t{i} * 10;
        if (i % 10 == 0) {
            recorder.RecordSwitch(ms, 4, (i / 10) % 2 == 1);
            ++counts.switches;
        }
        recorder.RecordReading(ms, 0.01 * i, "reading #" + std::to_string(i));
        ++counts.readings;
        if (i % 5 == 0) {
            recorder.RecordDiagLine(ms, "1F4 2 3", {500, 2, 3});
            ++counts.diagLines;
        }
    }
}

void RecordCompletedTest(RunRecorder& recorder, int index, int readings, RecordedCounts& counts) {
    recorder.BeginTest(SampleTest(index));
    RecordTrace(recorder, readings, counts);
    recorder.EndTest({RecordEnd::Completed,
                      "12-06-26, 1, 0, Acme",
                      RecordMeasurements({{"CT", 12.345}, {"Time To ON", 1.2}}, {}),
                      std::nullopt,
                      {}});
    ++counts.tests;
}

std::int64_t CountRows(SqlConnection& db, const std::string& table, const std::string& uuid) {
    const bool readings = table == "readings", diag = table == "diag_lines";
    const std::string run = table == "runs" ? "run_uuid = $1" : "run_id = " + RunKeyOf("$1");
    const std::string sql = readings ? "SELECT COALESCE(SUM(reading_count), 0) FROM reading_blocks"
                            : diag   ? "SELECT COALESCE(SUM(line_count), 0) FROM diag_blocks"
                                     : "SELECT COUNT(*) FROM " + table;
    const auto result = db.Run(sql + " WHERE " + run, {uuid});
    return result.Ok() ? CellInteger(result->at(0).at(0)) : -1;
}

namespace {

std::optional<int> TestIndex(const SqlCell& cell) {
    return cell ? std::optional<int>(static_cast<int>(CellInteger(cell))) : std::nullopt;
}

// The rows of the run's blocks of `table`; `text` picks a row's text.
template <class Decode, class Text>
void AppendBlockRows(SqlConnection& db, const std::string& uuid, const TableShape& table,
                     Decode decode, Text text, std::vector<StoredTraceRow>& rows) {
    const auto blocks = db.Run("SELECT block, " + table.columns[3] + ", test_index FROM " +
                                   table.name + " WHERE run_id = " + RunKeyOf("$1"),
                               {uuid});
    for (const SqlRow& row : blocks.Ok() ? *blocks : SqlRows{}) {
        const auto decoded = decode(CellText(row[0]), CellInteger(row[1]));
        for (const auto& sequenced : decoded.Value()) {
            const auto& [ms, said] = text(sequenced);
            rows.push_back({sequenced.seq, TestIndex(row[2]), ms, said});
        }
    }
}

}  // namespace

std::vector<StoredTraceRow> StoredTraceRows(SqlConnection& db, const std::string& uuid) {
    std::vector<StoredTraceRow> rows;
    AppendBlockRows(
        db, uuid, ReadingBlocksTable(), DecodeReadingBlock,
        [](const auto& r) { return std::pair(r.reading.ms, r.reading.status); }, rows);
    AppendBlockRows(
        db, uuid, DiagBlocksTable(), DecodeDiagBlock,
        [](const auto& d) { return std::pair(d.line.ms, d.line.raw); }, rows);
    const auto switches =
        db.Run("SELECT seq, test_index, ms FROM switches WHERE run_id = " + RunKeyOf("$1"), {uuid});
    for (const SqlRow& row : switches.Ok() ? *switches : SqlRows{}) {
        rows.push_back({CellInteger(row[0]), TestIndex(row[1]), CellInteger(row[2]), "s"});
    }
    std::sort(rows.begin(), rows.end(),
              [](const StoredTraceRow& a, const StoredTraceRow& b) { return a.seq < b.seq; });
    return rows;
}

bool SameReadingBits(const Reading& a, const Reading& b) {
    return a.ms == b.ms && a.status == b.status &&
           std::bit_cast<std::uint64_t>(a.volts) == std::bit_cast<std::uint64_t>(b.volts);
}

std::int64_t CountRows(const std::string& target, const std::string& table,
                       const std::string& uuid) {
    auto opened = OpenSqlConnection(target);
    return opened.Ok() ? CountRows(**opened, table, uuid) : -1;
}

bool RecordFigureHistory(SqlConnection& db, const std::string& model, int testIndex,
                         const std::string& name, const std::vector<double>& values,
                         std::size_t firstUnit, const std::string& fixture) {
    const auto first = std::chrono::system_clock::time_point(std::chrono::seconds(1796104800));
    std::vector<RowWrite> rows;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t unit = firstUnit + i;
        const std::string when = UtcIsoTime(first + std::chrono::minutes(unit));
        RunStart run;
        run.uuid = "history-" + model + "-" + std::to_string(unit);
        run.startedAt = when;
        run.host = StationHostName();
        run.fixture = fixture;
        run.unit.model = model;
        run.unit.serial = "SN-H" + std::to_string(unit);
        const TestFinish finish{RecordEnd::Completed, "",
                                RecordMeasurements({{name, values[i], "s", 2}}, {}), std::nullopt,
                                when};
        AppendEventRows(TestEnded{run.uuid, {testIndex, {}, "cycle", when}, finish}, rows);
        AppendEventRows(RunEnded{run, {RecordEnd::Completed, "", when, std::nullopt}, {1, 1, 0, 0}},
                        rows);
    }
    const auto written = WriteRows(db, rows);
    EXPECT_TRUE(written.Ok()) << written.Error().why;
    return written.Ok();
}

}  // namespace orvalt::test

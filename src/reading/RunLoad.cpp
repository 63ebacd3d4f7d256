#include "reading/RunLoad.h"

#include "domain/Joined.h"
#include "domain/VerdictWord.h"
#include "records/RecordTables.h"
#include "records/TraceBlocks.h"

namespace orvalt {

namespace {

std::string Columns(const std::vector<std::string>& names) {
    return Joined(names);
}

RunStart RunStartOf(const SqlRow& row) {
    RunStart run;
    std::string* texts[] = {&run.uuid,
                            &run.startedAt,
                            &run.host,
                            &run.operatorName,
                            &run.fixture,
                            &run.planName,
                            &run.planSha256,
                            &run.planText,
                            &run.unit.manufacturer,
                            &run.unit.model,
                            &run.unit.type,
                            &run.unit.power,
                            &run.unit.size,
                            &run.unit.driverManufacturer,
                            &run.unit.driverModel,
                            &run.unit.serial,
                            &run.login,
                            &run.lot,
                            &run.limitsName,
                            &run.limitsSha256,
                            &run.limitsText,
                            &run.programVersion,
                            &run.u3Serial,
                            &run.u3Firmware};
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        *texts[i] = CellText(row[i]);
    }
    return run;
}

// The columns RunStartOf reads, in its order, then the run's end.
const std::vector<std::string>& RunColumns() {
    static const std::vector<std::string> columns{"run_uuid",     "started_at",
                                                  "host",         "operator",
                                                  "fixture",      "plan_name",
                                                  "plan_sha256",  "plan_text",
                                                  "manufacturer", "model",
                                                  "type",         "power",
                                                  "size",         "driver_manufacturer",
                                                  "driver_model", "serial",
                                                  "login",        "lot",
                                                  "limits_name",  "limits_sha256",
                                                  "limits_text",  "program_version",
                                                  "u3_serial",    "u3_firmware",
                                                  "ended_at",     "ended_how",
                                                  "end_reason",   "attempt",
                                                  "verdict"};
    return columns;
}

std::optional<double> Bound(const SqlCell& cell) {
    return cell ? std::optional<double>(CellNumber(cell)) : std::nullopt;
}

MeasurementOutcome OutcomeOf(const SqlCell& cell) {
    if (cell && *cell == MeasurementOutcomeWord(MeasurementOutcome::Pass)) {
        return MeasurementOutcome::Pass;
    }
    if (cell && *cell == MeasurementOutcomeWord(MeasurementOutcome::Fail)) {
        return MeasurementOutcome::Fail;
    }
    return MeasurementOutcome::NotJudged;
}

// A row recorded before units were kept has the defaults of NamedMeasurement.
MeasurementRecord MeasurementOf(const SqlRow& row) {
    MeasurementRecord record;
    record.figure.name = CellText(row[1]);
    record.figure.value = CellNumber(row[2]);
    record.figure.unit = CellText(row[3]);
    if (row[4]) {
        record.figure.decimals = static_cast<int>(CellInteger(row[4]));
    }
    record.min = Bound(row[5]);
    record.max = Bound(row[6]);
    record.outcome = OutcomeOf(row[7]);
    return record;
}

LoadedTest TestOf(const SqlRow& row) {
    LoadedTest test;
    test.start.index = static_cast<int>(CellInteger(row[1]));
    for (std::size_t i = 0; i < 9; ++i) {
        test.start.planTexts[i] = CellText(row[2 + i]);
    }
    test.start.mode = CellText(row[11]);
    test.start.startedAt = CellText(row[12]);
    test.endedAt = CellText(row[13]);
    test.endedHow = CellText(row[14]);
    test.summaryLine = CellText(row[15]);
    if (row[16]) {
        test.verdict = Verdict{StoredVerdict::Read(*row[16]), CellText(row[17])};
    }
    return test;
}

LoadedTest* TestAt(LoadedRun& run, const SqlCell& index) {
    if (!index) {
        return nullptr;
    }
    for (auto& test : run.tests) {
        if (test.start.index == CellInteger(index)) {
            return &test;
        }
    }
    return nullptr;
}

Result<std::optional<LoadedRun>> LoadRunRow(SqlConnection& db, const std::string& uuid) {
    const Result<SqlRows> found =
        db.Run("SELECT " + Columns(RunColumns()) + " FROM runs WHERE run_uuid = $1", {uuid});
    if (!found) {
        return Fail(found.Error());
    }
    std::optional<LoadedRun> run;
    if (found->empty()) {
        return run;
    }
    run.emplace();
    const SqlRow& row = found->front();
    run->start = RunStartOf(row);
    run->endedAt = CellText(row[24]);
    run->endedHow = CellText(row[25]);
    run->endReason = CellText(row[26]);
    if (row[27]) {
        run->attempt = CellInteger(row[27]);
    }
    run->unitVerdict = StoredUnitVerdict(row[28]);
    return run;
}

// Each part of a run is read by its key, looked up once.
struct RunToLoad {
    LoadedRun& run;
    std::vector<SqlValue> key;
};

Result<void> LoadSettings(SqlConnection& db, RunToLoad& load) {
    LoadedRun& run = load.run;
    return EachRow(
        db.Run("SELECT name, value FROM run_settings WHERE run_id = $1 ORDER BY name", load.key),
        [&](const SqlRow& row) {
            run.start.settings.emplace_back(CellText(row[0]), CellText(row[1]));
        });
}

Result<void> LoadTests(SqlConnection& db, RunToLoad& load) {
    LoadedRun& run = load.run;
    return EachRow(db.Run("SELECT run_id, test_index, plan_1, plan_2, plan_3, plan_4, plan_5,"
                          " plan_6, plan_7, plan_8, plan_9, mode, started_at, ended_at, ended_how,"
                          " summary_line, verdict, verdict_reasons FROM tests WHERE run_id = $1"
                          " ORDER BY test_index",
                          load.key),
                   [&](const SqlRow& row) { run.tests.push_back(TestOf(row)); });
}

Result<void> LoadMeasurements(SqlConnection& db, RunToLoad& load) {
    LoadedRun& run = load.run;
    return EachRow(
        db.Run("SELECT test_index, name, value, unit, decimals, min_value, max_value, outcome"
               " FROM measurements WHERE run_id = $1",
               load.key),
        [&](const SqlRow& row) {
            if (auto* test = TestAt(run, row[0])) {
                test->measurements.push_back(MeasurementOf(row));
                if (!CellReal(row[2])) {
                    test->valuesNotNumbers.emplace_back(CellText(row[1]), row[2]);
                }
            }
        });
}

// Each block of a table, decoded, to `take`: its test (or none) and its rows.
// A damaged block is named with its run, and none of its numbers are used.
template <class Decode, class Take>
Result<void> EachBlock(SqlConnection& db, RunToLoad& load, const TableShape& table,
                       const char* what, Decode decode, Take take) {
    // The columns: run_id, first_seq, test_index, the count, the block.
    const auto& columns = table.columns;
    const Result<SqlRows> blocks =
        db.Run("SELECT " + Joined(std::vector<std::string>(columns.begin() + 1, columns.end())) +
                   " FROM " + table.name + " WHERE run_id = $1 ORDER BY first_seq",
               load.key);
    if (!blocks) {
        return Fail(blocks.Error());
    }
    for (const SqlRow& block : *blocks) {
        auto rows = decode(CellText(block[3]), CellInteger(block[2]));
        if (!rows) {
            return Fail("Run " + load.run.start.uuid + ": the block of " + what +
                        " from sequence number " + CellText(block[0]) +
                        " can't be read: " + rows.Error() + ".");
        }
        take(TestAt(load.run, block[1]), *rows);
    }
    return {};
}

Result<void> LoadReadings(SqlConnection& db, RunToLoad& load) {
    return EachBlock(db, load, ReadingBlocksTable(), "readings", DecodeReadingBlock,
                     [](LoadedTest* test, std::vector<SequencedReading>& readings) {
                         for (SequencedReading& sequenced : readings) {
                             if (test) {
                                 test->readings.push_back(std::move(sequenced.reading));
                             }
                         }
                     });
}

Result<void> LoadSwitches(SqlConnection& db, RunToLoad& load) {
    return EachRow(
        db.Run("SELECT test_index, ms, line, state FROM switches WHERE run_id = $1 ORDER BY seq",
               load.key),
        [&](const SqlRow& row) {
            if (auto* test = TestAt(load.run, row[0])) {
                test->switches.push_back({CellInteger(row[1]),
                                          static_cast<int>(CellInteger(row[2])),
                                          CellInteger(row[3]) != 0});
            }
        });
}

Result<void> LoadDiagLines(SqlConnection& db, RunToLoad& load) {
    LoadedRun& run = load.run;
    return EachBlock(db, load, DiagBlocksTable(), "diagnostic lines", DecodeDiagBlock,
                     [&](LoadedTest* test, std::vector<SequencedDiagLine>& lines) {
                         for (SequencedDiagLine& sequenced : lines) {
                             (test ? test->diagLines : run.diagLinesBetweenTests)
                                 .push_back(std::move(sequenced.line));
                         }
                     });
}

Result<void> LoadAlarms(SqlConnection& db, RunToLoad& load) {
    LoadedRun& run = load.run;
    return EachRow(
        db.Run("SELECT test_index, measurement, rule, side, text, raised_at FROM alarms"
               " WHERE run_id = $1 ORDER BY raised_at, test_index, measurement, rule",
               load.key),
        [&](const SqlRow& row) {
            run.alarms.push_back({static_cast<int>(CellInteger(row[0])), CellText(row[1]),
                                  static_cast<int>(CellInteger(row[2])), CellText(row[3]),
                                  CellText(row[4]), CellText(row[5])});
        });
}

}  // namespace

Result<std::optional<LoadedRun>> LoadRun(SqlConnection& db, const std::string& uuid,
                                         RunParts parts) {
    Result<std::optional<LoadedRun>> run = LoadRunRow(db, uuid);
    if (!run || !run->has_value()) {
        return run;
    }
    const Result<SqlRows> key = db.Run("SELECT run_id FROM run_keys WHERE run_uuid = $1", {uuid});
    if (!key) {
        return Fail(key.Error());
    }
    if (key->empty()) {
        return run;  // nothing recorded under the run yet
    }
    RunToLoad load{run->value(), {CellInteger(key->front()[0])}};
    using Part = Result<void> (*)(SqlConnection&, RunToLoad&);
    const std::vector<Part> wanted =
        parts == RunParts::Whole
            ? std::vector<Part>{LoadSettings, LoadTests,     LoadMeasurements, LoadReadings,
                                LoadSwitches, LoadDiagLines, LoadAlarms}
            : std::vector<Part>{LoadSettings, LoadTests, LoadMeasurements};
    for (const Part part : wanted) {
        if (const Result<void> loaded = part(db, load); !loaded) {
            return Fail(loaded.Error());
        }
    }
    return run;
}

Result<std::string> LastRunUuid(SqlConnection& db) {
    const Result<SqlRows> last = db.Run(
        "SELECT run_uuid FROM runs WHERE ended_at IS NOT NULL"
        " ORDER BY ended_at DESC, run_uuid DESC LIMIT 1");
    if (!last) {
        return Fail(last.Error());
    }
    return last->empty() ? std::string() : CellText(last->front()[0]);
}

Result<std::string> NewestPassedRunUuid(SqlConnection& db, const std::string& model,
                                        const std::string& planSha256, const std::string& besides) {
    const Result<SqlRows> newest =
        db.Run(std::string("SELECT run_uuid FROM runs WHERE model = $1 AND plan_sha256 = $2"
                           " AND run_uuid <> $3 AND verdict = '")
                   .append(VerdictKindWord(VerdictKind::Pass))
                   .append("' ORDER BY started_at DESC, run_uuid DESC LIMIT 1"),
               {model, planSha256, besides});
    if (!newest) {
        return Fail(newest.Error());
    }
    return newest->empty() ? std::string() : CellText(newest->front()[0]);
}

std::optional<StoredVerdict> StoredUnitVerdict(const SqlCell& cell) {
    if (!cell || cell->empty()) {
        return std::nullopt;
    }
    return StoredVerdict::Read(*cell);
}

std::optional<VerdictKind> VerdictKindOfCell(const SqlCell& cell) {
    return cell ? VerdictKindFromWord(*cell) : std::nullopt;
}

std::string TestVerdictWord(const LoadedTest& test) {
    if (test.verdict) {
        return test.verdict->outcome.Word();
    }
    if (test.endedHow.empty()) {
        return "in progress";
    }
    return test.endedHow == RecordEndWord(RecordEnd::Completed) ? "not judged" : test.endedHow;
}

std::vector<NamedMeasurement> FiguresOf(const LoadedTest& test) {
    std::vector<NamedMeasurement> figures;
    figures.reserve(test.measurements.size());
    for (const MeasurementRecord& record : test.measurements) {
        figures.push_back(record.figure);
    }
    return figures;
}

std::optional<std::string> RunSetting(const LoadedRun& run, const std::string& name) {
    for (const auto& [key, value] : run.start.settings) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace orvalt

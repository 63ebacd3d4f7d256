#include "records/RunLoad.h"

#include "domain/Joined.h"

namespace orvalt {

namespace {

std::string Columns(const std::vector<std::string>& names) {
    return Joined(names);
}

RunStart RunStartOf(const SqlRow& c) {
    RunStart run;
    std::string* texts[] = {&run.uuid,
                            &run.startedAt,
                            &run.host,
                            &run.operatorLogin,
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
                            &run.unit.serial};
    for (std::size_t i = 0; i < std::size(texts); ++i)
        *texts[i] = CellText(c[i]);
    return run;
}

LoadedTest TestOf(const SqlRow& c) {
    LoadedTest test;
    test.start.index = static_cast<int>(CellInteger(c[1]));
    for (std::size_t i = 0; i < 9; ++i)
        test.start.planTexts[i] = CellText(c[2 + i]);
    test.start.mode = CellText(c[11]);
    test.start.startedAt = CellText(c[12]);
    test.endedAt = CellText(c[13]);
    test.endedHow = CellText(c[14]);
    test.summaryLine = CellText(c[15]);
    if (c[16])
        test.verdict = Verdict{*c[16], CellText(c[17])};
    return test;
}

LoadedTest* TestAt(LoadedRun& run, const SqlCell& index) {
    if (!index)
        return nullptr;
    for (auto& test : run.tests)
        if (test.start.index == CellInteger(index))
            return &test;
    return nullptr;
}

Result<std::optional<LoadedRun>> LoadRunRow(SqlConnection& db, const std::string& uuid) {
    const Result<SqlRows> r =
        db.Run("SELECT " +
                   Columns({"run_uuid", "started_at", "host", "operator", "fixture", "plan_name",
                            "plan_sha256", "plan_text", "manufacturer", "model", "type", "power",
                            "size", "driver_manufacturer", "driver_model", "serial", "ended_at",
                            "ended_how", "end_reason"}) +
                   " FROM runs WHERE run_uuid = $1",
               {uuid});
    if (!r)
        return Fail(r.Error());
    std::optional<LoadedRun> run;
    if (r->empty())
        return run;
    run.emplace();
    run->start = RunStartOf(r->front());
    run->endedAt = CellText(r->front()[16]);
    run->endedHow = CellText(r->front()[17]);
    run->endReason = CellText(r->front()[18]);
    return run;
}

Result<void> LoadSettings(SqlConnection& db, LoadedRun& run) {
    return EachRow(
        db.Run("SELECT name, value FROM run_settings WHERE run_uuid = $1 ORDER BY name",
               {run.start.uuid}),
        [&](const SqlRow& c) { run.start.settings.emplace_back(CellText(c[0]), CellText(c[1])); });
}

Result<void> LoadTests(SqlConnection& db, LoadedRun& run) {
    return EachRow(db.Run("SELECT run_uuid, test_index, plan_1, plan_2, plan_3, plan_4, plan_5,"
                          " plan_6, plan_7, plan_8, plan_9, mode, started_at, ended_at, ended_how,"
                          " summary_line, verdict, verdict_reasons FROM tests WHERE run_uuid = $1"
                          " ORDER BY test_index",
                          {run.start.uuid}),
                   [&](const SqlRow& c) { run.tests.push_back(TestOf(c)); });
}

Result<void> LoadMeasurements(SqlConnection& db, LoadedRun& run) {
    return EachRow(db.Run("SELECT test_index, name, value FROM measurements WHERE run_uuid = $1",
                          {run.start.uuid}),
                   [&](const SqlRow& c) {
                       if (auto* test = TestAt(run, c[0]))
                           test->measurements.push_back({CellText(c[1]), CellNumber(c[2])});
                   });
}

Result<void> LoadTrace(SqlConnection& db, LoadedRun& run) {
    const std::vector<SqlValue> uuid{run.start.uuid};
    const Result<void> readings = EachRow(
        db.Run("SELECT test_index, ms, volts, status FROM readings WHERE run_uuid = $1"
               " ORDER BY seq",
               uuid),
        [&](const SqlRow& c) {
            if (auto* test = TestAt(run, c[0]))
                test->readings.push_back({CellInteger(c[1]), CellNumber(c[2]), CellText(c[3])});
        });
    if (!readings)
        return readings;
    return EachRow(
        db.Run("SELECT test_index, ms, line, state FROM switches WHERE run_uuid = $1 ORDER BY seq",
               uuid),
        [&](const SqlRow& c) {
            if (auto* test = TestAt(run, c[0]))
                test->switches.push_back({CellInteger(c[1]), static_cast<int>(CellInteger(c[2])),
                                          CellInteger(c[3]) != 0});
        });
}

Result<void> LoadDiagLines(SqlConnection& db, LoadedRun& run) {
    return EachRow(
        db.Run("SELECT test_index, ms, raw, field_1, field_2, field_3 FROM diag_lines"
               " WHERE run_uuid = $1 ORDER BY seq",
               {run.start.uuid}),
        [&](const SqlRow& c) {
            DiagLineRecord line{CellInteger(c[1]),
                                CellText(c[2]),
                                {CellInteger(c[3]), CellInteger(c[4]), CellInteger(c[5])}};
            auto* test = TestAt(run, c[0]);
            (test ? test->diagLines : run.diagLinesBetweenTests).push_back(std::move(line));
        });
}

}  // namespace

Result<std::optional<LoadedRun>> LoadRun(SqlConnection& db, const std::string& uuid) {
    Result<std::optional<LoadedRun>> run = LoadRunRow(db, uuid);
    if (!run || !run->has_value())
        return run;
    for (const auto load : {LoadSettings, LoadTests, LoadMeasurements, LoadTrace, LoadDiagLines}) {
        if (const Result<void> loaded = load(db, run->value()); !loaded)
            return Fail(loaded.Error());
    }
    return run;
}

Result<std::string> LastRunUuid(SqlConnection& db) {
    const Result<SqlRows> r =
        db.Run("SELECT run_uuid FROM runs ORDER BY started_at DESC, run_uuid LIMIT 1");
    if (!r)
        return Fail(r.Error());
    return r->empty() ? std::string() : CellText(r->front()[0]);
}

std::optional<std::string> RunSetting(const LoadedRun& run, const std::string& name) {
    for (const auto& [key, value] : run.start.settings)
        if (key == name)
            return value;
    return std::nullopt;
}

}  // namespace orvalt

#include "support/OldSchemaKit.h"

#include "records/RecordValues.h"
#include "records/Schema.h"

namespace orvalt::test {

namespace {

SqlValue TextOrNull(const std::string& text) {
    return text.empty() ? SqlValue() : SqlValue(text);
}

std::vector<SqlValue> RunValues(const LoadedRun& run) {
    const RunStart& start = run.start;
    const RecordedUnit& unit = start.unit;
    return {start.uuid,        start.startedAt,
            start.host,        start.operatorName,
            start.fixture,     start.planName,
            start.planSha256,  start.planText,
            unit.manufacturer, unit.model,
            unit.type,         unit.power,
            unit.size,         unit.driverManufacturer,
            unit.driverModel,  unit.serial,
            run.endedAt,       run.endedHow,
            run.endReason};
}

std::vector<SqlValue> TestValues(const std::string& uuid, const LoadedTest& test) {
    std::vector<SqlValue> values{uuid, std::int64_t{test.start.index}};
    for (const std::string& text : test.start.planTexts) {
        values.push_back(text);
    }
    for (const std::string* text : {&test.start.mode, &test.start.startedAt, &test.endedAt,
                                    &test.endedHow, &test.summaryLine}) {
        values.push_back(*text);
    }
    values.push_back(test.verdict ? SqlValue(test.verdict->outcome.Word()) : SqlValue());
    values.push_back(test.verdict ? SqlValue(test.verdict->reasons) : SqlValue());
    return values;
}

class OldWriter {
  public:
    OldWriter(SqlConnection& db, const std::string& uuid) : db_(db), uuid_(uuid) {}

    void Run(const std::string& sql, std::vector<SqlValue> values) {
        if (result_) {
            result_ = db_.Run(sql, values);
        }
    }

    void Test(const LoadedTest& test) {
        Run("INSERT INTO tests (run_uuid, test_index, plan_1, plan_2, plan_3, plan_4, plan_5,"
            " plan_6, plan_7, plan_8, plan_9, mode, started_at, ended_at, ended_how,"
            " summary_line, verdict, verdict_reasons) VALUES ($1, $2, $3, $4, $5, $6, $7, $8,"
            " $9, $10, $11, $12, $13, $14, $15, $16, $17, $18)",
            TestValues(uuid_, test));
        const std::int64_t index = test.start.index;
        for (const MeasurementRecord& measurement : test.measurements) {
            Run("INSERT INTO measurements (run_uuid, test_index, name, value) VALUES ($1, $2, $3,"
                " $4)",
                {uuid_, index, measurement.figure.name, measurement.figure.value});
        }
        for (const Reading& reading : test.readings) {
            Run("INSERT INTO readings (run_uuid, seq, test_index, ms, volts, status) VALUES ($1,"
                " $2, $3, $4, $5, $6)",
                {uuid_, seq_++, index, reading.ms, reading.volts, reading.status});
        }
        for (const LineSwitch& change : test.switches) {
            Run("INSERT INTO switches (run_uuid, seq, test_index, ms, line, state) VALUES ($1, $2,"
                " $3, $4, $5, $6)",
                {uuid_, seq_++, index, change.ms, std::int64_t{change.line},
                 std::int64_t{change.on}});
        }
        for (const DiagLineRecord& line : test.diagLines) {
            Diag(index, line);
        }
    }

    void Diag(const SqlValue& index, const DiagLineRecord& line) {
        Run("INSERT INTO diag_lines (run_uuid, seq, test_index, ms, raw, field_1, field_2,"
            " field_3) VALUES ($1, $2, $3, $4, $5, $6, $7, $8)",
            {uuid_, seq_++, index, line.ms, line.raw, line.fields[0], line.fields[1],
             line.fields[2]});
    }

    Result<SqlRows> Outcome() const { return result_; }

  private:
    SqlConnection& db_;
    std::string uuid_;
    std::int64_t seq_ = 0;
    Result<SqlRows> result_ = SqlRows{};
};

}  // namespace

Result<std::unique_ptr<SqlConnection>> OpenAtVersion(const std::string& target, int version) {
    Result<std::unique_ptr<SqlConnection>> opened = OpenSqlConnection(target);
    if (!opened) {
        return opened;
    }
    if (const Result<int> prepared = PrepareSchema(**opened, version); !prepared) {
        return Fail(prepared.Error());
    }
    return opened;
}

Result<void> WriteOldForm(SqlConnection& db, const LoadedRun& run) {
    OldWriter writer(db, run.start.uuid);
    std::vector<SqlValue> runValues = RunValues(run);
    for (std::size_t i = 16; i < runValues.size(); ++i) {
        if (const auto* text = std::get_if<std::string>(&runValues[i])) {
            runValues[i] = TextOrNull(*text);
        }
    }
    writer.Run(
        "INSERT INTO runs (run_uuid, started_at, host, operator, fixture, plan_name,"
        " plan_sha256, plan_text, manufacturer, model, type, power, size,"
        " driver_manufacturer, driver_model, serial, ended_at, ended_how, end_reason)"
        " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16,"
        " $17, $18, $19)",
        runValues);
    for (const auto& [name, value] : run.start.settings) {
        writer.Run("INSERT INTO run_settings (run_uuid, name, value) VALUES ($1, $2, $3)",
                   {run.start.uuid, name, value});
    }
    for (const LoadedTest& test : run.tests) {
        writer.Test(test);
    }
    for (const DiagLineRecord& line : run.diagLinesBetweenTests) {
        writer.Diag(SqlValue(), line);
    }
    if (const Result<SqlRows> outcome = writer.Outcome(); !outcome) {
        return Fail(outcome.Error());
    }
    return {};
}

}  // namespace orvalt::test

#include "recording/EventRows.h"

#include <algorithm>
#include <utility>

namespace orvalt {

namespace {

SqlValue Text(const std::string& text) {
    return text;
}

SqlValue Integer(std::int64_t number) {
    return number;
}

std::vector<SqlValue> RunValues(const RunStart& run, const RunFinish* finish,
                                const RunTally* tally) {
    const RecordedUnit& unit = run.unit;
    std::vector<SqlValue> values{
        run.uuid,     run.startedAt,  run.host,     run.operatorName,        run.fixture,
        run.planName, run.planSha256, run.planText, unit.manufacturer,       unit.model,
        unit.type,    unit.power,     unit.size,    unit.driverManufacturer, unit.driverModel,
        unit.serial};
    values.push_back(finish ? Text(finish->endedAt) : SqlValue());
    values.push_back(finish ? Text(RecordEndWord(finish->how)) : SqlValue());
    values.push_back(finish ? Text(finish->reason) : SqlValue());
    values.resize(values.size() + 4);  // NULL: not counted by this write
    if (tally) {
        const std::int64_t counts[] = {tally->begun, tally->completed, tally->passed,
                                       tally->failed};
        for (std::size_t i = 0; i < 4; ++i) {
            values[values.size() - 4 + i].emplace<std::int64_t>(counts[i]);
        }
    }
    for (const std::string* text :
         {&run.login, &run.lot, &run.limitsName, &run.limitsSha256, &run.limitsText,
          &run.programVersion, &run.u3Serial, &run.u3Firmware}) {
        values.push_back(*text);
    }
    const bool judged = finish && finish->unitVerdict;
    values.push_back(judged ? Text(finish->unitVerdict->Word()) : SqlValue());
    return values;
}

void AppendRun(const RunStart& run, const RunFinish* finish, const RunTally* tally,
               std::vector<RowWrite>& rows) {
    rows.push_back({&RunsTable(), RunValues(run, finish, tally)});
    for (const auto& [name, value] : run.settings) {
        rows.push_back({&RunSettingsTable(), {run.uuid, name, value}});
    }
}

std::vector<SqlValue> TestValues(const std::string& uuid, const TestRecordStart& test,
                                 const TestFinish* finish) {
    std::vector<SqlValue> values{uuid, Integer(test.index)};
    for (const auto& text : test.planTexts) {
        values.push_back(text);
    }
    values.push_back(test.mode);
    values.push_back(test.startedAt);
    const bool verdict = finish && finish->verdict;
    values.push_back(finish ? Text(finish->endedAt) : SqlValue());
    values.push_back(finish ? Text(RecordEndWord(finish->how)) : SqlValue());
    values.push_back(finish ? Text(finish->summaryLine) : SqlValue());
    values.push_back(verdict ? Text(finish->verdict->outcome.Word()) : SqlValue());
    values.push_back(verdict ? Text(finish->verdict->reasons) : SqlValue());
    return values;
}

SqlValue Bound(const std::optional<double>& bound) {
    return bound ? SqlValue(*bound) : SqlValue();
}

std::vector<SqlValue> MeasurementValues(const TestEnded& ended, const MeasurementRecord& record) {
    const NamedMeasurement& figure = record.figure;
    const bool judged = record.outcome != MeasurementOutcome::NotJudged;
    return {ended.runUuid,
            Integer(ended.test.index),
            figure.name,
            figure.value,
            figure.unit,
            Integer(figure.decimals),
            Bound(record.min),
            Bound(record.max),
            judged ? Text(MeasurementOutcomeWord(record.outcome)) : SqlValue()};
}

void AppendTestEnd(const TestEnded& ended, std::vector<RowWrite>& rows) {
    rows.push_back({&TestsTable(), TestValues(ended.runUuid, ended.test, &ended.finish)});
    for (const MeasurementRecord& measurement : ended.finish.measurements) {
        rows.push_back({&MeasurementsTable(), MeasurementValues(ended, measurement)});
    }
}

std::vector<SqlValue> StampValues(const TraceStamp& stamp, std::int64_t ms) {
    return {stamp.runUuid, stamp.seq, TestIndexValue(stamp.testIndex), ms};
}

RowWrite TraceRow(const TableShape& table, const TraceStamp& stamp, std::int64_t ms,
                  const std::vector<SqlValue>& extra) {
    RowWrite row{&table, StampValues(stamp, ms)};
    row.values.insert(row.values.end(), extra.begin(), extra.end());
    return row;
}

struct RowsOf {
    std::vector<RowWrite>& rows;

    void operator()(const RunBegan& began) { AppendRun(began.run, nullptr, nullptr, rows); }
    void operator()(const RunEnded& ended) {
        AppendRun(ended.run, &ended.finish, &ended.tally, rows);
    }
    void operator()(const RunTallied& tallied) {
        rows.push_back({&RunsTable(), RunValues(tallied.run, nullptr, &tallied.tally)});
    }
    void operator()(const TestBegan& began) {
        rows.push_back({&TestsTable(), TestValues(began.runUuid, began.test, nullptr)});
    }
    void operator()(const TestEnded& ended) { AppendTestEnd(ended, rows); }
    void operator()(const ReadingTaken&) {}  // gathered into blocks
    void operator()(const LineSwitched& switched) {
        rows.push_back(
            TraceRow(SwitchesTable(), switched.stamp, switched.change.ms,
                     {std::int64_t{switched.change.line}, std::int64_t{switched.change.on}}));
    }
    void operator()(const DiagLineSeen&) {}  // gathered into blocks
    void operator()(const AlarmRaised& raised) {
        const AlarmRecord& alarm = raised.alarm;
        rows.push_back(
            {&AlarmsTable(),
             {raised.runUuid, Integer(alarm.testIndex), alarm.measurement, Integer(alarm.rule),
              alarm.side, alarm.text, alarm.raisedAt, Integer(alarm.pooled ? 1 : 0)}});
    }
};

}  // namespace

bool IsMilestone(const RecordEvent& event) {
    return !std::holds_alternative<ReadingTaken>(event) &&
           !std::holds_alternative<LineSwitched>(event) &&
           !std::holds_alternative<DiagLineSeen>(event);
}

void EventRows::Add(const RecordEvent& event) {
    if (const auto* reading = std::get_if<ReadingTaken>(&event)) {
        AddTo(readingBlocks_, reading->stamp,
              SequencedReading{reading->stamp.seq, reading->reading});
    } else if (const auto* diag = std::get_if<DiagLineSeen>(&event)) {
        AddTo(diagBlocks_, diag->stamp, SequencedDiagLine{diag->stamp.seq, diag->line});
    } else {
        std::visit(RowsOf{rows_}, event);
    }
}

template <class Row>
void EventRows::AddTo(std::vector<PendingBlock<Row>>& blocks, const TraceStamp& stamp, Row row) {
    // The block of the test in progress is the newest: with the writer far
    // behind there are many, and a search from the front would cross them all.
    auto block =
        std::find_if(blocks.rbegin(), blocks.rend(), [&](const PendingBlock<Row>& pending) {
            return pending.runUuid == stamp.runUuid && pending.testIndex == stamp.testIndex;
        });
    if (block == blocks.rend()) {
        blocks.push_back({stamp.runUuid, stamp.testIndex, {}});
        blocks.back().rows.push_back(std::move(row));
        return;
    }
    block->rows.push_back(std::move(row));
}

std::vector<RowWrite> EventRows::Take() {
    for (const auto& pending : readingBlocks_) {
        rows_.push_back(ReadingBlockRow(pending.runUuid, pending.testIndex, pending.rows));
    }
    for (const auto& pending : diagBlocks_) {
        rows_.push_back(DiagBlockRow(pending.runUuid, pending.testIndex, pending.rows));
    }
    readingBlocks_.clear();
    diagBlocks_.clear();
    return std::exchange(rows_, {});
}

void AppendEventRows(const RecordEvent& event, std::vector<RowWrite>& rows) {
    EventRows built;
    built.Add(event);
    for (RowWrite& row : built.Take()) {
        rows.push_back(std::move(row));
    }
}

}  // namespace orvalt

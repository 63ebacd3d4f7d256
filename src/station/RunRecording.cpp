#include "station/RunRecording.h"

#include "domain/Daq.h"
#include "domain/Joined.h"
#include "verdict/Verdict.h"

namespace orvalt {

namespace {

std::string ReasonFor(RunEnd how, const std::string& lastFailure) {
    switch (how) {
        case RunEnd::Completed:
            return {};
        case RunEnd::Stopped:
            return "stopped by the operator";
        case RunEnd::Abandoned:
            return lastFailure.empty() ? "a test was abandoned" : lastFailure;
    }
    return {};
}

// A verdict as the test's record keeps it: its word and its reasons.
std::optional<Verdict> RecordedVerdict(const std::optional<TestVerdict>& verdict) {
    if (!verdict) {
        return std::nullopt;
    }
    return Verdict{verdict->kind, Joined(verdict->reasons)};
}

}  // namespace

RecordEnd RecordEndOf(RunEnd how) {
    switch (how) {
        case RunEnd::Completed:
            return RecordEnd::Completed;
        case RunEnd::Stopped:
            return RecordEnd::Stopped;
        case RunEnd::Abandoned:
            return RecordEnd::Abandoned;
    }
    return RecordEnd::Abandoned;
}

void RunRecording::Prepare(RunSnapshot snapshot) {
    std::scoped_lock lock(mutex_);
    prepared_ = std::move(snapshot);
}

void RunRecording::TakeUnitVerdictFrom(std::function<std::optional<VerdictKind>()> unitVerdict) {
    std::scoped_lock lock(mutex_);
    unitVerdict_ = std::move(unitVerdict);
}

// A run started without a snapshot (a front end that never exchanged) is still
// recorded, with what the recorder fills in itself.
void RunRecording::RunStarted(int /*runNumber*/) {
    {
        std::scoped_lock lock(mutex_);
        current_ = prepared_ ? std::move(*prepared_) : RunSnapshot{};
        prepared_.reset();
    }
    testOpen_ = false;
    lastFailure_.clear();
    recorder_.BeginRun(current_.run);
}

// A test that did not complete is ended here, once the run tells whether it
// was stopped or abandoned.
void RunRecording::RunEnded(int /*runNumber*/, RunEnd how) {
    EndOpenTest(RecordEndOf(how));
    std::function<std::optional<VerdictKind>()> unitVerdict;
    {
        std::scoped_lock lock(mutex_);
        unitVerdict = unitVerdict_;
    }
    const std::optional<VerdictKind> kind = unitVerdict ? unitVerdict() : std::nullopt;
    recorder_.EndRun({RecordEndOf(how),
                      ReasonFor(how, lastFailure_),
                      {},
                      kind ? std::optional<StoredVerdict>(*kind) : std::nullopt});
}

void RunRecording::EndOpenTest(RecordEnd how) {
    if (testOpen_) {
        recorder_.EndTest({how, {}, {}, std::nullopt, {}});
        testOpen_ = false;
    }
}

const RecordedRow* RunRecording::Row(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= current_.rows.size()) {
        return nullptr;
    }
    return &current_.rows[static_cast<std::size_t>(row)];
}

void RunRecording::TestStarted(const TestStart& test) {
    TestRecordStart start;
    start.index = test.row;
    if (const RecordedRow* row = Row(test.row)) {
        start.planTexts = row->texts;
        start.mode = row->mode;
    }
    recorder_.BeginTest(std::move(start));
    testOpen_ = true;
}

void RunRecording::TestEnded(const TestEnd& test) {
    if (!test.completed) {
        return;  // ended with the run
    }
    TestFinish finish;
    finish.summaryLine = test.summaryLine;
    std::vector<NamedMeasurement> figures = test.outcome.measurements;
    for (NamedMeasurement& row : SwitchRows(test.outcome.crossings)) {
        figures.push_back(std::move(row));
    }
    const auto& verdict = test.outcome.verdict;
    finish.measurements = RecordMeasurements(
        std::move(figures), verdict ? verdict->checks : std::vector<MeasurementCheck>{});
    finish.verdict = RecordedVerdict(verdict);
    recorder_.EndTest(std::move(finish));
    testOpen_ = false;
}

void RunRecording::VoltageRead(const VoltageReading& reading) {
    if (!reading.volts) {
        lastFailure_ = reading.status;
        return;
    }
    recorder_.RecordReading(reading.time.ms, *reading.volts, reading.status);
}

// A switch the device refused did not happen; it is why the run is abandoned.
void RunRecording::PowerSwitched(const PowerSwitch& change) {
    if (!change.ok) {
        lastFailure_ = "The device refused to switch the unit's power.";
        return;
    }
    recorder_.RecordSwitch(change.time.ms, kPowerLine, change.state != 0);
}

void RunRecording::MarkerToggled(const MarkerToggle& change) {
    recorder_.RecordSwitch(change.time.ms, kMarkerLine, change.level != 0);
}

void RunRecording::DiagLineDecoded(const DiagLine& line, const EventTime& time) {
    recorder_.RecordDiagLine(time.ms, std::string(line.Row()),
                             {line.fields.field1, line.fields.field2, line.fields.field3});
}

}  // namespace orvalt

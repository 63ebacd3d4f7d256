#include "records/RecordValues.h"

#include "domain/VerdictWord.h"

namespace orvalt {

const char* RecordEndWord(RecordEnd end) {
    switch (end) {
        case RecordEnd::Completed:
            return "completed";
        case RecordEnd::Stopped:
            return "stopped";
        case RecordEnd::Abandoned:
            return "abandoned";
    }
    return "abandoned";
}

StoredVerdict::StoredVerdict(VerdictKind kind) : kind_(kind), word_(VerdictKindWord(kind)) {}

StoredVerdict::StoredVerdict(std::optional<VerdictKind> kind, std::string word)
    : kind_(kind), word_(std::move(word)) {}

StoredVerdict StoredVerdict::Read(std::string word) {
    const std::optional<VerdictKind> kind = VerdictKindFromWord(word);
    return StoredVerdict(kind, std::move(word));
}

// A test that did not pass counts as failed, whatever else its verdict says.
void CountTestEnd(RunTally& tally, const TestFinish& finish) {
    tally.completed += finish.how == RecordEnd::Completed;
    if (!finish.verdict) {
        return;
    }
    const bool passed = finish.verdict->outcome.Kind() == VerdictKind::Pass;
    tally.passed += passed;
    tally.failed += !passed;
}

std::optional<VerdictKind> OutcomeKind(MeasurementOutcome outcome) {
    switch (outcome) {
        case MeasurementOutcome::Pass:
            return VerdictKind::Pass;
        case MeasurementOutcome::Fail:
            return VerdictKind::Fail;
        case MeasurementOutcome::NotJudged:
            break;
    }
    return std::nullopt;
}

const char* MeasurementOutcomeWord(MeasurementOutcome outcome) {
    const std::optional<VerdictKind> kind = OutcomeKind(outcome);
    return kind ? VerdictKindWord(*kind) : "not judged";
}

std::vector<MeasurementRecord> RecordMeasurements(std::vector<NamedMeasurement> figures,
                                                  const std::vector<MeasurementCheck>& checks) {
    std::vector<MeasurementRecord> records;
    records.reserve(figures.size());
    for (NamedMeasurement& figure : figures) {
        MeasurementRecord record{std::move(figure), std::nullopt, std::nullopt,
                                 MeasurementOutcome::NotJudged};
        for (const MeasurementCheck& check : checks) {
            if (check.name == record.figure.name) {
                record.min = check.min;
                record.max = check.max;
                record.outcome = check.passed ? MeasurementOutcome::Pass : MeasurementOutcome::Fail;
            }
        }
        records.push_back(std::move(record));
    }
    return records;
}

std::optional<RecordEnd> RecordEndFromWord(const std::string& word) {
    for (RecordEnd end : {RecordEnd::Completed, RecordEnd::Stopped, RecordEnd::Abandoned}) {
        if (word == RecordEndWord(end)) {
            return end;
        }
    }
    return std::nullopt;
}

}  // namespace orvalt

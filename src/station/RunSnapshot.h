#pragma once
// The beginning of a run's record, taken on the handler thread at Start from
// what the session holds: the plan and where it came from, the settings, the
// unit as the operator described it, and who and where.

#include <memory>
#include <string>
#include <vector>

#include "config/SettingsRecord.h"
#include "config/TestPlan.h"
#include "domain/UnitDescription.h"
#include "station/RunRecording.h"

namespace orvalt {

// The plan file a plan came from, as the record names it.
struct PlanSource {
    std::string fileName;
    std::shared_ptr<const std::string> text;
    std::string sha256;
};

PlanSource MakePlanSource(std::string fileName, std::string text);

struct SnapshotInputs {
    const SettingsRecord& settings;
    const UnitDescription& description;
    const std::string& serial;
    const TestPlan& plan;
    const std::vector<TestRowTexts>& rows;
    const PlanSource& source;
    const std::string& fixture;
};

RunSnapshot TakeRunSnapshot(const SnapshotInputs& inputs);

// Each row's nine texts and its mode.
std::vector<RecordedRow> RecordedRows(const TestPlan& plan, const std::vector<TestRowTexts>& rows);

}  // namespace orvalt

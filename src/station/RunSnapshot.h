#pragma once
// The beginning of a run's record, taken on the handler thread at Start from
// what the session holds: the plan and where it came from, the settings, the
// unit as the operator described it, who and where, the limits that judge the
// run, the program and the device that measures.

#include <memory>
#include <string>
#include <vector>

#include "config/SettingsRecord.h"
#include "config/TestPlan.h"
#include "domain/Daq.h"
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

// The limits file in force, named the same way; all empty without limits. The
// digest is taken once, at the load, not at every Start.
using LimitsSource = PlanSource;

// The operator as typed or scanned (empty: the login name) and the lot.
struct RunPeople {
    std::string operatorName;
    std::string lot;
};

struct SnapshotInputs {
    const SettingsRecord& settings;
    const UnitDescription& description;
    const std::string& serial;
    const TestPlan& plan;
    const std::vector<TestRowTexts>& rows;
    const PlanSource& source;
    const std::string& fixture;
    const RunPeople& people;
    const LimitsSource& limits;
    const DaqIdentity& device;
};

RunSnapshot TakeRunSnapshot(const SnapshotInputs& inputs);

// Each row's nine texts and its mode.
std::vector<RecordedRow> RecordedRows(const TestPlan& plan, const std::vector<TestRowTexts>& rows);

}  // namespace orvalt

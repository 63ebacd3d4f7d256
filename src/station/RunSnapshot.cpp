#include "station/RunSnapshot.h"

#include <algorithm>

#include "execution/RunRecord.h"
#include "execution/WindowModel.h"
#include "platform/HostIdentity.h"
#include "recording/SettingsPairs.h"
#include "records/Sha256.h"
#include "station/ProgramVersion.h"

namespace orvalt {

namespace {

RecordedUnit RecordedUnitOf(const UnitDescription& d, const std::string& serial) {
    return {d.manufacturer,       d.model,       d.type, d.power, d.fixtureSize,
            d.driverManufacturer, d.driverModel, serial};
}

// The row as loaded: a previous run's Wait and Status cells are not the plan.
std::array<std::string, 9> PlanTexts(TestRowTexts row) {
    row[kWaitColumn].clear();
    row[kStatusColumn].clear();
    return row;
}

}  // namespace

PlanSource MakePlanSource(std::string fileName, std::string text) {
    std::string sha = Sha256Hex(text);
    return {std::move(fileName), std::make_shared<const std::string>(std::move(text)),
            std::move(sha)};
}

std::vector<RecordedRow> RecordedRows(const TestPlan& plan, const std::vector<TestRowTexts>& rows) {
    std::vector<RecordedRow> recorded(rows.size());
    for (const TestPlanEntry& entry : plan.entries) {
        if (entry.index < 0 || static_cast<std::size_t>(entry.index) >= rows.size()) {
            continue;
        }
        RecordedRow& row = recorded[static_cast<std::size_t>(entry.index)];
        row.texts = PlanTexts(rows[static_cast<std::size_t>(entry.index)]);
        row.mode = entry.P1 != 0 ? "cycle" : "onoff";
    }
    return recorded;
}

RunSnapshot TakeRunSnapshot(const SnapshotInputs& in) {
    RunSnapshot snapshot;
    RunStart& run = snapshot.run;
    run.host = StationHostName();
    run.login = OperatorLoginName();
    run.operatorName = in.people.operatorName.empty() ? run.login : in.people.operatorName;
    run.lot = in.people.lot;
    run.fixture = in.fixture;
    run.planName = in.source.fileName;
    run.planSha256 = in.source.sha256;
    run.planText = in.source.text ? *in.source.text : std::string();
    run.limitsName = in.limits.fileName;
    run.limitsSha256 = in.limits.sha256;
    run.limitsText = in.limits.text ? *in.limits.text : std::string();
    run.programVersion = kVersionNumber;
    run.u3Serial = in.device.serial;
    run.u3Firmware = in.device.firmware;
    run.settings = SettingsPairs(in.settings);
    run.unit = RecordedUnitOf(in.description, in.serial);
    snapshot.rows = RecordedRows(in.plan, in.rows);
    return snapshot;
}

}  // namespace orvalt

#include "station/RunSnapshot.h"

#include <algorithm>

#include "execution/RunRecord.h"
#include "execution/WindowModel.h"
#include "platform/HostIdentity.h"
#include "records/SettingsPairs.h"
#include "records/Sha256.h"

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

std::vector<RecordedRow> RecordedRows(const TestPlan& plan, const std::vector<TestRowTexts>& rows,
                                      std::int32_t ttoOption) {
    std::vector<RecordedRow> recorded(rows.size());
    std::int32_t cycle = 1, level = 1;
    DecodeTtoOption(ttoOption, cycle, level);
    for (const TestPlanEntry& entry : plan.entries) {
        const bool cycling = entry.P1 != 0;
        if (cycling) {
            DecodeTtoOption(entry.P5, cycle, level);
        }
        if (entry.index < 0 || static_cast<std::size_t>(entry.index) >= rows.size()) {
            continue;
        }
        RecordedRow& row = recorded[static_cast<std::size_t>(entry.index)];
        row.texts = PlanTexts(rows[static_cast<std::size_t>(entry.index)]);
        row.mode = cycling ? "cycle" : "onoff";
        row.cycles = std::clamp(cycle, 1, 4);
        row.level = std::clamp(level, 1, 4);
    }
    return recorded;
}

RunSnapshot TakeRunSnapshot(const SnapshotInputs& in) {
    RunSnapshot snapshot;
    RunStart& run = snapshot.run;
    run.host = StationHostName();
    run.operatorLogin = OperatorLoginName();
    run.fixture = in.fixture;
    run.planName = in.source.fileName;
    run.planSha256 = in.source.sha256;
    run.planText = in.source.text ? *in.source.text : std::string();
    run.settings = SettingsPairs(in.settings);
    run.unit = RecordedUnitOf(in.description, in.serial);
    snapshot.rows = RecordedRows(in.plan, in.rows, in.ttoOption);
    return snapshot;
}

}  // namespace orvalt

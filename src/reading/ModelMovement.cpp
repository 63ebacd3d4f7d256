#include "reading/ModelMovement.h"

#include "reading/RunPick.h"

namespace orvalt {

namespace {

constexpr const char* kModelsOfRunsSql = "SELECT DISTINCT r.model FROM runs r WHERE ";

}  // namespace

ModelMovement::ModelMovement(std::chrono::seconds keysSettle) : keys_(keysSettle) {}

Result<MovedModels> ModelMovement::Since(SqlConnection& connection,
                                         SettledKeys::Clock::time_point now) {
    const Result<std::optional<std::int64_t>> newest = NewestRunKey(connection);
    if (!newest) {
        return Fail(newest.Error());
    }
    MovedModels moved;
    const std::optional<std::int64_t> landedAfter = keys_.LandedAfter(connection.Dialect());
    moved.all = !landedAfter;
    if (landedAfter) {
        if (const Result<void> added = AddNewRuns(connection, *landedAfter, moved); !added) {
            return Fail(added.Error());
        }
    }
    Result<OpenRuns> open = ReadOpenRuns(connection);
    if (!open) {
        return Fail(open.Error());
    }
    // A run open at one read only ended or started in between; one open at
    // both moved when its tests did.
    for (const auto& [uuid, run] : *open) {
        const auto before = openRuns_.find(uuid);
        if (before == openRuns_.end() || before->second.tally != run.tally) {
            moved.models.insert(run.model);
        }
    }
    for (const auto& [uuid, run] : openRuns_) {
        if (!open->contains(uuid)) {
            moved.models.insert(run.model);
        }
    }
    openRuns_ = std::move(open).Value();
    keys_.Note(now, *newest);
    return moved;
}

void ModelMovement::Forget() {
    keys_.Forget();
    openRuns_.clear();
}

Result<void> ModelMovement::AddNewRuns(SqlConnection& connection, std::int64_t after,
                                       MovedModels& moved) const {
    const RunPick landed = RunsKeyedAfter(after);
    return connection.RunRowByRow(
        kModelsOfRunsSql + landed.where, landed.params,
        [&moved](SqlRow row) { moved.models.insert(CellText(row.at(0))); });
}

}  // namespace orvalt

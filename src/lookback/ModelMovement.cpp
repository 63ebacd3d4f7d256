#include "lookback/ModelMovement.h"

#include <limits>

namespace orvalt {

namespace {

constexpr const char* kNewestKeySql = "SELECT MAX(run_id) FROM run_keys";

// The new keys are picked first and their runs looked up: written as a join,
// SQLite walked every run of the records in model order (for DISTINCT) and
// looked each one's key up, so a read cost the whole table at every change.
constexpr const char* kModelsOfNewRunsSql =
    "SELECT DISTINCT r.model FROM runs r"
    " WHERE r.run_uuid IN (SELECT k.run_uuid FROM run_keys k WHERE k.run_id > $1)";

}  // namespace

Result<MovedModels> ModelMovement::Since(SqlConnection& connection) {
    const Result<SqlRows> newest = connection.Run(kNewestKeySql);
    if (!newest) {
        return Fail(newest.Error());
    }
    std::optional<std::int64_t> newestKey;
    if (!newest->empty() && newest->at(0).at(0)) {
        newestKey = CellInteger(newest->at(0).at(0));
    }
    MovedModels moved;
    moved.all = !read_;
    if (read_) {
        // Every run is new when the last read found none.
        const std::int64_t after = newestKey_.value_or(std::numeric_limits<std::int64_t>::min());
        if (const Result<void> added = AddNewRuns(connection, after, moved); !added) {
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
    newestKey_ = newestKey;
    read_ = true;
    return moved;
}

void ModelMovement::Forget() {
    read_ = false;
    newestKey_.reset();
    openRuns_.clear();
}

Result<void> ModelMovement::AddNewRuns(SqlConnection& connection, std::int64_t after,
                                       MovedModels& moved) const {
    return connection.RunRowByRow(kModelsOfNewRunsSql, {SqlValue(after)}, [&moved](SqlRow row) {
        moved.models.insert(CellText(row.at(0)));
    });
}

}  // namespace orvalt

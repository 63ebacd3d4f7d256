#include "reading/SettledKeys.h"

#include <limits>

namespace orvalt {

Result<std::optional<std::int64_t>> NewestRunKey(SqlConnection& connection) {
    const Result<SqlRows> newest = connection.Run("SELECT MAX(run_id) FROM run_keys");
    if (!newest) {
        return Fail(newest.Error());
    }
    if (newest->empty() || !newest->at(0).at(0)) {
        return std::optional<std::int64_t>();
    }
    return std::optional(CellInteger(newest->at(0).at(0)));
}

SettledKeys::SettledKeys(std::chrono::seconds settle) : settle_(settle) {}

// No key yet: every run that lands is after it.
void SettledKeys::Note(Clock::time_point at, std::optional<std::int64_t> newest) {
    newest_.emplace_back(at, newest.value_or(std::numeric_limits<std::int64_t>::min()));
}

// A run that commits after the last read took its key at most `settle`
// before: after the newest key of a read that much older than the last one.
std::optional<std::int64_t> SettledKeys::LandedAfter(SqlDialect dialect) {
    if (newest_.empty()) {
        return std::nullopt;
    }
    const auto settle = dialect == SqlDialect::Sqlite ? std::chrono::seconds(0) : settle_;
    const Clock::time_point limit = newest_.back().first - settle;
    while (newest_.size() > 1 && newest_[1].first <= limit) {
        newest_.pop_front();
    }
    if (newest_.front().first > limit) {
        return std::nullopt;
    }
    return newest_.front().second;
}

void SettledKeys::Forget() {
    newest_.clear();
}

}  // namespace orvalt

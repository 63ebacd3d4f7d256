#include "reading/PlanRows.h"

#include <map>
#include <mutex>
#include <optional>

#include "config/TestPlanFile.h"

namespace orvalt {

namespace {

// Plans a line runs are few; a process that met this many starts over.
constexpr std::size_t kPlansKept = 1024;

class PlanRowCounts {
  public:
    std::optional<std::int64_t> Find(const std::string& sha256) {
        const std::scoped_lock lock(mutex_);
        const auto found = counts_.find(sha256);
        return found == counts_.end() ? std::nullopt : std::optional(found->second);
    }

    void Keep(const std::string& sha256, std::int64_t rows) {
        const std::scoped_lock lock(mutex_);
        if (counts_.size() >= kPlansKept) {
            counts_.clear();
        }
        counts_[sha256] = rows;
    }

  private:
    std::mutex mutex_;
    std::map<std::string, std::int64_t> counts_;
};

PlanRowCounts& Counts() {
    static PlanRowCounts counts;
    return counts;
}

}  // namespace

Result<std::int64_t> PlanRowsOf(SqlConnection& connection, const std::string& runUuid,
                                const std::string& planSha256) {
    if (!planSha256.empty()) {
        if (const std::optional<std::int64_t> known = Counts().Find(planSha256)) {
            return *known;
        }
    }
    const Result<SqlRows> text =
        connection.Run("SELECT plan_text FROM runs WHERE run_uuid = $1", {runUuid});
    if (!text) {
        return Fail(text.Error());
    }
    if (text->empty()) {
        return std::int64_t{0};  // no such run, so no plan to count
    }
    const Result<LoadedPlan> plan = ParseTestPlan(CellText((*text)[0][0]));
    const std::int64_t rows = plan ? static_cast<std::int64_t>(plan->plan.entries.size()) : 0;
    if (!planSha256.empty()) {
        Counts().Keep(planSha256, rows);
    }
    return rows;
}

}  // namespace orvalt

#pragma once
// Which models' runs moved between two reads of the records: a run that
// started since (or whose start landed since, forwarded from a station's
// spool), or a run not ended at either read whose tests moved in between.
// Read from the run keys and the runs not ended, so that it can be asked at
// every change of the line.

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "base/Result.h"
#include "lookback/OpenRuns.h"
#include "records/SqlConnection.h"

namespace orvalt {

struct MovedModels {
    bool all = true;  // nothing was read before: any model may have moved
    std::set<std::string> models;

    bool Moved(const std::string& model) const { return all || models.contains(model); }
};

class ModelMovement {
  public:
    // The models moved since the last call; every model at the first.
    Result<MovedModels> Since(SqlConnection& connection);
    // The next call answers every model again.
    void Forget();

  private:
    Result<void> AddNewRuns(SqlConnection& connection, std::int64_t after,
                            MovedModels& moved) const;

    bool read_ = false;
    std::optional<std::int64_t> newestKey_;  // the run keys' greatest at the last read
    OpenRuns openRuns_;                      // at the last read
};

}  // namespace orvalt

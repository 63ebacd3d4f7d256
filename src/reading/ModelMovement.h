#pragma once
// Which models' runs moved between two reads of the records: a run that
// started since (or whose start landed since, forwarded from a station's
// spool), or a run not ended at either read whose tests moved in between.
// Read from the run keys and the runs not ended, so that it can be asked at
// every change of the line.

#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "base/Result.h"
#include "reading/OpenRuns.h"
#include "reading/SettledKeys.h"
#include "records/SqlConnection.h"

namespace orvalt {

struct MovedModels {
    // Nothing was read before, or too lately to tell the runs that landed
    // since (SettledKeys): any model may have moved.
    bool all = true;
    std::set<std::string> models;

    bool Moved(const std::string& model) const { return all || models.contains(model); }
};

class ModelMovement {
  public:
    explicit ModelMovement(std::chrono::seconds keysSettle = std::chrono::seconds(5));

    // The models moved since the last call, made at `now`; every model at the
    // first.
    Result<MovedModels> Since(SqlConnection& connection,
                              SettledKeys::Clock::time_point now = SettledKeys::Clock::now());
    // The next call answers every model again.
    void Forget();

  private:
    Result<void> AddNewRuns(SqlConnection& connection, std::int64_t after,
                            MovedModels& moved) const;

    SettledKeys keys_;
    OpenRuns openRuns_;  // at the last read
};

}  // namespace orvalt

#pragma once
// The station without a window: loads the settings and the plan, runs the plan
// through the same run control the window uses, prints what the window would
// show, and saves the results when asked. The calling thread is the window
// thread: it handles every posted message.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iosfwd>

#include "cli/CliOptions.h"
#include "cli/ExitStatus.h"
#include "platform/StopRequest.h"

namespace orvalt {

// What a run took, for benchmarks and soak tests.
struct HeadlessStats {
    std::uint64_t virtualMs = 0;  // virtual time the run took (--fast only)
    std::size_t summaryLines = 0;
    std::size_t diagLines = 0;  // diagnostic lines the window side handled
};

// Runs one plan. A request on `stopRequest` acts as the Stop button (Ctrl-C):
// it ends the loading of the inputs, the run, or a save's wait for another
// program's lock; during the run it wakes the runner at once. The runner takes
// each request as it acts on it, so that a stopped run is still saved. Each
// line goes out to `out` as it happens (flushed).
int RunHeadless(const CliOptions& options, std::ostream& out, std::ostream& err,
                StopRequest& stopRequest, HeadlessStats* stats = nullptr);

}  // namespace orvalt

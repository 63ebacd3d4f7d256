#pragma once
// Reading a test plan file: two header lines, then one test per non-empty line
// of comma-separated fields (label, P1..P4 in seconds or volts, P5 as a whole
// number, P6 as a count). Nothing here knows the window: the "Open" handler
// shows the error text or replaces its plan and list rows with what comes back.

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "config/TestPlan.h"

namespace orvalt {

// A plan as it was read. A plan that could not be read is the text for the
// operator instead, and the caller keeps the plan it had.
struct LoadedPlan {
    TestPlan plan;
    // One row of the test list per entry, rows[i] for the entry of index i:
    // "Test", "P1".."P6" filled, "Wait" and "Status" blank.
    std::vector<TestRowTexts> rows;
    // The fields that hold text but no number (read as 0, as always), told
    // once per load; empty when there are none.
    std::string warning;
    // The file's bytes, when it was read from a file and ok (a run's record
    // keeps them).
    std::string text;
};

constexpr const char* kCantOpenPlanText = "Can't open test parameters file";

// Reads and converts a whole plan file. A file that can't be opened gives
// kCantOpenPlanText with a second line naming the file and the system's
// reason; a read error, a control character (a picture or a program is no
// plan) or a value that does not fit its 32-bit field loads nothing. Only a
// regular file of at most 256 MB is read (a pipe would block, /dev/zero never
// end); `stop` becoming true ends a long read.
Result<LoadedPlan> LoadTestPlanFile(const std::filesystem::path& file,
                                    const std::atomic<bool>* stop = nullptr);

// The same conversion over the file's bytes.
Result<LoadedPlan> ParseTestPlan(std::string_view contents);

}  // namespace orvalt

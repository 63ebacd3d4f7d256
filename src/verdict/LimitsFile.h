#pragma once
// The limits file: comma-separated text, CR LF or LF line ends, the header
// line "measurement,min,max", then one measurement a line with its lower and
// upper bound, either of which may be empty. docs/limits.md describes it for
// test engineers. A file that is not exactly right loads nothing, and the
// error names the line at fault, so the caller keeps the limits it had.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace orvalt {

struct Limit {
    std::string name;  // as the catalogue spells it, whatever case the file used
    int decimals = 2;  // the measurement's shown decimals
    std::optional<double> min;
    std::optional<double> max;
    int line = 0;  // the file line it came from
};

struct Limits {
    std::vector<Limit> rows;  // in file order, one per measurement
};

// The error is "Line N: ..." for a line at fault, else why the file could not
// be read.
Result<Limits> ParseLimits(std::string_view contents);

// Reads and parses the file; a file of more than 1 MiB is refused.
Result<Limits> LoadLimitsFile(const std::filesystem::path& file);

// The limits with the exact bytes they were parsed from, which a run's record
// keeps as the proof of what judged it.
struct LimitsAndText {
    Limits limits;
    std::string text;
};
Result<LimitsAndText> ReadLimitsFile(const std::filesystem::path& file);

}  // namespace orvalt

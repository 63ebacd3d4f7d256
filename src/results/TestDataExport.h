#pragma once
// "Save Test Data": the test data file (unit header and log), its "_Sum"
// companion (the last log line) and the cumulative "totalsums.csv" beside them.

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "domain/UnitDescription.h"
#include "results/SummaryLines.h"

namespace orvalt {

// Manufacturer + "-" + Model + ".csv", each of <>:/\|?* in the two texts
// replaced by '_'.
std::string DefaultTestDataName(std::string_view manufacturer, std::string_view model);

// The default name inside `dataDirPath`; an empty `dataDirPath` means the
// user's home folder.
std::filesystem::path DefaultTestDataPath(const std::filesystem::path& dataDirPath,
                                          std::string_view manufacturer, std::string_view model);

// The companion files of a chosen test data file: base + "_Sum" + extension,
// and "totalsums.csv", both in its folder.
std::filesystem::path SumFilePath(const std::filesystem::path& chosen);
std::filesystem::path TotalsFilePath(const std::filesystem::path& chosen);

struct SaveResult {
    // One text per file that could not be written, naming the file.
    std::vector<std::string> errors;
    // Summary lines appended to the totals file (and dropped from SummaryLines).
    std::size_t totalsLinesWritten = 0;

    bool Ok() const { return errors.empty(); }
};

// Writes the three files for the chosen path. Each is checked first (see
// CheckOutputFile): one that can't be written leaves all three as they were.
// Then, if the test data file fails nothing else is written; a failed "_Sum"
// file does not stop the totals; the summary lines leave `summary` only once
// the totals file holds them. `stop`
// becoming true ends a wait for another program's lock on the totals file.
SaveResult SaveTestData(const std::filesystem::path& chosen, const UnitDescription& current,
                        const std::vector<std::string>& logLines, SummaryLines& summary,
                        const std::atomic<bool>* stop = nullptr);

}  // namespace orvalt

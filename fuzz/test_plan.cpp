// The plan file reader over any bytes: it loads a consistent plan or loads
// nothing and says which line is at fault.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "config/TestPlanFile.h"

namespace orvalt {
namespace {

// The test lines that hold anything, counted apart from the reader: the two
// header lines skipped, LF or CR LF ending a line, a last line without an end
// counted too.
std::size_t CountTestLines(std::string_view contents) {
    std::size_t lineNumber = 0;
    std::size_t tests = 0;
    while (!contents.empty()) {
        const std::size_t newline = contents.find('\n');
        std::string_view line = contents.substr(0, newline);
        const bool ended = newline != std::string_view::npos;
        contents.remove_prefix(ended ? newline + 1 : contents.size());
        if (ended && line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (++lineNumber > 2 && !line.empty()) {
            ++tests;
        }
    }
    return tests;
}

bool IsControlCharacter(char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n';
}

void CheckLoaded(const LoadedPlan& result, std::string_view contents) {
    Require(std::none_of(contents.begin(), contents.end(), IsControlCharacter),
            "a plan holding a control character is refused");
    Require(result.rows.size() == result.plan.entries.size(), "one row per entry");
    Require(result.plan.entries.size() == CountTestLines(contents), "one entry per test line");
    long previousLine = 0;
    for (std::size_t i = 0; i < result.rows.size(); ++i) {
        const TestRowTexts& row = result.rows[i];
        Require(result.plan.entries[i].index == static_cast<std::int32_t>(i), "index is the row");
        const long line = std::stol(row[0]);
        Require(line > previousLine, "rows name their test lines in file order");
        previousLine = line;
        Require(row[5].empty() == row[6].empty(), "P5 and P6 show together or not at all");
        Require(row[7].empty() && row[8].empty(), "Wait and Status start blank");
    }
}

void CheckRefused(const std::string& error) {
    Require(error.starts_with("Line "), "a refused plan names its line");
}

}  // namespace
}  // namespace orvalt

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view contents = orvalt::BytesOf(data, size);
    const orvalt::Result<orvalt::LoadedPlan> result = orvalt::ParseTestPlan(contents);
    if (result) {
        orvalt::CheckLoaded(*result, contents);
    } else {
        orvalt::CheckRefused(result.Error());
    }
    return 0;
}

#pragma once
// A recorded run's report written to a file: the run named, or the one that
// ended last.

#include <filesystem>
#include <string>
#include <string_view>

#include "base/Result.h"
#include "records/SqlConnection.h"

namespace orvalt {

// The last run's report asked for while every recorded run still goes on.
inline constexpr std::string_view kNoRunEnded = "No recorded run has ended yet.";

// The page of the run with `uuid` (empty: the run that ended last), or why
// there is none.
Result<std::string> RunReportPage(SqlConnection& connection, std::string uuid);

// `uuid` empty: the run that ended last.
Result<void> WriteRunReportFile(SqlConnection& connection, std::string uuid,
                                const std::filesystem::path& out);

}  // namespace orvalt

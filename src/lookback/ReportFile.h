#pragma once
// A recorded run's report written to a file: the run named, or the one that
// started last.

#include <filesystem>
#include <string>

#include "base/Result.h"
#include "records/SqlConnection.h"

namespace orvalt {

// The page of the run with `uuid` (empty: the run that started last), or why
// there is none.
Result<std::string> RunReportPage(SqlConnection& connection, std::string uuid);

// `uuid` empty: the run that started last.
Result<void> WriteRunReportFile(SqlConnection& connection, std::string uuid,
                                const std::filesystem::path& out);

}  // namespace orvalt

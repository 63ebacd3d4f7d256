#pragma once
// A recorded run's report written to a file: the run named, or the one that
// started last.

#include <filesystem>
#include <string>

#include "records/SqlConnection.h"

namespace orvalt {

struct ReportFileResult {
    bool ok = false;
    std::string message;  // why, when not ok
};

// `uuid` empty: the run that started last.
ReportFileResult WriteRunReportFile(SqlConnection& connection, std::string uuid,
                                    const std::filesystem::path& out);

}  // namespace orvalt

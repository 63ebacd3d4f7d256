#pragma once
// A recorded run's report written to a file: the run named, or the one that
// ended last, its traces compared with a passed unit's when one is asked for.

#include <filesystem>
#include <string>
#include <string_view>

#include "base/Result.h"
#include "records/SqlConnection.h"

namespace orvalt {

// The last run's report asked for while every recorded run still goes on.
inline constexpr std::string_view kNoRunEnded = "No recorded run has ended yet.";

// The passed unit drawn beneath the report's traces: none, the run of a UUID
// (which must have passed, on the same model), or the newest passed run of
// the model on the same plan, when there is one.
struct ReportReference {
    enum class Pick { None, Run, NewestPassed };
    Pick pick = Pick::None;
    std::string uuid;  // Pick::Run
};

// The page of the run with `uuid` (empty: the run that ended last), or why
// there is none.
Result<std::string> RunReportPage(SqlConnection& connection, std::string uuid,
                                  const ReportReference& reference = {});

// `uuid` empty: the run that ended last.
Result<void> WriteRunReportFile(SqlConnection& connection, std::string uuid,
                                const std::filesystem::path& out);

}  // namespace orvalt

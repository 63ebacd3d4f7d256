#pragma once
// Recorded runs exported for other tools: one JSON document that holds all a
// record can prove about each run (docs/export.schema.json describes it), or
// JUnit XML, which CI servers and test-result viewers read.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "base/Result.h"
#include "reading/RunLoad.h"
#include "records/SqlConnection.h"

namespace orvalt {

enum class ExportFormat { Json, Junit };

struct ExportChoice {
    ExportFormat format = ExportFormat::Json;
    bool trace = false;  // JSON only: each test's readings, switches and diagnostic lines
};

// The document's pieces, so that runs are written one at a time as they are
// loaded: a long --since export never holds more than one run in memory.
std::string ExportOpening(const ExportChoice& choice);
// `first`: no run went before it in the document.
std::string ExportedRun(const LoadedRun& run, const ExportChoice& choice, bool first);
std::string ExportClosing(const ExportChoice& choice);

// The runs' JSON object, as the document holds it in "runs" (pretty-printed
// apart, for the tests and for one run alone).
std::string RunJson(const LoadedRun& run, bool trace);

// The run as one <testsuite> element.
std::string RunJunitSuite(const LoadedRun& run);

// Loads the runs one by one and writes the document to `out`; fails at the
// first run that can't be loaded or is not recorded.
Result<void> ExportRuns(SqlConnection& connection, const std::vector<std::string>& uuids,
                        const ExportChoice& choice, std::ostream& out);

}  // namespace orvalt

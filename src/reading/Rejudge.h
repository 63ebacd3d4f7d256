#pragma once
// Judging stored runs again: each completed test from its stored measurements
// against the run's stored limits text, as the station judged it, compared
// with what the record says: the test's verdict and reasons, each
// measurement's bounds and outcome, and the unit's verdict. A record that
// proves its verdict has no disagreement.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "reading/RunFilter.h"
#include "domain/TestVerdict.h"
#include "reading/RunLoad.h"
#include "records/SqlConnection.h"
#include "verdict/LimitsFile.h"

namespace orvalt {

// How one run came out of judging it again.
enum class Rejudged {
    Judged,     // its limits were judged again; `lines` are its disagreements
    NotJudged,  // recorded without limits: nothing to judge
    CantJudge,  // its limits or its plan no longer read; `lines` say why
};

struct RunRejudged {
    Rejudged outcome = Rejudged::NotJudged;
    // One line each, naming the run, the test and what differs:
    // "run 3f2a...: test 2: V4: outcome stored PASS, judged FAIL".
    std::vector<std::string> lines;
};

RunRejudged RejudgeRun(const LoadedRun& run);

// A stored test judged by `limits` from its stored figures, each compared
// with the decimals the station showed it with; a test not completed, or with
// a figure stored as no number, is an error.
TestVerdict JudgeStoredTest(const LoadedTest& test, const Limits& limits);

// Which runs to judge again: one, or those the filter lets through.
struct RejudgeScope {
    std::optional<std::string> run;
    RunFilter filter;
};

struct RejudgeTally {
    std::int64_t runs = 0, judged = 0, notJudged = 0, cantJudge = 0, disagreements = 0;
    // None disagrees and every judged run could be judged again.
    bool Agreed() const { return disagreements == 0 && cantJudge == 0; }
};

// Judges the runs of `scope` again in the order they started, one at a time
// (a database of any size is judged in the memory of one run), and hands
// each line to `say` as it is found. Fails when the database can't be read,
// or a run named does not exist.
Result<RejudgeTally> RejudgeRuns(SqlConnection& connection, const RejudgeScope& scope,
                                 const std::function<void(const std::string&)>& say);

// "Rejudged 12 runs: 10 judged, 2 not judged, 0 that can't be judged again,
// 0 disagreements."
std::string RejudgeSummary(const RejudgeTally& tally);

}  // namespace orvalt

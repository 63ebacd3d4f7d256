#include "DashboardRuns.h"

#include <gtest/gtest.h>

#include "platform/UtcTime.h"
#include "recording/EventRows.h"
#include "recording/RecordStore.h"
#include "support/RecordsKit.h"
#include "support/StoredWords.h"

namespace orvalt::test {

void AddRun(SqlConnection& db, const RunPlan& plan) {
    const std::string startedAt = UtcIsoTime(std::chrono::system_clock::now() - plan.ago);
    RunStart run = SampleRun(plan.model, plan.serial);
    run.uuid = plan.uuid;
    run.startedAt = startedAt;
    run.host = plan.host;
    run.fixture = plan.fixture;
    std::vector<RowWrite> rows;
    RunTally tally;
    for (int i = 0; i < 2; ++i) {
        TestFinish finish{RecordEnd::Completed,
                          "",
                          {},
                          Verdict{StoredVerdict::Read(plan.verdict), ""},
                          startedAt};
        AppendEventRows(TestEnded{plan.uuid, SampleTest(i), finish}, rows);
        ++tally.begun;
        CountTestEnd(tally, finish);
    }
    if (plan.ended) {
        AppendEventRows(
            RunEnded{
                run, {RecordEnd::Completed, "", startedAt, VerdictWritten(plan.verdict)}, tally},
            rows);
    } else {
        AppendEventRows(RunTallied{run, tally}, rows);
    }
    const Result<void, WriteFailure> written = WriteRows(db, rows);
    if (!written.Ok()) {
        ADD_FAILURE() << "run " << plan.uuid << " not written: " << written.Error().why;
    }
}

}  // namespace orvalt::test

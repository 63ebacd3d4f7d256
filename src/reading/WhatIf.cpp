#include "reading/WhatIf.h"

#include <map>
#include <utility>

#include "config/TestPlanFile.h"
#include "domain/PrintableText.h"
#include "domain/VerdictWord.h"
#include "reading/History.h"
#include "reading/RunLoad.h"
#include "verdict/RunVerdicts.h"

namespace orvalt {

namespace {

using ShiftKey = std::pair<int, std::string>;

MeasurementOutcome OutcomeUnder(const TestVerdict& verdict, const std::string& name) {
    for (const MeasurementCheck& check : verdict.checks) {
        if (check.name == name) {
            return check.passed ? MeasurementOutcome::Pass : MeasurementOutcome::Fail;
        }
    }
    return MeasurementOutcome::NotJudged;
}

void CountShift(MeasurementOutcome before, MeasurementOutcome after, MeasurementShift& shift) {
    using enum MeasurementOutcome;
    shift.passToFail += before == Pass && after == Fail;
    shift.failToPass += before == Fail && after == Pass;
    shift.nowJudged += before == NotJudged && after != NotJudged;
    shift.noLongerJudged += before != NotJudged && after == NotJudged;
}

class WhatIfCounter {
  public:
    explicit WhatIfCounter(const Limits& limits) : limits_(limits) {}

    void Add(const LoadedRun& run) {
        ++result_.runs;
        const Result<LoadedPlan> plan = ParseTestPlan(run.start.planText);
        if (!plan) {
            ++result_.cantJudge;
            return;
        }
        RunVerdicts verdicts;
        verdicts.Start(plan->plan.entries.size());
        for (const LoadedTest& test : run.tests) {
            TestVerdict verdict = JudgeStoredTest(test, limits_);
            CountShifts(test, verdict);
            verdicts.Add(std::move(verdict));
        }
        const std::string before = run.unitVerdict ? run.unitVerdict->Word() : "none";
        const VerdictKind after = verdicts.Unit();
        result_.passedBefore += run.unitVerdict && run.unitVerdict->Kind() == VerdictKind::Pass;
        result_.passedAfter += after == VerdictKind::Pass;
        if (before != VerdictKindWord(after)) {
            result_.changed.push_back({run.start.uuid, run.start.startedAt, run.start.unit.model,
                                       run.start.unit.serial, run.attempt, before, after,
                                       verdicts.Reasons()});
        }
    }

    WhatIf Finish() && {
        for (auto& [key, shift] : shifts_) {
            if (shift.passToFail + shift.failToPass + shift.nowJudged + shift.noLongerJudged > 0) {
                result_.shifts.push_back(std::move(shift));
            }
        }
        return std::move(result_);
    }

  private:
    void CountShifts(const LoadedTest& test, const TestVerdict& verdict) {
        for (const MeasurementRecord& stored : test.measurements) {
            MeasurementShift& shift = shifts_[{test.start.index, stored.figure.name}];
            shift.testIndex = test.start.index;
            shift.measurement = stored.figure.name;
            CountShift(stored.outcome, OutcomeUnder(verdict, stored.figure.name), shift);
        }
    }

    const Limits& limits_;
    WhatIf result_;
    std::map<ShiftKey, MeasurementShift> shifts_;
};

}  // namespace

Result<WhatIf> JudgeUnderLimits(SqlConnection& connection, const RejudgeScope& scope,
                                const Limits& limits) {
    const Result<std::vector<std::string>> uuids =
        scope.run ? Result<std::vector<std::string>>(std::vector{*scope.run})
                  : FilteredRunUuids(connection, scope.filter);
    if (!uuids) {
        return Fail(uuids.Error());
    }
    WhatIfCounter counter(limits);
    for (const std::string& uuid : *uuids) {
        const Result<std::optional<LoadedRun>> run =
            LoadRun(connection, uuid, RunParts::WithoutTrace);
        if (!run) {
            return Fail(run.Error());
        }
        if (!*run) {
            return Fail(std::string("No run ") + PrintableText(uuid) + " is recorded.");
        }
        if (!(*run)->endedAt.empty()) {
            counter.Add(**run);
        }
    }
    return std::move(counter).Finish();
}

}  // namespace orvalt

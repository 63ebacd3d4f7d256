#include "reading/Rejudge.h"

#include <charconv>

#include "config/TestPlanFile.h"
#include "domain/Joined.h"
#include "domain/PrintableText.h"
#include "domain/VerdictWord.h"
#include "records/Sha256.h"
#include "verdict/LimitsFile.h"
#include "verdict/RunVerdicts.h"
#include "verdict/Verdict.h"

namespace orvalt {

namespace {

// Runs are listed a page at a time, so that no statement stays open while a
// run is loaded on the same connection.
constexpr std::int64_t kRunsPerPage = 256;

// The runs after ($2, $3) in start order, on or after the day $1 when given.
// The page of runs after ($1, $2), then the filter's conditions ($4 on).
std::string RunPageSql(const RunFilter& filter, std::vector<SqlValue>& params) {
    return "SELECT r.run_uuid, r.started_at FROM runs r"
           " WHERE (r.started_at > $1 OR (r.started_at = $1 AND r.run_uuid > $2))" +
           RunFilterSql(filter, params) + " ORDER BY r.started_at, r.run_uuid LIMIT $3";
}

// A bound as the record keeps it, exactly: the shortest text that reads back
// as the same number.
std::string NumberText(const std::optional<double>& value) {
    if (!value) {
        return "none";
    }
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, *value);
    return std::string(text, written.ptr);
}

std::string Quoted(const std::string& text) {
    return '"' + PrintableText(text, kMessageShownMax) + '"';
}

// A verdict as one text: its word, then its reasons.
std::string VerdictText(const std::string& word, const std::string& reasons) {
    return Quoted(reasons.empty() ? word : word + " " + reasons);
}

std::string TestNumberText(const LoadedTest& test) {
    return "test " + std::to_string(test.start.index + 1) + ": ";
}

// The lines of one run, each beginning with the run.
class RunLines {
  public:
    RunLines(const LoadedRun& run, std::vector<std::string>& lines)
        : lead_("run " + PrintableText(run.start.uuid) + ": "), lines_(lines) {}

    void Say(const std::string& what) { lines_.push_back(lead_ + what); }

    // "WHERE WHAT stored S, judged J" when the two differ.
    void Compare(const std::string& where, const char* what, const std::string& stored,
                 const std::string& judged) {
        if (stored != judged) {
            Say(std::string(where)
                    .append(what)
                    .append(" stored ")
                    .append(stored)
                    .append(", judged ")
                    .append(judged));
        }
    }

  private:
    std::string lead_;
    std::vector<std::string>& lines_;
};

// The limits as they apply to these figures: each compared with the decimals
// the station showed the figure with when it judged it, kept with the figure,
// so that a record is judged again as it was judged whatever a later station
// shows.
Limits LimitsAsShown(const Limits& limits, const std::vector<NamedMeasurement>& figures) {
    Limits shown = limits;
    for (Limit& limit : shown.rows) {
        if (const NamedMeasurement* figure = FindNamed(figures, limit.name)) {
            limit.decimals = figure->decimals;
        }
    }
    return shown;
}

const MeasurementCheck* CheckOf(const TestVerdict& verdict, const std::string& name) {
    for (const MeasurementCheck& check : verdict.checks) {
        if (check.name == name) {
            return &check;
        }
    }
    return nullptr;
}

void CompareMeasurements(const LoadedTest& test, const TestVerdict& verdict, RunLines& lines) {
    for (const MeasurementRecord& stored : test.measurements) {
        const MeasurementCheck* check = CheckOf(verdict, stored.figure.name);
        const std::string where = TestNumberText(test) + PrintableText(stored.figure.name) + ": ";
        const MeasurementOutcome judged = !check          ? MeasurementOutcome::NotJudged
                                          : check->passed ? MeasurementOutcome::Pass
                                                          : MeasurementOutcome::Fail;
        lines.Compare(where, "outcome", MeasurementOutcomeWord(stored.outcome),
                      MeasurementOutcomeWord(judged));
        lines.Compare(where, "min", NumberText(stored.min),
                      NumberText(check ? check->min : std::nullopt));
        lines.Compare(where, "max", NumberText(stored.max),
                      NumberText(check ? check->max : std::nullopt));
    }
}

// A measurement stored as no number is never read as one (NULL or "abc" as
// 0, which a limit may let through): the test can't be judged, and its
// verdict stands for nothing.
bool SayValuesNotNumbers(const LoadedTest& test, RunLines& lines) {
    for (const auto& [name, stored] : test.valuesNotNumbers) {
        lines.Say(TestNumberText(test) + PrintableText(name) + ": value stored " +
                  (stored ? Quoted(*stored) : std::string("NULL")) + ", which can't be judged");
    }
    return !test.valuesNotNumbers.empty();
}

// A completed test judged again and compared; one that was not completed is
// the error the station gave it.
TestVerdict JudgeTestAgain(const LoadedTest& test, const Limits& limits, RunLines& lines) {
    TestVerdict verdict = JudgeStoredTest(test, limits);
    if (test.endedHow != RecordEndWord(RecordEnd::Completed) || SayValuesNotNumbers(test, lines)) {
        return verdict;
    }
    const std::string stored =
        test.verdict ? VerdictText(test.verdict->outcome.Word(), test.verdict->reasons) : "none";
    lines.Compare(TestNumberText(test), "verdict", stored,
                  VerdictText(VerdictKindWord(verdict.kind), Joined(verdict.reasons)));
    CompareMeasurements(test, verdict, lines);
    return verdict;
}

// A text that judged the run still hashes to what was kept beside it.
void CompareHash(const char* what, const std::string& text, const std::string& kept,
                 RunLines& lines) {
    if (const std::string hash = Sha256Hex(text); hash != kept) {
        lines.Say(std::string("its ")
                      .append(what)
                      .append(" text has the SHA-256 ")
                      .append(hash)
                      .append(", not the stored ")
                      .append(PrintableText(kept)));
    }
}

}  // namespace

TestVerdict JudgeStoredTest(const LoadedTest& test, const Limits& limits) {
    const int number = test.start.index + 1;
    if (test.endedHow != RecordEndWord(RecordEnd::Completed)) {
        return ErrorVerdict(number, test.endedHow);
    }
    if (!test.valuesNotNumbers.empty()) {
        return ErrorVerdict(number, "a measurement can't be judged");
    }
    const std::vector<NamedMeasurement> figures = FiguresOf(test);
    return JudgeTest(number, figures, LimitsAsShown(limits, figures));
}

RunRejudged RejudgeRun(const LoadedRun& run) {
    RunRejudged rejudged;
    if (run.start.limitsText.empty()) {
        return rejudged;
    }
    RunLines lines(run, rejudged.lines);
    const Result<Limits> limits = ParseLimits(run.start.limitsText);
    if (!limits) {
        rejudged.outcome = Rejudged::CantJudge;
        lines.Say("its limits " + Quoted(run.start.limitsName) +
                  " no longer read: " + PrintableText(limits.Error(), kMessageShownMax));
        return rejudged;
    }
    const bool ended = !run.endedAt.empty();
    const Result<LoadedPlan> plan = ParseTestPlan(run.start.planText);
    if (ended && !plan) {
        rejudged.outcome = Rejudged::CantJudge;
        lines.Say("its plan " + Quoted(run.start.planName) +
                  " no longer reads, so its planned tests are unknown: " +
                  PrintableText(plan.Error(), kMessageShownMax));
        return rejudged;
    }
    rejudged.outcome = Rejudged::Judged;
    CompareHash("limits", run.start.limitsText, run.start.limitsSha256, lines);
    CompareHash("plan", run.start.planText, run.start.planSha256, lines);
    RunVerdicts verdicts;
    verdicts.Start(plan ? plan->plan.entries.size() : 0);
    for (const LoadedTest& test : run.tests) {
        verdicts.Add(JudgeTestAgain(test, *limits, lines));
    }
    if (ended) {
        lines.Compare("", "unit verdict",
                      run.unitVerdict ? PrintableText(run.unitVerdict->Word()) : "none",
                      VerdictKindWord(verdicts.Unit()));
    }
    return rejudged;
}

namespace {

void Count(const RunRejudged& rejudged, RejudgeTally& tally,
           const std::function<void(const std::string&)>& say) {
    ++tally.runs;
    switch (rejudged.outcome) {
        case Rejudged::Judged:
            ++tally.judged;
            tally.disagreements += static_cast<std::int64_t>(rejudged.lines.size());
            break;
        case Rejudged::NotJudged:
            ++tally.notJudged;
            break;
        case Rejudged::CantJudge:
            ++tally.cantJudge;
            break;
    }
    for (const std::string& line : rejudged.lines) {
        say(line);
    }
}

Result<void> RejudgeOne(SqlConnection& db, const std::string& uuid, RejudgeTally& tally,
                        const std::function<void(const std::string&)>& say) {
    const Result<std::optional<LoadedRun>> loaded = LoadRun(db, uuid, RunParts::WithoutTrace);
    if (!loaded) {
        return Fail(loaded.Error());
    }
    if (!*loaded) {
        return Fail("No run " + PrintableText(uuid) + " is recorded.");
    }
    Count(RejudgeRun(**loaded), tally, say);
    return {};
}

}  // namespace

Result<RejudgeTally> RejudgeRuns(SqlConnection& db, const RejudgeScope& scope,
                                 const std::function<void(const std::string&)>& say) {
    RejudgeTally tally;
    if (scope.run) {
        const Result<void> judged = RejudgeOne(db, *scope.run, tally, say);
        return judged ? Result<RejudgeTally>(tally) : Fail(judged.Error());
    }
    std::vector<SqlValue> params{std::string(), std::string(), kRunsPerPage};
    const std::string sql = RunPageSql(scope.filter, params);
    // Each page begins after the last run of the one before, so the pages end.
    for (bool more = true; more;) {
        const Result<SqlRows> page = db.Run(sql, params);
        if (!page) {
            return Fail(page.Error());
        }
        for (const SqlRow& row : *page) {
            params[1] = CellText(row[0]);
            params[0] = CellText(row[1]);
            if (const Result<void> judged = RejudgeOne(db, CellText(row[0]), tally, say); !judged) {
                return Fail(judged.Error());
            }
        }
        more = static_cast<std::int64_t>(page->size()) == kRunsPerPage;
    }
    return tally;
}

std::string RejudgeSummary(const RejudgeTally& tally) {
    const auto count = [](std::int64_t n) { return std::to_string(n); };
    return std::string("Rejudged ")
        .append(count(tally.runs))
        .append(tally.runs == 1 ? " run: " : " runs: ")
        .append(count(tally.judged))
        .append(" judged, ")
        .append(count(tally.notJudged))
        .append(" not judged, ")
        .append(count(tally.cantJudge))
        .append(" that can't be judged again, ")
        .append(count(tally.disagreements))
        .append(tally.disagreements == 1 ? " disagreement." : " disagreements.");
}

}  // namespace orvalt

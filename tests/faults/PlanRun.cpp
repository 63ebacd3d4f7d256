#include "faults/PlanRun.h"

#include <algorithm>
#include <thread>

#include "support/HoldWhileRunning.h"
#include "support/TempFolder.h"

namespace orvalt::test {

namespace {

using namespace std::chrono_literals;

std::string Listed(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += "\n  " + line;
    }
    return text.empty() ? " (none)" : text;
}

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

const LoadedPlan& ExamplePlan() {
    static const LoadedPlan plan =
        LoadTestPlanFile(std::filesystem::path(ORVALT_SOURCE_DIR) / "examples" / "TestCfg.csv")
            .Value();
    return plan;
}

LoadedPlan FirstTestsOf(const LoadedPlan& plan, std::size_t tests) {
    LoadedPlan cut = plan;
    cut.plan.entries.resize(std::min(tests, cut.plan.entries.size()));
    cut.rows.resize(cut.plan.entries.size());
    return cut;
}

UnitDescription FaultRunUnit() {
    return UnitDescription{"Acme", "X100", "Linear", "40W", "4ft", "DrvCo", "D-200"};
}

PlanRun::PlanRun(const LoadedPlan& plan, const UnitProfile& unit)
    : plan_(plan), session_(Options(unit)) {
    SessionFront front;
    front.runHooks = RunControlHooks{[] { return true; }, [](const std::string&) {}};
    front.posted = [this](const PostedMessage& m) { Posted(m); };
    session_.Attach(std::move(front));
    session_.Observers().Attach(summary_);
    session_.HearSimulatedDiagLines();
    session_.UsePlan(plan_.plan, plan_.rows);
    DialogValues values = session_.Model().values;
    values.description = FaultRunUnit();
    session_.SetDialogValues(values);
}

SessionOptions PlanRun::Options(const UnitProfile& unit) {
    SessionOptions options{StationOptions{true, true, unit, tap_.Wrap()}, {}};
    options.watchRunFlag = [this](const RunFlag& flag) { runFlag_ = &flag; };
    return options;
}

PlanRun::~PlanRun() {
    session_.Stop();
    session_.CloseDiagnostics();
    session_.Observers().Detach(summary_);
}

// On the poster's thread, the message already queued.
void PlanRun::Posted(const PostedMessage& message) {
    if (!holdPosterUntilStop || !holdPosterUntilStop(message)) {
        return;
    }
    HoldWhileRunning(*runFlag_);
}

void PlanRun::Seen(const PostedMessage& message) {
    if (beforeHandling) {
        beforeHandling(message);
    }
    if (std::holds_alternative<RunDoneMessage>(message)) {
        ++runDoneCount;
    } else if (std::holds_alternative<DiagLineMessage>(message)) {
        ++diagLines;
    } else if (const auto* error = std::get_if<LinkErrorMessage>(&message)) {
        diagErrors.push_back(error->text);
    }
}

bool PlanRun::PumpUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        session_.HandleNext(5ms, [this](const PostedMessage& m) { Seen(m); });
    }
    return true;
}

// Over once no thread of the run is left and a wait for a post finds none.
bool PlanRun::StartAndRun(std::chrono::seconds limit) {
    if (!session_.Start().Started()) {
        return false;
    }
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() <= end) {
        if (!session_.HandleNext(5ms, [this](const PostedMessage& m) { Seen(m); }) &&
            !session_.Status().threadsGoing) {
            return true;
        }
    }
    return false;
}

::testing::AssertionResult EndedWith(PlanRun& run, const std::vector<std::string>& expected) {
    const WindowModel& model = run.Model();
    const RunControlsState& controls = model.Controls();
    if (controls.startStop != StartStop::Start) {
        return ::testing::AssertionFailure() << "Start/Stop still stops";
    }
    if (!controls.startStopEnabled || !controls.planAndOptionsEnabled) {
        return ::testing::AssertionFailure() << "a control is still disabled";
    }
    const std::vector<std::string> summary = run.Summary();
    if (summary != expected) {
        return ::testing::AssertionFailure()
               << "summary lines" << Listed(summary) << "\nexpected" << Listed(expected);
    }
    if (const std::size_t kept = run.Session().Status().completedTests; kept != expected.size()) {
        return ::testing::AssertionFailure() << "the summary table holds " << kept << " lines";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SavesTotals(PlanRun& run, const std::filesystem::path& folder,
                                       const std::vector<std::string>& expected) {
    std::filesystem::remove(folder / "totalsums.csv");
    if (run.Summary() != expected) {
        return ::testing::AssertionFailure() << "summary lines" << Listed(run.Summary());
    }
    // The unit's texts need no quotes: a totals line is its summary line with
    // no blank before the manufacturer.
    const std::string manufacturer = ", " + FaultRunUnit().manufacturer + ", ";
    std::string totals;
    for (std::string line : expected) {
        line.erase(line.find(manufacturer) + 1, 1);
        totals += line + "\r\n";
    }
    const SaveResult saved = run.Session().SaveTestData(folder / "run.csv");
    if (!saved.Ok()) {
        return ::testing::AssertionFailure() << saved.errors.front();
    }
    const std::string written = ReadBytes(folder / "totalsums.csv");
    if (written != totals) {
        return ::testing::AssertionFailure() << "totalsums.csv holds\n"
                                             << written << "expected\n"
                                             << totals;
    }
    if (run.Session().Status().completedTests != 0) {
        return ::testing::AssertionFailure() << "the saved summary lines were kept";
    }
    return ::testing::AssertionSuccess();
}

bool IsVerdictLine(const std::string& line) {
    const bool cycleVerdict = StartsWith(line, "TEST ") && line.find(", CT, ") != line.npos;
    return cycleVerdict || StartsWith(line, "NOT cycling (") || StartsWith(line, "Pass, ") ||
           StartsWith(line, "Fail, ");
}

std::size_t VerdictsLogged(const WindowModel& model) {
    const auto& log = model.LogLines();
    return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), IsVerdictLine));
}

}  // namespace orvalt::test

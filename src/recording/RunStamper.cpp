#include "recording/RunStamper.h"

namespace orvalt {

namespace {

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
// Clang before 17 deduces no aggregate's template arguments on its own.
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

}  // namespace

void RunStamper::Take(Handed&& handed, StampedEvents& out) {
    std::visit(
        Overloaded{
            [](std::monostate) {},
            [&](SwitchHanded& change) {
                if (run_) {
                    out.Add(LineSwitched{NextStamp(), {change.ms, change.line, change.on}});
                }
            },
            [&](ReadingHanded& reading) {
                if (run_) {
                    out.Add(ReadingTaken{NextStamp(),
                                         {reading.ms, reading.volts, std::move(reading.status)}});
                }
            },
            [&](DiagHanded& line) {
                if (run_) {
                    out.Add(DiagLineSeen{NextStamp(), {line.ms, std::move(line.raw), line.fields}});
                }
            },
            [&](std::unique_ptr<MilestoneHanded>& milestone) {
                Milestone(std::move(*milestone), out);
            },
        },
        handed);
}

void RunStamper::Milestone(MilestoneHanded&& milestone, StampedEvents& out) {
    std::visit(Overloaded{
                   [&](RunBeginHanded& begin) { BeginRun(std::move(begin), out); },
                   [&](TestBeginHanded& begin) { BeginTest(std::move(begin.test), out); },
                   [&](TestEndHanded& end) { EndTest(std::move(end.finish), out); },
                   [&](RunEndHanded& end) { EndRun(std::move(end.finish), out); },
                   // An alarm comes after its run has ended, maybe during the
                   // next: it is stamped with its own run, not the current one.
                   [&](AlarmHanded& raised) {
                       out.Add(AlarmRaised{std::move(raised.runUuid), std::move(raised.alarm)});
                   },
               },
               milestone);
}

void RunStamper::BeginRun(RunBeginHanded&& begin, StampedEvents& out) {
    EndRun({RecordEnd::Abandoned,
            "a new run began before this one ended",
            std::move(begin.abandonAt),
            {}},
           out);
    run_ = begin.run;
    tally_ = {};
    nextSeq_ = 0;
    out.Add(RunBegan{std::move(begin.run)});
}

void RunStamper::BeginTest(TestRecordStart&& test, StampedEvents& out) {
    if (!run_) {
        return;
    }
    test_ = test;
    out.Add(TestBegan{run_->uuid, std::move(test)});
    ++tally_.begun;
    out.AddTally({*run_, tally_});
}

void RunStamper::EndTest(TestFinish&& finish, StampedEvents& out) {
    if (!run_ || !test_) {
        return;
    }
    CountTestEnd(tally_, finish);
    out.Add(TestEnded{run_->uuid, std::move(*test_), std::move(finish)});
    test_.reset();
    out.AddTally({*run_, tally_});
}

void RunStamper::EndRun(RunFinish&& finish, StampedEvents& out) {
    if (!run_) {
        return;
    }
    if (test_) {
        TestFinish abandoned{RecordEnd::Abandoned, {}, {}, std::nullopt, finish.endedAt};
        out.Add(TestEnded{run_->uuid, std::move(*test_), std::move(abandoned)});
        test_.reset();
    }
    out.Add(RunEnded{std::move(*run_), std::move(finish), tally_});
    run_.reset();
}

TraceStamp RunStamper::NextStamp() {
    return {run_->uuid, nextSeq_++, test_ ? std::optional<int>(test_->index) : std::nullopt};
}

}  // namespace orvalt

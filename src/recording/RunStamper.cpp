#include "recording/RunStamper.h"

#include "domain/Daq.h"

namespace orvalt {

namespace {

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

}  // namespace

void RunStamper::Take(Handed&& handed, StampedEvents& out) {
    std::visit(
        Overloaded{
            [](std::monostate) {},
            [&](SwitchHanded& change) {
                if (run_) {
                    Trace(LineSwitched{NextStamp(), {0, change.line, change.on}}, change.tick,
                          change.line == kPowerLine, out);
                }
            },
            [&](ReadingHanded& reading) {
                if (run_) {
                    Trace(ReadingTaken{NextStamp(), {0, reading.volts, std::move(reading.status)}},
                          reading.tick, false, out);
                }
            },
            [&](DiagHanded& line) {
                if (run_) {
                    Trace(DiagLineSeen{NextStamp(), {0, std::move(line.raw), line.fields}},
                          line.tick, false, out);
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
               },
               milestone);
}

void RunStamper::BeginRun(RunBeginHanded&& begin, StampedEvents& out) {
    EndRun(
        {RecordEnd::Abandoned, "a new run began before this one ended", std::move(begin.abandonAt)},
        out);
    run_ = begin.run;
    tally_ = {};
    times_.RunBegan();
    nextSeq_ = 0;
    out.Add(RunBegan{std::move(begin.run)});
}

void RunStamper::BeginTest(TestRecordStart&& test, StampedEvents& out) {
    if (!run_) {
        return;
    }
    times_.Release(out);
    test_ = test;
    times_.TestBegan();
    out.Add(TestBegan{run_->uuid, std::move(test)});
    ++tally_.begun;
    out.AddTally({*run_, tally_});
}

void RunStamper::EndTest(TestFinish&& finish, StampedEvents& out) {
    if (!run_ || !test_) {
        return;
    }
    times_.Release(out);
    CountTestEnd(tally_, finish);
    out.Add(TestEnded{run_->uuid, std::move(*test_), std::move(finish)});
    test_.reset();
    out.AddTally({*run_, tally_});
}

void RunStamper::EndRun(RunFinish&& finish, StampedEvents& out) {
    if (!run_) {
        return;
    }
    times_.Release(out);
    if (test_) {
        TestFinish abandoned{RecordEnd::Abandoned, {}, {}, std::nullopt, finish.endedAt};
        out.Add(TestEnded{run_->uuid, std::move(*test_), std::move(abandoned)});
        test_.reset();
    }
    out.Add(RunEnded{std::move(*run_), std::move(finish), tally_});
    run_.reset();
}

void RunStamper::Trace(RecordEvent event, std::uint32_t tick, bool powerSwitch,
                       StampedEvents& out) {
    times_.Time(std::move(event), tick, test_.has_value(), powerSwitch, out);
}

TraceStamp RunStamper::NextStamp() {
    return {run_->uuid, nextSeq_++, test_ ? std::optional<int>(test_->index) : std::nullopt};
}

}  // namespace orvalt

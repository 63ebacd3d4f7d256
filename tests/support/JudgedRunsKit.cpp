#include "support/JudgedRunsKit.h"

#include <chrono>
#include <vector>

#include "domain/Joined.h"
#include "domain/MeasurementNames.h"
#include "platform/UtcTime.h"
#include "records/Sha256.h"
#include "verdict/LimitsFile.h"
#include "verdict/RunVerdicts.h"
#include "verdict/Verdict.h"

namespace orvalt::test {

const char* const kJudgedPlanText =
    "Judged runs: two cycle tests and an on/off repetition test\r\n"
    "Label,T1 on (s),T2 off (s),T3 on (s),T4 off (s),Time-to-OFF option or upper bound "
    "(mV),Repetitions\r\n"
    "Cycle 1 @ Level 3,1.5,2,0.25,3,2\r\n"
    "Cycle 2 @ Level 4,1.5,2,0.25,3,7\r\n"
    "On/off 2.0-5.0 V x3,0,5,5,2.0,5000,3\r\n";

const char* const kJudgedLimitsText =
    "measurement,min,max\n"
    "NotCycling,,0\n"
    "V1.c1,2.40,2.80\n"
    "V4,,4.50\n"
    "CT,,14.00\n"
    "TimeToOn,,3.50\n"
    "RepetitionsFailed,,0\n";

namespace {

constexpr int kPlannedTests = 3;
constexpr int kReadingsPerTest = 20;

std::string ShiftTime(std::int64_t minute, std::int64_t seconds) {
    const auto start =
        std::chrono::sys_days(std::chrono::year(2026) / 12 / 1) + std::chrono::hours(6);
    return UtcIsoTime(start + std::chrono::minutes(minute) + std::chrono::seconds(seconds));
}

NamedMeasurement Figure(const char* name, double value) {
    const MeasurementName* entry = FindMeasurementName(name);
    return {name, value, entry ? entry->unit : std::string(), entry ? entry->decimals : 2};
}

// A test's figures as the station names them; a failing unit's fourth level
// is too high. The seed moves each figure by up to 0.0049, across the shown
// hundredths, never across a bound.
std::vector<NamedMeasurement> Figures(int index, bool failing, std::int64_t seed) {
    const double wobble = static_cast<double>(seed % 50) * 0.0001;
    if (index == kPlannedTests - 1) {
        return {Figure("RepetitionsFailed", 0)};
    }
    return {Figure("NotCycling", 0),
            Figure("V1", 2.6 + wobble),
            Figure("V2", 3.3 + wobble),
            Figure("V3", 4.0 + wobble),
            Figure("V4", (failing ? 4.7 : 4.4) + wobble),
            Figure("CT", 12.3 + wobble),
            Figure("TimeToOn", 3.1 - wobble),
            Figure("V1.c1", 2.6 + wobble),
            Figure("V1.max", 2.62 + wobble),
            Figure("V4.avg", (failing ? 4.69 : 4.39) + wobble)};
}

RunStart JudgedStart(const std::string& serial, std::int64_t minute) {
    RunStart run;
    run.startedAt = ShiftTime(minute, 0);
    run.host = "line-2";
    run.fixture = "Bench A";
    run.operatorName = "alice";
    run.login = "alice";
    run.planName = "Judged.csv";
    run.planText = kJudgedPlanText;
    run.planSha256 = Sha256Hex(run.planText);
    run.limitsName = "limits.csv";
    run.limitsText = kJudgedLimitsText;
    run.limitsSha256 = Sha256Hex(run.limitsText);
    run.programVersion = "1.0.61";
    run.unit = {"Acme", "X100", "Linear", "40W", "4ft", "DrvCo", "D-200", serial};
    return run;
}

void RecordShortTrace(RunRecorder& recorder) {
    for (int i = 0; i < kReadingsPerTest; ++i) {
        if (i % 10 == 0) {
            recorder.RecordSwitch(i * 10, 4, i % 20 == 0);
        }
        recorder.RecordReading(i * 10, 0.2 * i, "Level 1");
    }
}

}  // namespace

void RecordJudgedRun(RunRecorder& recorder, const std::string& serial, std::int64_t minute,
                     JudgedRunKind kind, std::int64_t seed, JudgedRunsMade& made) {
    static const Limits limits = ParseLimits(kJudgedLimitsText).Value();
    recorder.BeginRun(JudgedStart(serial, minute));
    RunVerdicts verdicts;
    verdicts.Start(kPlannedTests);
    // A stopped run is stopped in its second test.
    const int tests = kind == JudgedRunKind::Stopped ? 2 : kPlannedTests;
    for (int index = 0; index < tests; ++index) {
        TestRecordStart test;
        test.index = index;
        test.mode = index == kPlannedTests - 1 ? "onoff" : "cycle";
        test.startedAt = ShiftTime(minute, index * 10);
        recorder.BeginTest(std::move(test));
        RecordShortTrace(recorder);
        if (kind == JudgedRunKind::Stopped && index == 1) {
            recorder.EndTest({RecordEnd::Stopped, {}, {}, std::nullopt, ShiftTime(minute, 15)});
            verdicts.Add(ErrorVerdict(index + 1, "stopped"));
            break;
        }
        std::vector<NamedMeasurement> figures = Figures(index, kind == JudgedRunKind::Fail, seed);
        const TestVerdict verdict = JudgeTest(index + 1, figures, limits);
        recorder.EndTest({RecordEnd::Completed, "summary of test " + std::to_string(index + 1),
                          RecordMeasurements(std::move(figures), verdict.checks),
                          Verdict{verdict.kind, Joined(verdict.reasons)},
                          ShiftTime(minute, index * 10 + 9)});
        verdicts.Add(verdict);
    }
    const bool stopped = kind == JudgedRunKind::Stopped;
    recorder.EndRun({stopped ? RecordEnd::Stopped : RecordEnd::Completed,
                     stopped ? "stopped by the operator" : "", ShiftTime(minute, 30),
                     verdicts.Unit()});
    ++made.runs;
    made.passed += kind == JudgedRunKind::Pass ? 1 : 0;
    made.failed += kind == JudgedRunKind::Fail ? 1 : 0;
    made.stopped += stopped ? 1 : 0;
}

JudgedRunsMade RecordJudgedShift(RunRecorder& recorder, std::int64_t runs) {
    JudgedRunsMade made;
    for (std::int64_t unit = 0; made.runs < runs; ++unit) {
        const std::string serial = "SN-" + std::to_string(100000 + unit);
        if (unit % 40 == 7) {
            RecordJudgedRun(recorder, serial, made.runs, JudgedRunKind::Stopped, unit, made);
        } else if (unit % 5 == 0) {
            RecordJudgedRun(recorder, serial, made.runs, JudgedRunKind::Fail, unit, made);
        }
        if (made.runs < runs) {
            RecordJudgedRun(recorder, serial, made.runs, JudgedRunKind::Pass, unit, made);
        }
    }
    return made;
}

}  // namespace orvalt::test

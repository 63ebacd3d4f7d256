#include "verdict/Verdict.h"

#include <optional>

#include "domain/Joined.h"
#include "domain/MeasurementNames.h"
#include "domain/VerdictWord.h"
#include "verdict/ShownNumber.h"

namespace orvalt {

namespace {

LimitBreach Breach(const Limit& limit, double value, double bound, bool above) {
    return LimitBreach{limit.name, ShownText(value, limit.decimals),
                       ShownText(bound, limit.decimals), above};
}

constexpr const char* kNoLimitApplies = "no limit applies to its measurements";

std::string Reason(const LimitBreach& breach) {
    if (!breach.measured) {
        return breach.name + " not measured (no diagnostic data)";
    }
    return breach.name + " " + breach.value + (breach.above ? " > " : " < ") + breach.bound;
}

// The Time-to-OFF step ran (it gives TimeToOffA) and judged the driver's
// diagnostic record, unless there was none: then it gave no diagnostic figure.
bool DiagnosticFigureMissed(std::span<const NamedMeasurement> measurements,
                            const std::string& name) {
    return IsDiagnosticFigure(name) && FindNamed(measurements, NameOf(Figure::TimeToOffA).name);
}

// Written as negations so that a value that is not a number is outside every
// bound it has.
std::optional<LimitBreach> Violation(const Limit& limit, double value) {
    const double shown = ShownValue(value, limit.decimals);
    if (limit.min && !(shown >= *limit.min)) {
        return Breach(limit, value, *limit.min, false);
    }
    if (limit.max && !(shown <= *limit.max)) {
        return Breach(limit, value, *limit.max, true);
    }
    return std::nullopt;
}

}  // namespace

TestVerdict JudgeTest(int testNumber, std::span<const NamedMeasurement> measurements,
                      const Limits& limits) {
    TestVerdict verdict{testNumber, VerdictKind::Pass, {}, {}, {}};
    for (const Limit& limit : limits.rows) {
        const NamedMeasurement* measured = FindNamed(measurements, limit.name);
        if (!measured) {
            if (DiagnosticFigureMissed(measurements, limit.name)) {
                verdict.checks.push_back({limit.name, limit.min, limit.max, false});
                LimitBreach missed{limit.name, {}, {}, false, false};
                verdict.reasons.push_back(Reason(missed));
                verdict.breaches.push_back(std::move(missed));
            }
            continue;
        }
        auto breach = Violation(limit, measured->value);
        verdict.checks.push_back({limit.name, limit.min, limit.max, !breach});
        if (breach) {
            verdict.reasons.push_back(Reason(*breach));
            verdict.breaches.push_back(std::move(*breach));
        }
    }
    if (!verdict.reasons.empty()) {
        verdict.kind = VerdictKind::Fail;
    } else if (verdict.checks.empty()) {
        verdict.kind = VerdictKind::NotJudged;
        verdict.reasons.push_back(kNoLimitApplies);
    }
    return verdict;
}

TestVerdict ErrorVerdict(int testNumber, std::string reason) {
    return TestVerdict{testNumber, VerdictKind::Error, {std::move(reason)}, {}, {}};
}

std::string TestVerdictLine(const TestVerdict& verdict) {
    std::string line =
        "VERDICT TEST " + std::to_string(verdict.testNumber) + ": " + VerdictKindWord(verdict.kind);
    if (verdict.kind != VerdictKind::Pass) {
        line += ' ';
        line += Joined(verdict.reasons);
    }
    return line;
}

std::string UnitVerdictLine(VerdictKind kind) {
    return std::string("VERDICT UNIT: ") + VerdictKindWord(kind);
}

}  // namespace orvalt

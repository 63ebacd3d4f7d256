#include "verdict/Verdict.h"

#include <algorithm>
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
constexpr std::string_view kNotMeasured = " not measured (no diagnostic data)";
constexpr std::string_view kReasonsApart = ", ";

std::string Reason(const LimitBreach& breach) {
    if (!breach.measured) {
        return breach.name + std::string(kNotMeasured);
    }
    return breach.name + " " + breach.value + (breach.above ? " > " : " < ") + breach.bound;
}

// The pieces of `text` between each `separator`; an empty piece where two
// separators meet.
std::vector<std::string_view> Apart(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> pieces;
    for (std::size_t at = 0;;) {
        const std::size_t next = text.find(separator, at);
        pieces.push_back(text.substr(at, next - at));
        if (next == std::string_view::npos) {
            return pieces;
        }
        at = next + separator.size();
    }
}

// Reason's text read back: "NAME VALUE > BOUND", "NAME VALUE < BOUND" or
// "NAME not measured (no diagnostic data)".
std::optional<LimitBreach> BreachOfReason(std::string_view reason) {
    if (reason.ends_with(kNotMeasured) && reason.size() > kNotMeasured.size()) {
        const std::string_view name = reason.substr(0, reason.size() - kNotMeasured.size());
        if (name.find(' ') == std::string_view::npos) {
            return LimitBreach{std::string(name), {}, {}, false, false};
        }
        return std::nullopt;
    }
    const std::vector<std::string_view> words = Apart(reason, " ");
    if (words.size() != 4 || (words[2] != ">" && words[2] != "<") ||
        std::ranges::any_of(words, &std::string_view::empty)) {
        return std::nullopt;
    }
    return LimitBreach{std::string(words[0]), std::string(words[1]), std::string(words[3]),
                       words[2] == ">"};
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

std::optional<TestVerdict> RecordedTestVerdict(int testNumber, VerdictKind kind,
                                               std::string_view reasons) {
    TestVerdict verdict{testNumber, kind, {}, {}, {}};
    if (kind == VerdictKind::Pass) {
        return reasons.empty() ? std::optional(verdict) : std::nullopt;
    }
    if (kind != VerdictKind::Fail) {
        // An error's or a test not judged's one reason is a sentence of its own.
        verdict.reasons.emplace_back(reasons);
        return verdict;
    }
    for (const std::string_view reason : Apart(reasons, kReasonsApart)) {
        verdict.reasons.emplace_back(reason);
    }
    for (const std::string& reason : verdict.reasons) {
        std::optional<LimitBreach> breach = BreachOfReason(reason);
        if (!breach) {
            return std::nullopt;
        }
        verdict.breaches.push_back(std::move(*breach));
    }
    return verdict;
}

std::string UnitVerdictLine(VerdictKind kind) {
    return std::string("VERDICT UNIT: ") + VerdictKindWord(kind);
}

}  // namespace orvalt

#include "verdict/RunVerdicts.h"

#include <algorithm>

namespace orvalt {

void RunVerdicts::Start(std::size_t plannedTests) {
    planned_ = plannedTests;
    tests_.clear();
}

void RunVerdicts::Add(TestVerdict verdict) {
    tests_.push_back(std::move(verdict));
}

bool RunVerdicts::Any(VerdictKind kind) const {
    return std::any_of(tests_.begin(), tests_.end(),
                       [kind](const TestVerdict& test) { return test.kind == kind; });
}

VerdictKind RunVerdicts::Unit() const {
    if (Any(VerdictKind::Fail)) {
        return VerdictKind::Fail;
    }
    if (Any(VerdictKind::Error) || tests_.size() < planned_) {
        return VerdictKind::Error;
    }
    if (Any(VerdictKind::NotJudged)) {
        return VerdictKind::NotJudged;
    }
    return VerdictKind::Pass;
}

std::optional<VerdictKind> RunVerdicts::SoFar() const {
    if (Any(VerdictKind::Fail) || Any(VerdictKind::Error) || tests_.size() >= planned_) {
        return Unit();
    }
    return std::nullopt;
}

std::vector<std::string> RunVerdicts::Lines() const {
    std::vector<std::string> lines;
    for (const TestVerdict& test : tests_) {
        lines.push_back(TestVerdictLine(test));
    }
    lines.push_back(UnitVerdictLine(Unit()));
    return lines;
}

std::vector<std::string> RunVerdicts::Reasons() const {
    std::vector<std::string> reasons;
    for (const TestVerdict& test : tests_) {
        for (const std::string& reason : test.reasons) {
            reasons.push_back("TEST " + std::to_string(test.testNumber) + ": " + reason);
        }
    }
    return reasons;
}

}  // namespace orvalt

#include "verdict/OperatorWords.h"

#include <array>
#include <utility>

namespace orvalt {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kWholeNames{{
    {"CT", "Cycle time"},
    {"TimeToOn", "Time to ON"},
    {"TimeToOffA", "Time to OFF (A)"},
    {"TimeToOffB", "Time to OFF (B)"},
    {"NotCycling", "Not cycling"},
    {"Delay", "Diagnostic delay"},
    {"SaveNotAsExpected", "Saved level not as expected"},
    {"PriorCount", "Prior count"},
    {"DiagValue", "Diagnostic value"},
}};

constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kStatistics{{
    {".max", "Highest"},
    {".min", "Lowest"},
    {".avg", "Average"},
}};

// "V1".."V4" with an optional ".cN" or statistic.
bool IsLevel(std::string_view name) {
    return name.size() >= 2 && name[0] == 'V' && name[1] >= '1' && name[1] <= '4' &&
           (name.size() == 2 || name[2] == '.');
}

std::string LevelWords(std::string_view name) {
    const std::string level(1, name[1]);
    const std::string_view suffix = name.substr(2);
    if (suffix.size() == 3 && suffix.starts_with(".c")) {
        return "Level " + level + " light in cycle " + std::string(suffix.substr(2));
    }
    for (const auto& [tail, words] : kStatistics) {
        if (suffix == tail) {
            return std::string(words) + " level " + level + " light";
        }
    }
    return "Level " + level + " light";
}

// " V", " s" or nothing (counts).
std::string_view UnitOf(std::string_view name) {
    if (IsLevel(name)) {
        return " V";
    }
    if (name == "CT" || name.starts_with("TimeTo")) {
        return " s";
    }
    return "";
}

std::string TestLead(int testNumber) {
    return "Test " + std::to_string(testNumber);
}

}  // namespace

std::string MeasurementWords(std::string_view name) {
    if (IsLevel(name)) {
        return LevelWords(name);
    }
    if (name == "RepetitionsFailed") {
        return "Failed on/off repetitions";
    }
    for (const auto& [whole, words] : kWholeNames) {
        if (name == whole) {
            return std::string(words);
        }
    }
    return std::string(name);
}

std::string BreachWords(const LimitBreach& breach) {
    const std::string_view unit = UnitOf(breach.name);
    return MeasurementWords(breach.name) + " " + breach.value + std::string(unit) + ", " +
           (breach.above ? "above the " : "below the ") + breach.bound + std::string(unit) +
           (breach.above ? " maximum" : " minimum");
}

std::vector<std::string> OperatorReasons(const RunVerdicts& verdicts, bool runOver) {
    std::vector<std::string> reasons;
    for (const TestVerdict& test : verdicts.Tests()) {
        if (test.kind == VerdictKind::Error) {
            for (const std::string& reason : test.reasons) {
                reasons.push_back(TestLead(test.testNumber) + " was " + reason);
            }
        }
        for (const LimitBreach& breach : test.breaches) {
            reasons.push_back(TestLead(test.testNumber) + ": " + BreachWords(breach));
        }
    }
    if (runOver && verdicts.Missing() > 0) {
        reasons.push_back(std::to_string(verdicts.Missing()) +
                          (verdicts.Missing() == 1 ? " test was" : " tests were") + " not run");
    }
    return reasons;
}

}  // namespace orvalt

#include "verdict/OperatorWords.h"

#include <array>
#include <utility>

#include "domain/MeasurementNames.h"

namespace orvalt {

namespace {

constexpr std::array<std::pair<Figure, std::string_view>, 10> kWholeNames{{
    {Figure::CT, "Cycle time"},
    {Figure::TimeToOn, "Time to ON"},
    {Figure::TimeToOffA, "Time to OFF (A)"},
    {Figure::TimeToOffB, "Time to OFF (B)"},
    {Figure::NotCycling, "Not cycling"},
    {Figure::Delay, "Diagnostic delay"},
    {Figure::SaveNotAsExpected, "Saved level not as expected"},
    {Figure::PriorCount, "Prior count"},
    {Figure::DiagValue, "Diagnostic value"},
    {Figure::RepetitionsFailed, "Failed on/off repetitions"},
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

// "above the 4.50 V maximum".
std::string BoundWords(const LimitBreach& breach) {
    return (breach.above ? "above the " : "below the ") + breach.bound + UnitWords(breach.name) +
           (breach.above ? " maximum" : " minimum");
}

}  // namespace

std::string UnitWords(std::string_view name) {
    const MeasurementName* entry = FindMeasurementName(name);
    return entry && !entry->unit.empty() ? " " + entry->unit : std::string();
}

std::string TestWords(int testNumber) {
    return "Test " + std::to_string(testNumber);
}

std::string MeasurementWords(std::string_view name) {
    if (IsLevel(name)) {
        return LevelWords(name);
    }
    for (const auto& [whole, words] : kWholeNames) {
        if (name == NameOf(whole).name) {
            return std::string(words);
        }
    }
    return std::string(name);
}

std::string BreachWords(const LimitBreach& breach) {
    if (!breach.measured) {
        return MeasurementWords(breach.name) + " not measured: no diagnostic data received";
    }
    return MeasurementWords(breach.name) + " " + breach.value + UnitWords(breach.name) + ", " +
           BoundWords(breach);
}

std::string BoundBrokenWords(const LimitBreach& breach) {
    return MeasurementWords(breach.name) + " " + BoundWords(breach);
}

std::vector<std::string> TestReasonWords(const TestVerdict& test) {
    std::vector<std::string> reasons;
    if (test.kind == VerdictKind::Error) {
        for (const std::string& reason : test.reasons) {
            reasons.push_back(TestWords(test.testNumber) + " was " + reason);
        }
    }
    if (test.kind == VerdictKind::NotJudged) {
        reasons.push_back(TestWords(test.testNumber) + " was not judged: no limit applies to " +
                          "what it measured");
    }
    for (const LimitBreach& breach : test.breaches) {
        reasons.push_back(TestWords(test.testNumber) + ": " + BreachWords(breach));
    }
    return reasons;
}

std::vector<std::string> OperatorReasons(const RunVerdicts& verdicts, bool runOver) {
    std::vector<std::string> reasons;
    for (const TestVerdict& test : verdicts.Tests()) {
        const std::vector<std::string> words = TestReasonWords(test);
        reasons.insert(reasons.end(), words.begin(), words.end());
    }
    if (runOver && verdicts.Missing() > 0) {
        reasons.push_back(std::to_string(verdicts.Missing()) +
                          (verdicts.Missing() == 1 ? " test was" : " tests were") + " not run");
    }
    return reasons;
}

}  // namespace orvalt

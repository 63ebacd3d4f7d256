#include "station/SerialShift.h"

#include <algorithm>
#include <cctype>

#include "domain/IsoTime.h"
#include "platform/LocalCalendar.h"

namespace orvalt {

namespace {

std::string TimesTested(std::size_t runs) {
    switch (runs) {
        case 1:
            return "tested once";
        case 2:
            return "tested twice";
        default:
            return "tested " + std::to_string(runs) + " times";
    }
}

std::string VerdictOf(const HistoryRow& run) {
    if (run.endedAt.empty()) {
        return "still IN PROGRESS";
    }
    if (run.verdict) {
        return run.verdict->Word();
    }
    return run.endedHow == "completed" ? "not judged" : run.endedHow;
}

std::string WhenOf(const HistoryRow& run, std::chrono::system_clock::time_point now) {
    const auto at = ParseUtcIsoTime(run.endedAt.empty() ? run.startedAt : run.endedAt);
    return at ? " at " + LocalClockText(*at, now) : std::string();
}

std::string WhereOf(const HistoryRow& run) {
    const std::string& place = run.fixture.empty() ? run.host : run.fixture;
    return place.empty() ? std::string() : " on " + place;
}

}  // namespace

std::string RetestQuestion(std::string_view serial, const std::vector<HistoryRow>& runs,
                           std::chrono::system_clock::time_point now) {
    const HistoryRow& last = runs.front();
    const std::int64_t attempt =
        std::max<std::int64_t>(last.attempt.value_or(0), static_cast<std::int64_t>(runs.size())) +
        1;
    return std::string(serial) + ": " + TimesTested(runs.size()) + ", last " + VerdictOf(last) +
           WhenOf(last, now) + WhereOf(last) + ". Test it again as attempt " +
           std::to_string(attempt) + "?";
}

bool BlankSerial(std::string_view serial) {
    return std::all_of(serial.begin(), serial.end(),
                       [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
}

std::string RetestQuestion(std::string_view serial, int runsSoFar) {
    return std::string(serial) + " has already been tested at this station (" +
           std::to_string(runsSoFar) + (runsSoFar == 1 ? " run" : " runs") +
           "). Test it again as attempt " + std::to_string(runsSoFar + 1) + "?";
}

StartCheck SerialShift::Check(std::string_view serial) const {
    if (BlankSerial(serial)) {
        return required_ ? StartCheck::SerialMissing : StartCheck::Go;
    }
    return RunsOf(serial) > 0 ? StartCheck::Retest : StartCheck::Go;
}

int SerialShift::Started(std::string_view serial) {
    if (BlankSerial(serial)) {
        return 1;
    }
    const auto [entry, added] = runs_.try_emplace(std::string(serial), 0);
    return ++entry->second;
}

int SerialShift::RunsOf(std::string_view serial) const {
    const auto found = runs_.find(serial);
    return found == runs_.end() ? 0 : found->second;
}

}  // namespace orvalt

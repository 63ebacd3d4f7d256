#include "records/RecordValues.h"

namespace orvalt {

const char* RecordEndWord(RecordEnd end) {
    switch (end) {
        case RecordEnd::Completed:
            return "completed";
        case RecordEnd::Stopped:
            return "stopped";
        case RecordEnd::Abandoned:
            return "abandoned";
    }
    return "abandoned";
}

void CountTestEnd(RunTally& tally, const TestFinish& finish) {
    tally.completed += finish.how == RecordEnd::Completed;
    if (!finish.verdict) {
        return;
    }
    tally.passed += finish.verdict->outcome == "PASS";
    tally.failed += finish.verdict->outcome != "PASS";
}

std::optional<RecordEnd> RecordEndFromWord(const std::string& word) {
    for (RecordEnd end : {RecordEnd::Completed, RecordEnd::Stopped, RecordEnd::Abandoned}) {
        if (word == RecordEndWord(end)) {
            return end;
        }
    }
    return std::nullopt;
}

}  // namespace orvalt

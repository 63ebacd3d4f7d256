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

std::optional<RecordEnd> RecordEndFromWord(const std::string& word) {
    for (RecordEnd end : {RecordEnd::Completed, RecordEnd::Stopped, RecordEnd::Abandoned}) {
        if (word == RecordEndWord(end))
            return end;
    }
    return std::nullopt;
}

}  // namespace orvalt

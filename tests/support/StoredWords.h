#pragma once
// Verdicts as the records tests write and read them: by the stored word, an
// empty one for none, so that a test can also write a word of no kind.

#include <optional>
#include <string>

#include "records/RecordValues.h"

namespace orvalt {

inline std::optional<StoredVerdict> VerdictWritten(const std::string& word) {
    return word.empty() ? std::nullopt : std::optional(StoredVerdict::Read(word));
}

inline std::string WordRead(const std::optional<StoredVerdict>& verdict) {
    return verdict ? verdict->Word() : std::string();
}

}  // namespace orvalt

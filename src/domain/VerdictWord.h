#pragma once
// The words a verdict is written in: the station's verdict lines and window
// show them, and a run's record keeps them in runs.verdict and tests.verdict
// ("PASS", "FAIL", "ERROR", "NOT JUDGED"). Written here, and read back here.

#include <optional>
#include <string_view>

#include "domain/TestVerdict.h"

namespace orvalt {

const char* VerdictKindWord(VerdictKind kind);

// The kind a word stands for; none for any other text, however close: a
// record holding one was not written by this station, and no reader guesses.
std::optional<VerdictKind> VerdictKindFromWord(std::string_view word);

}  // namespace orvalt

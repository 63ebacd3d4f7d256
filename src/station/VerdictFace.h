#pragma once
// What the verdict panel says about the last run, worked out from the
// session's verdicts alone: a word large enough to read from across the line,
// its tone, the reasons in the operator's words and which limits are in force.
// Without limits a finished run is NOT JUDGED, never a silent pass.

#include <filesystem>
#include <string>
#include <vector>

#include "station/VerdictKeeper.h"

namespace orvalt {

enum class VerdictTone { Ready, Testing, Pass, Fail, NotJudged, Error };

struct VerdictFace {
    std::string word;  // "PASS", "FAIL", "ERROR", "NOT JUDGED", "TESTING...", "READY"
    VerdictTone tone = VerdictTone::Ready;
    std::vector<std::string> reasons;
    std::string limits;  // "Limits: FILE" or "No limits loaded"
};

inline constexpr const char* kNotJudgedReason = "No limits were loaded: the run was not judged";

// `limitsFile`: the file whose limits are in force (empty: none).
VerdictFace FaceOf(const VerdictSnapshot& verdicts, const std::filesystem::path& limitsFile);

}  // namespace orvalt

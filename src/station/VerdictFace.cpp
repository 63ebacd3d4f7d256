#include "station/VerdictFace.h"

#include "domain/VerdictWord.h"
#include "verdict/OperatorWords.h"

namespace orvalt {

namespace {

VerdictTone ToneOf(VerdictKind kind) {
    switch (kind) {
        case VerdictKind::Pass:
            return VerdictTone::Pass;
        case VerdictKind::Fail:
            return VerdictTone::Fail;
        case VerdictKind::Error:
            return VerdictTone::Error;
        case VerdictKind::NotJudged:
            return VerdictTone::NotJudged;
    }
    return VerdictTone::Error;
}

VerdictFace Judged(VerdictKind kind, const VerdictSnapshot& verdicts) {
    return VerdictFace{VerdictKindWord(kind),
                       ToneOf(kind),
                       OperatorReasons(verdicts.verdicts, verdicts.runOver),
                       {}};
}

VerdictFace WordOf(const VerdictSnapshot& verdicts) {
    if (!verdicts.started) {
        return VerdictFace{"READY", VerdictTone::Ready, {}, {}};
    }
    if (!verdicts.runOver) {
        // A failure is certain as soon as one test failed; a pass only at the end.
        const auto soFar = verdicts.judged ? verdicts.verdicts.SoFar() : std::nullopt;
        if (soFar && *soFar != VerdictKind::Pass) {
            return Judged(*soFar, verdicts);
        }
        return VerdictFace{"TESTING...", VerdictTone::Testing, {}, {}};
    }
    if (!verdicts.judged) {
        return VerdictFace{"NOT JUDGED", VerdictTone::NotJudged, {kNotJudgedReason}, {}};
    }
    return Judged(verdicts.verdicts.Unit(), verdicts);
}

}  // namespace

VerdictFace FaceOf(const VerdictSnapshot& verdicts, const std::filesystem::path& limitsFile) {
    VerdictFace face = WordOf(verdicts);
    face.limits = limitsFile.empty() ? std::string("No limits loaded")
                                     : "Limits: " + limitsFile.filename().string();
    return face;
}

}  // namespace orvalt

#include "domain/VerdictWord.h"

#include <array>

namespace orvalt {

namespace {

constexpr std::array kKinds{VerdictKind::Pass, VerdictKind::Fail, VerdictKind::Error,
                            VerdictKind::NotJudged};

}  // namespace

const char* VerdictKindWord(VerdictKind kind) {
    switch (kind) {
        case VerdictKind::Pass:
            return "PASS";
        case VerdictKind::Fail:
            return "FAIL";
        case VerdictKind::Error:
            return "ERROR";
        case VerdictKind::NotJudged:
            return "NOT JUDGED";
    }
    return "ERROR";
}

std::optional<VerdictKind> VerdictKindFromWord(std::string_view word) {
    for (const VerdictKind kind : kKinds) {
        if (word == VerdictKindWord(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

}  // namespace orvalt

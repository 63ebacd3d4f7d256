#include "output/PageStyle.h"

#include <utility>

namespace orvalt {

namespace {

constexpr std::pair<std::string_view, std::string_view> kVerdictColours[] = {
    {"$pass", "#1a7f37"},
    {"$fail", "#c62828"},
    {"$error", "#b35c00"},
};

}  // namespace

std::string WithVerdictColours(std::string_view css) {
    std::string styled(css);
    for (const auto& [token, colour] : kVerdictColours) {
        for (std::size_t at = styled.find(token); at != std::string::npos;
             at = styled.find(token, at + colour.size())) {
            styled.replace(at, token.size(), colour);
        }
    }
    return styled;
}

const char* VerdictLook(std::optional<VerdictKind> kind) {
    switch (kind.value_or(VerdictKind::NotJudged)) {
        case VerdictKind::Pass:
            return "pass";
        case VerdictKind::Fail:
            return "fail";
        case VerdictKind::Error:
            return "error";
        case VerdictKind::NotJudged:
            break;
    }
    return "notjudged";
}

std::string TableRules(std::string_view tableExtra) {
    return std::string("table{border-collapse:collapse;margin:8px 0")
        .append(tableExtra)
        .append(
            "}td,th{border:1px solid #bbb;padding:3px 8px;text-align:left;font-size:13px}"
            "th{background:#eee}");
}

}  // namespace orvalt

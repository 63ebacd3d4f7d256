#pragma once
// The look the pages share: the verdicts' colours, written once, and the
// rules of a table, which the report, the SPC page and the dashboard's frame
// all draw the same way.

#include <optional>
#include <string>
#include <string_view>

#include "domain/TestVerdict.h"

namespace orvalt {

// `css` with $pass, $fail and $error standing for the verdicts' green, red
// and amber, so that no page spells those colours itself.
std::string WithVerdictColours(std::string_view css);

// The class a verdict is shown with: "pass", "fail", "error", and
// "notjudged" for NOT JUDGED and for no verdict at all.
const char* VerdictLook(std::optional<VerdictKind> kind);

// A table and its cells; `tableExtra` goes inside table{...}.
std::string TableRules(std::string_view tableExtra = {});

}  // namespace orvalt

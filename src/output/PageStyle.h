#pragma once
// The look the pages share: the verdicts' colours, written once, and the
// rules of a table, which the report, the SPC page and the dashboard's frame
// all draw the same way.

#include <string>
#include <string_view>

namespace orvalt {

// `css` with $pass, $fail and $error standing for the verdicts' green, red
// and amber, so that no page spells those colours itself.
std::string WithVerdictColours(std::string_view css);

// A table and its cells; `tableExtra` goes inside table{...}.
std::string TableRules(std::string_view tableExtra = {});

}  // namespace orvalt

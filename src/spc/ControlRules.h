#pragma once
// The four Western Electric rules on an individuals chart, held against a
// baseline:
//   1. a unit beyond 3 sigma;
//   2. 2 of 3 units in a row beyond 2 sigma on one side;
//   3. 4 of 5 units in a row beyond 1 sigma on one side;
//   4. 8 units in a row on one side of the centre.
// A hit is told at the unit that completes the pattern, and only when that
// unit is itself one of the pattern's (so a pattern is not told again for the
// units that merely follow it).

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "spc/Baseline.h"
#include "spc/ShownValue.h"

namespace orvalt {

enum class RuleSide { Above, Below };

struct RuleHit {
    int rule = 1;          // 1..4
    std::size_t unit = 0;  // index of the unit that completed the pattern
    RuleSide side = RuleSide::Above;
    // The unit before broke the same rule on the same side: the pattern goes
    // on (a tenth unit in a row), it does not start.
    bool continued = false;
};

// Every hit in `values` (consecutive units, oldest first), by unit, then rule.
std::vector<RuleHit> FindRuleHits(std::span<const double> values, const Baseline& baseline,
                                  Resolution resolution);

// "8 units in a row above the centre (rule 4)".
std::string RuleHitText(const RuleHit& hit);

// How many units a rule looks back over, the newest included: what a check of
// only the newest unit must read.
inline constexpr std::size_t kRuleWindowUnits = 8;

}  // namespace orvalt

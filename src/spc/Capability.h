#pragma once
// Capability of a series against its limits: Cp and Cpk with sigma within
// (sigma overall where within is too coarse), Pp and Ppk with sigma overall,
// and the units observed outside the limits. An index is a forecast of how
// few units will fall outside; while some already lie there, none is
// reported above 1. With one limit only the one-sided index is known (Cpk,
// Ppk); with no spread at all none is.

#include <optional>
#include <span>

#include "spc/ShownValue.h"
#include "spc/Spread.h"

namespace orvalt {

// The floor for series production, and how many units it takes before a
// capability below it means anything.
inline constexpr double kCapabilityFloor = 1.33;
inline constexpr std::size_t kCapabilityUnits = 30;
// The most an index is reported at while a unit lies outside the limits.
inline constexpr double kCapabilityCeilingOutside = 1.0;

struct CapabilityIndex {
    double value = 0.0;
    bool capped = false;  // came out above the ceiling with units outside
};

// The units whose shown value lies outside a limit, as the verdict judges.
struct OutsideLimits {
    std::size_t below = 0, above = 0;
    std::size_t Count() const { return below + above; }
};

struct Capability {
    std::optional<CapabilityIndex> cp, cpk, pp, ppk;
    OutsideLimits outside;
};

// `spread`: SpreadOf(values, shown).
Capability CapabilityOf(std::span<const double> values, const Spread& spread,
                        std::optional<double> min, std::optional<double> max, Resolution shown);

// An index below the floor once enough units are in; one held at the ceiling
// is told by the units outside instead.
bool IndexLow(const Spread& spread, const std::optional<CapabilityIndex>& index);

// Cpk or Ppk low, or any unit outside the limits.
bool CapabilityFlagged(const Spread& spread, const Capability& capability);

}  // namespace orvalt

#pragma once
// Capability of a series against its limits: Cp and Cpk with sigma within,
// Pp and Ppk with sigma overall. With one limit only the one-sided index is
// known (Cpk, Ppk); with no spread at all none is.

#include <optional>

#include "drift/Spread.h"

namespace orvalt {

// The floor for series production, and how many units it takes before a
// capability below it means anything.
inline constexpr double kCapabilityFloor = 1.33;
inline constexpr std::size_t kCapabilityUnits = 30;

struct Capability {
    std::optional<double> cp, cpk, pp, ppk;
};

Capability CapabilityOf(const Spread& spread, std::optional<double> min, std::optional<double> max);

// Cpk below the floor once enough units are in.
bool CapabilityFlagged(const Spread& spread, const Capability& capability);

}  // namespace orvalt

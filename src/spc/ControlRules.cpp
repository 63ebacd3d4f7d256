#include "spc/ControlRules.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orvalt {

namespace {

struct Rule {
    int number;
    std::size_t needed;  // units beyond the zone on one side...
    std::size_t window;  // ...among this many in a row
    double sigmas;       // the zone's edge; 0: the centre itself
};

constexpr std::array<Rule, 4> kRules{{
    {1, 1, 1, 3.0},
    {2, 2, 3, 2.0},
    {3, 4, 5, 1.0},
    {4, 8, 8, 0.0},
}};

// Where shown units lie against the centre, in sigmas. A unit within one
// shown step of the centre lies on neither side: when the centre sits near a
// rounding edge, its units flip between the two shown values around it, and
// such a flip is no signal.
class Zones {
  public:
    Zones(const Baseline& baseline, Resolution resolution)
        : centre_(baseline.centre), sigma_(baseline.sigma), step_(resolution.Step()) {}

    // `shown`: a unit's value rounded as the station shows it.
    bool Beyond(double shown, RuleSide side, double sigmas) const {
        const double deviation = side == RuleSide::Above ? shown - centre_ : centre_ - shown;
        // Widened by a hair, so that a unit exactly on an edge, as shown, is
        // not beyond it after rounding.
        return deviation > std::max(sigmas * sigma_, step_) + step_ * 1e-6;
    }

  private:
    double centre_;
    double sigma_;
    double step_;
};

// One rule on one side followed unit by unit: which of the last units lay
// beyond its zone, how many of them, and whether the unit before broke it.
// A series is walked once, however long, whatever the rules' windows.
struct RuleTrack {
    std::vector<char> beyond;  // a ring of the rule's window
    std::size_t count = 0;
    bool broke = false;

    bool Next(const Rule& rule, std::size_t unit, bool isBeyond) {
        beyond[unit % rule.window] = isBeyond ? 1 : 0;
        count += isBeyond ? 1 : 0;
        return unit + 1 >= rule.window && isBeyond && count >= rule.needed;
    }
    // Forgets the unit that leaves the window before the next comes in.
    void Slide(const Rule& rule, std::size_t unit) {
        if (unit + 1 >= rule.window) {
            count -= static_cast<std::size_t>(beyond[(unit + 1) % rule.window]);
        }
    }
};

}  // namespace

std::vector<RuleHit> FindRuleHits(std::span<const double> values, const Baseline& baseline,
                                  Resolution resolution) {
    const Zones zones(baseline, resolution);
    std::array<std::array<RuleTrack, 2>, kRules.size()> tracks;
    for (std::size_t r = 0; r < kRules.size(); ++r) {
        for (RuleTrack& track : tracks[r]) {
            track.beyond.assign(kRules[r].window, 0);
        }
    }
    std::vector<RuleHit> hits;
    for (std::size_t unit = 0; unit < values.size(); ++unit) {
        const double shown = resolution.Shown(values[unit]);
        for (std::size_t r = 0; r < kRules.size(); ++r) {
            const Rule& rule = kRules[r];
            for (const RuleSide side : {RuleSide::Above, RuleSide::Below}) {
                RuleTrack& track = tracks[r][side == RuleSide::Above ? 0 : 1];
                const bool breaks = track.Next(rule, unit, zones.Beyond(shown, side, rule.sigmas));
                if (breaks) {
                    hits.push_back({rule.number, unit, side, track.broke});
                }
                track.broke = breaks;
                track.Slide(rule, unit);
            }
        }
    }
    return hits;
}

std::string RuleHitText(const RuleHit& hit) {
    static constexpr std::array<const char*, 4> kPatterns{
        "1 unit beyond 3 sigma",
        "2 of 3 units beyond 2 sigma",
        "4 of 5 units beyond 1 sigma",
        "8 units in a row",
    };
    const char* side =
        hit.side == RuleSide::Above ? " above the centre (rule " : " below the centre (rule ";
    return std::string(kPatterns[static_cast<std::size_t>(hit.rule - 1)])
        .append(side)
        .append(std::to_string(hit.rule))
        .append(")");
}

}  // namespace orvalt

#include "sim/LotProfile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>

namespace orvalt {

namespace {

struct FigureInfo {
    LotFigure figure;
    const char* name;
    double min;  // the least value the unit profile allows
};

constexpr std::array<FigureInfo, 9> kFigures{{
    {LotFigure::Level1, "level1", 0.0},
    {LotFigure::Level2, "level2", 0.0},
    {LotFigure::Level3, "level3", 0.0},
    {LotFigure::Level4, "level4", 0.0},
    {LotFigure::StartMs, "startMs", 0.0},
    {LotFigure::LevelMs, "levelMs", 1.0},
    {LotFigure::OnRampMs, "onRampMs", 0.0},
    {LotFigure::OffTauMs, "offTauMs", 1.0},
    {LotFigure::DiagDelay, "diagDelay", 0.0},
}};

const FigureInfo& InfoOf(LotFigure figure) {
    return kFigures[static_cast<std::size_t>(figure)];
}

// The millisecond figures and the delay, or nothing for a level's volts.
std::int32_t UnitProfile::*WholeNumberField(LotFigure figure) {
    switch (figure) {
        case LotFigure::StartMs:
            return &UnitProfile::startMs;
        case LotFigure::LevelMs:
            return &UnitProfile::levelMs;
        case LotFigure::OnRampMs:
            return &UnitProfile::onRampMs;
        case LotFigure::OffTauMs:
            return &UnitProfile::offTauMs;
        case LotFigure::DiagDelay:
            return &UnitProfile::diagDelay;
        default:
            return nullptr;
    }
}

std::size_t LevelSlot(LotFigure figure) {
    return static_cast<std::size_t>(figure) - static_cast<std::size_t>(LotFigure::Level1);
}

void SetFigure(UnitProfile& unit, LotFigure figure, double value) {
    const double kept = std::max(value, InfoOf(figure).min);
    if (auto field = WholeNumberField(figure)) {
        const double max = std::numeric_limits<std::int32_t>::max();
        unit.*field = static_cast<std::int32_t>(std::min(std::round(kept), max));
    } else {
        unit.levels[LevelSlot(figure)] = kept;
    }
}

// One generator per unit and purpose: `stream` is the figure's index for its
// noise, or kSeedStream for the unit's own reading noise. std::seed_seq and
// mt19937 are fixed by the C++ standard, so the draws are too.
constexpr std::uint32_t kSeedStream = 0xffff;

std::mt19937 UnitGenerator(std::uint32_t lotSeed, std::int64_t number, std::uint32_t stream) {
    const auto n = static_cast<std::uint64_t>(number);
    std::seed_seq seeds{lotSeed, static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(n >> 32),
                        stream};
    return std::mt19937(seeds);
}

// A standard normal draw (Box-Muller), made by hand: the standard library's
// distributions may differ between library versions.
double StandardNormal(std::mt19937& generator) {
    constexpr double kSpan = 4294967296.0;
    const double u1 = (static_cast<double>(generator()) + 1.0) / kSpan;  // (0, 1]
    const double u2 = static_cast<double>(generator()) / kSpan;          // [0, 1)
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

double DriftOf(const LotProfile& lot, LotFigure figure, std::int64_t number) {
    if (!lot.drift || lot.drift->figure != figure || number <= lot.drift->afterUnit) {
        return 0.0;
    }
    return lot.drift->perUnit * static_cast<double>(number - lot.drift->afterUnit);
}

double NoiseOf(const LotProfile& lot, LotFigure figure, std::int64_t number) {
    double noise = 0.0;
    for (const LotNoise& scatter : lot.noise) {
        if (scatter.figure == figure && scatter.sigma > 0.0) {
            auto generator = UnitGenerator(lot.seed, number, static_cast<std::uint32_t>(figure));
            noise += scatter.sigma * StandardNormal(generator);
        }
    }
    return noise;
}

}  // namespace

std::optional<LotFigure> LotFigureNamed(std::string_view name) {
    for (const FigureInfo& info : kFigures) {
        if (name == info.name) {
            return info.figure;
        }
    }
    return std::nullopt;
}

std::string LotFigureNames() {
    std::string names;
    for (const FigureInfo& info : kFigures) {
        names.append(names.empty() ? "" : ", ").append(info.name);
    }
    return names;
}

double FigureOf(const UnitProfile& unit, LotFigure figure) {
    if (auto field = WholeNumberField(figure)) {
        return unit.*field;
    }
    return unit.levels[LevelSlot(figure)];
}

UnitProfile UnitOfLot(const LotProfile& lot, std::int64_t number) {
    UnitProfile unit = lot.base;
    for (const FigureInfo& info : kFigures) {
        const double change = DriftOf(lot, info.figure, number) + NoiseOf(lot, info.figure, number);
        if (change != 0.0) {
            SetFigure(unit, info.figure, FigureOf(lot.base, info.figure) + change);
        }
    }
    // Each unit's readings scatter in their own way, as the base unit's seed
    // and the lot's make them.
    auto generator = UnitGenerator(lot.seed, number, kSeedStream);
    unit.seed = static_cast<std::uint32_t>(generator()) ^ lot.base.seed;
    return unit;
}

}  // namespace orvalt

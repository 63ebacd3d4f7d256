#include "output/SpcText.h"

#include <cmath>
#include <cstdio>

#include "domain/Joined.h"
#include "domain/PrintableText.h"
#include "verdict/ShownNumber.h"

namespace orvalt {

std::string SpcNumber(std::optional<double> value, int decimals) {
    if (!value || !std::isfinite(*value)) {
        return "-";
    }
    return ShownText(*value, decimals + 1);
}

std::string SpcIndex(const std::optional<CapabilityIndex>& index) {
    if (!index || !std::isfinite(index->value)) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%s%.2f", index->capped ? "<=" : "", index->value);
    return text;
}

std::string BaselineText(const JudgedSeries& judged) {
    if (!judged.baseline) {
        return std::string("no baseline yet: it takes the first ")
            .append(std::to_string(kBaselineUnits))
            .append(" units, or one frozen with orvalt-cli spc --baseline");
    }
    const int decimals = judged.series.decimals;
    std::string text = std::string("centre ")
                           .append(SpcNumber(judged.baseline->centre, decimals))
                           .append(", sigma ")
                           .append(SpcNumber(judged.baseline->sigma, decimals))
                           .append(", ")
                           .append(std::to_string(judged.baseline->units))
                           .append(" units, ");
    if (judged.frozenAt) {
        return text.append("frozen ").append(*judged.frozenAt);
    }
    return text.append("the model's first units");
}

namespace {

// "0.5%", with the digits a small share needs to show as more than none.
std::string ShareText(std::size_t part, std::size_t whole) {
    const double percent = 100.0 * static_cast<double>(part) / static_cast<double>(whole);
    char text[32];
    std::snprintf(text, sizeof text, percent >= 0.1 ? "%.1f%%" : "%.2g%%", percent);
    return text;
}

}  // namespace

std::string OutOfLimitsText(const JudgedSeries& judged) {
    const std::size_t outside = judged.capability.outside.Count();
    std::string text = std::to_string(outside)
                           .append(" of ")
                           .append(std::to_string(judged.spread.n))
                           .append(" units");
    if (outside == 0) {
        return text;
    }
    return text.append(" (").append(ShareText(outside, judged.spread.n)).append(")");
}

std::string CoarseWithinText(const JudgedSeries& judged) {
    const Spread& spread = judged.spread;
    const bool limited = judged.series.min || judged.series.max;
    if (!limited || !spread.WithinTooCoarse() || !(spread.sigmaOverall > 0.0)) {
        return {};
    }
    return std::string("sigma within is too coarse: ")
        .append(std::to_string(spread.flatRanges))
        .append(" of ")
        .append(std::to_string(spread.n - 1))
        .append(" units show the value of the unit before (the values move in steps of ")
        .append(ShownText(spread.step, judged.series.decimals))
        .append("), so Cp and Cpk use sigma overall");
}

std::string CapabilityLowText(const JudgedSeries& judged) {
    std::vector<std::string> reasons;
    const auto indexLow = [&](const char* name, const std::optional<CapabilityIndex>& index) {
        if (IndexLow(judged.spread, index)) {
            reasons.push_back(
                std::string(name).append(" ").append(SpcIndex(index)).append(" is below 1.33"));
        }
    };
    indexLow("Cpk", judged.capability.cpk);
    indexLow("Ppk", judged.capability.ppk);
    if (!reasons.empty()) {
        reasons.front().append(" over ").append(std::to_string(judged.spread.n)).append(" units");
    }
    if (judged.capability.outside.Count() > 0) {
        reasons.push_back(OutOfLimitsText(judged).append(" are out of limits"));
    }
    return Joined(reasons, "; ");
}

namespace {

std::string HitLine(const JudgedSeries& judged, const HitRun& run) {
    const auto& points = judged.series.points;
    std::string line = std::string("    ")
                           .append(PrintableText(PointLabel(points[run.first.unit])))
                           .append(": ")
                           .append(RuleHitText(run.first));
    if (run.units > 1) {
        line.append(", on to ")
            .append(PrintableText(PointLabel(points[run.lastUnit])))
            .append(" (")
            .append(std::to_string(run.units))
            .append(" units)");
    }
    return line + '\n';
}

std::string SeriesBlock(const JudgedSeries& judged) {
    const MeasuredSeries& series = judged.series;
    const int decimals = series.decimals;
    std::string block = PrintableText(judged.name);
    const bool named = judged.name == series.measurement;
    if (named || !series.unit.empty()) {
        block.append(" (")
            .append(named ? std::string("test ").append(std::to_string(series.testIndex + 1))
                          : std::string())
            .append(named && !series.unit.empty() ? ", " : "")
            .append(PrintableText(series.unit))
            .append(")");
    }
    block.append(": ")
        .append(std::to_string(judged.spread.n))
        .append(judged.spread.n == 1 ? " unit, " : " units, ")
        .append(SeriesLimitsText(judged.series))
        .append("\n");
    block.append("  mean ")
        .append(SpcNumber(judged.spread.mean, decimals))
        .append("  sigma within ")
        .append(SpcNumber(judged.spread.sigmaWithin, decimals))
        .append("  overall ")
        .append(SpcNumber(judged.spread.sigmaOverall, decimals))
        .append("\n  Cp ")
        .append(SpcIndex(judged.capability.cp))
        .append("  Cpk ")
        .append(SpcIndex(judged.capability.cpk))
        .append("  Pp ")
        .append(SpcIndex(judged.capability.pp))
        .append("  Ppk ")
        .append(SpcIndex(judged.capability.ppk));
    if (series.min || series.max) {
        block.append("  out of limits ").append(OutOfLimitsText(judged));
    }
    block += '\n';
    if (const std::string coarse = CoarseWithinText(judged); !coarse.empty()) {
        block.append("  ").append(coarse).append("\n");
    }
    if (judged.capabilityLow) {
        block.append("  CAPABILITY LOW: ").append(CapabilityLowText(judged)).append("\n");
    }
    block.append("  baseline: ").append(BaselineText(judged)).append("\n");
    const std::vector<HitRun> runs = HitRuns(judged.hits);
    block.append("  rule hits: ").append(std::to_string(judged.hits.size())).append("\n");
    for (const HitRun& run : runs) {
        block += HitLine(judged, run);
    }
    return block;
}

}  // namespace

std::string SpcText(const std::vector<JudgedSeries>& all) {
    std::string text;
    for (const JudgedSeries& judged : all) {
        if (!text.empty()) {
            text += '\n';
        }
        text += SeriesBlock(judged);
    }
    return text;
}

}  // namespace orvalt

// The layout rules the window and the report share: where a trace is cut at
// its gaps, and where labels go so that none prints over another.

#include <gtest/gtest.h>

#include <random>

#include "plot/LabelPlaces.h"
#include "plot/TraceGaps.h"
#include "plot/TraceLabels.h"

namespace orvalt {
namespace {

// Dense sampling windows, single readings seconds apart, and steps right at
// the gap's width, in random order.
std::vector<PlotPoint> TraceWithPauses(std::mt19937& random) {
    std::vector<PlotPoint> points;
    double t = -0.3;
    const double steps[] = {0.1, 0.25, kGapSeconds, kGapSeconds + 0.001, 3.0, 0.0};
    const auto count = 1 + random() % 60;
    for (std::size_t i = 0; i < count; ++i) {
        t += steps[random() % std::size(steps)];
        points.push_back({t, static_cast<double>(random() % 500) / 100.0});
    }
    return points;
}

TEST(TraceGaps, CutsExactlyWhereReadingsAreMoreThanTheGapApart) {
    std::mt19937 random(11);
    for (int round = 0; round < 500; ++round) {
        const auto points = TraceWithPauses(random);
        const auto stretches = Stretches(points);
        std::size_t next = 0;
        for (std::size_t s = 0; s < stretches.size(); ++s) {
            ASSERT_FALSE(stretches[s].empty());
            ASSERT_EQ(stretches[s].data(), points.data() + next) << "in order, nothing skipped";
            for (std::size_t i = 1; i < stretches[s].size(); ++i) {
                EXPECT_LE(stretches[s][i].seconds - stretches[s][i - 1].seconds, kGapSeconds);
            }
            if (s > 0) {
                EXPECT_GT(stretches[s][0].seconds - points[next - 1].seconds, kGapSeconds);
            }
            next += stretches[s].size();
        }
        EXPECT_EQ(next, points.size());
    }
    EXPECT_TRUE(Stretches(std::vector<PlotPoint>{}).empty());
}

// Boxes crowded into a small area, so that most of them want a taken place.
std::vector<PixelBox> CrowdedLabels(std::mt19937& random, const PixelBox& area) {
    std::vector<PixelBox> wanted;
    const auto count = 1 + random() % 25;
    for (std::size_t i = 0; i < count; ++i) {
        const double width = 10.0 + static_cast<double>(random() % 60);
        wanted.push_back({area.left - 20.0 + static_cast<double>(random() % 200),
                          area.top - 10.0 + static_cast<double>(random() % 140), width, 12.0});
    }
    return wanted;
}

TEST(LabelPlaces, NoTwoLabelsOverlapAndEachStaysInItsColumnWithinReach) {
    std::mt19937 random(5);
    const PixelBox area{40.0, 10.0, 180.0, 120.0};
    for (int round = 0; round < 2000; ++round) {
        const auto wanted = CrowdedLabels(random, area);
        const auto taken = CrowdedLabels(random, area);  // marks no label may cover
        const auto placed = PlaceLabels(wanted, area, taken);
        ASSERT_EQ(placed.size(), wanted.size());
        for (std::size_t i = 0; i < placed.size(); ++i) {
            if (!placed[i]) {
                continue;
            }
            const PixelBox& box = *placed[i];
            EXPECT_GE(box.left, area.left);
            EXPECT_LE(box.left + box.width, area.Right() + 1e-9);
            EXPECT_GE(box.top, area.top);
            EXPECT_LE(box.top + box.height, area.Bottom() + 1e-9);
            EXPECT_EQ(box.width, wanted[i].width);
            const double shifts = std::abs(box.top - wanted[i].top) / wanted[i].height;
            EXPECT_LE(shifts, kMaxShifts + 1e-9);
            EXPECT_NEAR(shifts, std::round(shifts), 1e-9) << "whole label heights only";
            for (std::size_t j = 0; j < i; ++j) {
                EXPECT_FALSE(placed[j] && placed[j]->Overlaps(box)) << i << " over " << j;
            }
            for (const PixelBox& mark : taken) {
                EXPECT_FALSE(mark.Overlaps(box)) << i << " over a mark";
            }
        }
        // The first label has the first choice, and the same labels land alike.
        const auto alone = PlaceLabels(std::span(wanted).first(1), area);
        if (wanted[0].top >= area.top && wanted[0].top + 12.0 <= area.Bottom()) {
            ASSERT_TRUE(alone[0]);
            EXPECT_EQ(alone[0]->top, wanted[0].top);
        }
        const auto again = PlaceLabels(wanted, area, taken);
        for (std::size_t i = 0; i < placed.size(); ++i) {
            ASSERT_EQ(again[i].has_value(), placed[i].has_value());
            EXPECT_TRUE(!placed[i] ||
                        (again[i]->left == placed[i]->left && again[i]->top == placed[i]->top));
        }
    }
}

// A crossing's label keeps its place beside its mark; a switch's label that
// wanted the same spot gives way.
TEST(TraceLabels, CrossingLabelsComeFirstAndSwitchLabelsGiveWay) {
    TestTrace trace;
    trace.crossings = {{Figure::TimeToOn, 10.0, 0.5, 4.5}};
    for (int i = 0; i < 8; ++i) {
        trace.switches.push_back({9.9 + i * 0.05, i % 2 == 0});
    }
    const PlotMapping map({0.0, 0.0, 200.0, 100.0}, PlotRange{0.0, 20.0, 0.0, 5.0});
    const auto widthOf = [](const std::string& text) { return 6.0 * text.size(); };
    const auto labels = PlacedLabels(trace, {2.0, 1.5, 1.0}, map, widthOf, 10.0);
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels[0].text, "ON 0.50 s");
    EXPECT_EQ(labels[0].box.left, 107.0);
    EXPECT_EQ(labels[0].box.top, 10.0 - 7.0 - 10.0 + 10.0);  // no room above: one line down
    for (std::size_t i = 0; i < labels.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_FALSE(labels[i].box.Overlaps(labels[j].box))
                << labels[i].text << " over " << labels[j].text;
        }
    }
}

}  // namespace
}  // namespace orvalt

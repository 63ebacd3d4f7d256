// The plot's model: where readings, switches and crossings land, what moves
// behind at the next test, and how far the axes reach.

#include "plot/LightPlotModel.h"

#include <gtest/gtest.h>

#include <limits>

namespace orvalt {
namespace {

TEST(LightPlotModel, TimesRunFromTheTestsFirstSwitchAcrossTheTickWrap) {
    LightPlotModel model;
    model.BeginTest(1);
    const std::uint32_t start = std::numeric_limits<std::uint32_t>::max() - 499;  // wraps in 0.5 s
    model.AddSwitch(start, false);
    model.AddReading(start + 250, 0.1);
    model.AddSwitch(start + 1000, true);
    model.AddReading(start + 1500, 2.5);
    ASSERT_EQ(model.Current().readings.size(), 2u);
    EXPECT_DOUBLE_EQ(model.Current().readings[0].seconds, 0.25);
    EXPECT_DOUBLE_EQ(model.Current().readings[1].seconds, 1.5);
    EXPECT_DOUBLE_EQ(model.Current().switches[1].seconds, 1.0);
    EXPECT_TRUE(model.Current().switches[1].on);
    EXPECT_EQ(model.Current().testNumber, 1);
}

TEST(LightPlotModel, CrossingsAreTimedFromTheirSwitchAtTheirLevel) {
    LightPlotModel model;
    model.SetLevels({2.0, 1.5, 1.0});
    model.BeginTest(1);
    model.AddSwitch(1000, false);
    model.AddSwitch(3000, true);  // 2 s
    model.MarkTimeToOn(0.5);
    model.AddSwitch(9000, false);  // 8 s
    model.MarkTimeToOff(0.25, 0.75);
    model.MarkTimeToOff(-1.0, -1.0);  // never reached: no marks
    const auto& marks = model.Current().crossings;
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[0].kind, CrossingKind::TimeToOn);
    EXPECT_DOUBLE_EQ(marks[0].seconds, 2.5);
    EXPECT_DOUBLE_EQ(marks[0].measured, 0.5);
    EXPECT_DOUBLE_EQ(marks[0].volts, 2.0);
    EXPECT_EQ(marks[1].kind, CrossingKind::TimeToOffA);
    EXPECT_DOUBLE_EQ(marks[1].seconds, 8.25);
    EXPECT_DOUBLE_EQ(marks[1].volts, 1.5);
    EXPECT_DOUBLE_EQ(marks[2].seconds, 8.75);
    EXPECT_DOUBLE_EQ(marks[2].volts, 1.0);
}

TEST(LightPlotModel, ACrossingWithoutItsSwitchIsNotMarked) {
    LightPlotModel model;
    model.BeginTest(1);
    model.AddSwitch(0, false);
    model.MarkTimeToOn(0.5);
    EXPECT_TRUE(model.Current().crossings.empty());
}

TEST(LightPlotModel, TheLastTestMovesBehindAndAStartClearsBoth) {
    LightPlotModel model;
    model.BeginTest(1);
    model.AddSwitch(0, false);
    model.AddReading(100, 3.0);
    model.BeginTest(2);
    model.AddSwitch(50000, false);
    model.AddReading(50200, 4.0);
    EXPECT_EQ(model.Previous().testNumber, 1);
    ASSERT_EQ(model.Previous().readings.size(), 1u);
    EXPECT_DOUBLE_EQ(model.Previous().readings[0].seconds, 0.1);
    EXPECT_DOUBLE_EQ(model.Current().readings[0].seconds, 0.2);  // its own origin
    // A test abandoned before its first switch leaves the trace behind as it was.
    model.BeginTest(3);
    model.BeginTest(4);
    EXPECT_EQ(model.Previous().testNumber, 2);
    const auto before = model.Revision();
    model.StartRun();
    EXPECT_GT(model.Revision(), before);
    EXPECT_TRUE(model.Current().readings.empty());
    EXPECT_TRUE(model.Previous().readings.empty());
}

TEST(LightPlotModel, TheDataRangeHoldsEverythingAndEveryLevel) {
    LightPlotModel model;
    EXPECT_EQ(model.DataRange(), (PlotRange{0.0, 1.0, 0.0, 1.0}));
    model.SetLevels({6.0, 1.5, 1.0});
    EXPECT_DOUBLE_EQ(model.DataRange().yMax, 6.6);
    model.BeginTest(1);
    model.AddSwitch(0, false);
    model.AddReading(40000, 8.0);
    model.AddReading(41000, -1.0);  // a failed reading shows too
    const PlotRange range = model.DataRange();
    EXPECT_DOUBLE_EQ(range.xMin, 0.0);
    EXPECT_DOUBLE_EQ(range.xMax, 41.0);
    EXPECT_DOUBLE_EQ(range.yMax, 8.8);
    EXPECT_DOUBLE_EQ(range.yMin, -1.1);
}

}  // namespace
}  // namespace orvalt

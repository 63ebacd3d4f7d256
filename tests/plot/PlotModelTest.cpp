// The plot's model: where readings, switches and crossings land, what moves
// behind at the next test, and how far the axes reach.

#include "plot/LightPlotModel.h"

#include "plot/CrossingMarks.h"

#include <gtest/gtest.h>

#include <limits>

namespace orvalt {
namespace {

// A crossing lies where its own switch puts it, however many switches came
// after it: Time To ON is measured right after the first switch-on, and the
// set-up pulses and the cycling's switch-on follow before the test ends.
TEST(LightPlotModel, CrossingsLieAtTheSwitchTheyWereTimedFromAtTheirLevel) {
    LightPlotModel model;
    model.SetLevels({2.0, 1.5, 1.0});
    model.BeginTest(1);
    model.AddSwitch(0.0, false);
    model.AddSwitch(20.0, true);  // Time To ON's switch
    for (const double pulse : {40.0, 55.0, 56.5, 58.5, 58.75, 61.75}) {
        model.AddSwitch(pulse, pulse == 55.0 || pulse == 58.5 || pulse == 61.75);
    }
    model.AddSwitch(74.75, false);  // Time To OFF's switch
    model.AddSwitch(90.0, true);    // one more before the test ends
    model.MarkCrossings({{Figure::TimeToOn, 3.1, 20.0},
                         {Figure::TimeToOffA, 0.5, 74.75},
                         {Figure::TimeToOffB, 0.75, 74.75}});
    EXPECT_EQ(model.Current().crossings,
              (std::vector<CrossingMark>{{Figure::TimeToOn, 23.1, 3.1, 2.0},
                                         {Figure::TimeToOffA, 75.25, 0.5, 1.5},
                                         {Figure::TimeToOffB, 75.5, 0.75, 1.0}}));
    EXPECT_EQ(MarkLabel(model.Current().crossings[0]), "ON 3.10 s");
    EXPECT_EQ(MarkLabel(model.Current().crossings[2]), "OFF B 0.75 s");
}

TEST(LightPlotModel, TheLastTestMovesBehindAndAStartClearsBoth) {
    LightPlotModel model;
    model.BeginTest(1);
    model.AddSwitch(0.0, false);
    model.AddReading(0.1, 3.0);
    model.BeginTest(2);
    model.AddSwitch(0.0, false);
    model.AddReading(0.2, 4.0);
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
    model.AddSwitch(0.0, false);
    model.AddReading(40.0, 8.0);
    model.AddReading(41.0, -1.0);  // a failed reading shows too
    const PlotRange range = model.DataRange();
    EXPECT_DOUBLE_EQ(range.xMin, 0.0);
    EXPECT_DOUBLE_EQ(range.xMax, 41.0);
    EXPECT_DOUBLE_EQ(range.yMax, 8.8);
    EXPECT_DOUBLE_EQ(range.yMin, -1.1);
}

}  // namespace
}  // namespace orvalt

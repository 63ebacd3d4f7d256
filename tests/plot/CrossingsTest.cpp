// A test's crossings as the measurements give them and as a record keeps them:
// which crossings exist, where their switch lies, and that the rows a record
// stores give back the same crossings.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

#include "domain/Crossing.h"

namespace orvalt {
namespace {

TestMeasurements Measured(double timeToOn, double toA, double toB) {
    TestMeasurements m;
    m.timeToOn = timeToOn;
    m.timeToOffDone = 1;
    m.timeToOffA[2] = toA;
    m.timeToOffB[2] = toB;
    return m;
}

TEST(Crossings, OnlyReachedThresholdsOfACyclingTestWithTheirSwitchAcrossTheTickWrap) {
    const std::uint32_t origin = std::numeric_limits<std::uint32_t>::max() - 4999;  // wraps in 5 s
    const TestShape shape{true, 1, 3};
    TestMeasurements m = Measured(3.1, 0.5, kTimeNotReached);
    m.timeToOnSwitchTick = origin + 20000;
    m.timeToOffSwitchTick = origin + 74750;
    EXPECT_EQ(
        CrossingsOf(m, shape, origin),
        (std::vector<Crossing>{{Figure::TimeToOn, 3.1, 20.0}, {Figure::TimeToOffA, 0.5, 74.75}}));
    // A measured 0.00 s is a crossing right at its switch.
    m.timeToOn = 0.0;
    EXPECT_EQ(CrossingsOf(m, shape, origin).front(), (Crossing{Figure::TimeToOn, 0.0, 20.0}));

    TestMeasurements notCycling = m;
    notCycling.notCycling = 1;
    EXPECT_TRUE(CrossingsOf(notCycling, shape, origin).empty());
    EXPECT_TRUE(CrossingsOf(m, TestShape{false, 1, 1}, origin).empty());
    TestMeasurements offNotRun = m;
    offNotRun.timeToOffDone = 0;
    EXPECT_EQ(CrossingsOf(offNotRun, shape, origin).size(), 1u);
    TestMeasurements noSwitch = Measured(3.1, 0.5, 0.75);
    EXPECT_TRUE(CrossingsOf(noSwitch, shape, origin).empty()) << "never placed without a switch";
}

TEST(Crossings, ARecordsRowsGiveBackTheSameCrossings) {
    std::mt19937 random(17);
    const Figure figures[] = {Figure::TimeToOn, Figure::TimeToOffA, Figure::TimeToOffB};
    for (int round = 0; round < 300; ++round) {
        std::vector<Crossing> crossings;
        std::vector<NamedMeasurement> rows{{"CT", 9.5}, {"V1", 2.6}};
        for (const Figure figure : figures) {
            const double seconds = static_cast<double>(random() % 2000) / 100.0;
            const double switchSeconds = static_cast<double>(random() % 100000) / 1000.0;
            switch (random() % 3) {
                case 0:  // reached: the figure and its switch
                    crossings.push_back({figure, seconds, switchSeconds});
                    rows.push_back({NameOf(figure).name, seconds});
                    break;
                case 1:  // never reached: the figure alone, as -1.00
                    rows.push_back({NameOf(figure).name, kTimeNotReached});
                    break;
                default:  // not measured at all
                    break;
            }
        }
        for (NamedMeasurement& row : SwitchRows(crossings)) {
            rows.push_back(row);
        }
        std::shuffle(rows.begin(), rows.end(), random);
        EXPECT_EQ(CrossingsFromRows(rows), crossings);
    }
    // A record made before the switches were kept places nothing.
    EXPECT_TRUE(CrossingsFromRows({{"TimeToOn", 3.1}, {"TimeToOffA", 0.5}}).empty());
}

}  // namespace
}  // namespace orvalt

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "execution/VoltageChange.h"
#include "support/ScriptedStation.h"

namespace orvalt {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ScriptedDaq;
using testing::ScriptedStation;

constexpr int kRow = 2;

bool Detect(ScriptedStation& station, double reference) {
    bool result = false;
    station.harness.RunOnWorker([&] {
        result = ReadUntilVoltageChanges(station.run, ScriptedDaq::kHandle, kRow, reference);
    });
    return result;
}

TEST(VoltageChange, StopsAtTheFirstReadingFarEnoughFromTheReference) {
    ScriptedStation station;
    station.daq.Add({3.9, 3.8, 1.2});

    EXPECT_TRUE(Detect(station, 4.0));

    EXPECT_THAT(station.harness.Texts(ProgressStatus, kRow),
                ElementsAre("Reading voltage = 3.90 #4", "Reading voltage = 3.80 #5",
                            "Reading voltage = 1.20 #6"));
    EXPECT_THAT(station.harness.Texts(ProgressWait, kRow),
                ElementsAre("Wait 0.25 secs for voltage change #4",
                            "Wait 0.25 secs for voltage change #5"));
    EXPECT_THAT(station.harness.Texts(ProgressLog), IsEmpty());
}

TEST(VoltageChange, CountsReadingsUntilAChangeEitherWayOrTheLastOne) {
    struct Case {
        double reading;
        std::size_t readings;
        std::size_t waits;
        const char* lastStatus;
    };
    // Needed 0.5 against 4.0: a rise counts, the needed step itself counts, and a
    // true reading of -1.0 V is a reading like any other.
    for (const Case& c : {Case{4.6, 1, 0, "Reading voltage = 4.60 #4"},
                          Case{3.5, 1, 0, "Reading voltage = 3.50 #4"},
                          Case{-1.0, 1, 0, "Reading voltage = -1.00 #4"},
                          Case{3.51, 21, 21, "Reading voltage = 3.51 #24"}}) {
        ScriptedStation station;
        station.daq.Add({c.reading});

        EXPECT_TRUE(Detect(station, 4.0)) << c.reading;

        EXPECT_EQ(station.daq.ReadCount(), c.readings) << c.reading;
        EXPECT_EQ(station.harness.Texts(ProgressWait, kRow).size(), c.waits) << c.reading;
        EXPECT_EQ(station.harness.Texts(ProgressStatus, kRow).back(), c.lastStatus);
    }
}

TEST(VoltageChange, ExtraLogShowsEachComparisonInTheLogAndAsTheWaitLabel) {
    ScriptedStation station;
    station.run.extraLog = 1;
    station.daq.Add({3.9, 4.6});

    EXPECT_TRUE(Detect(station, 4.0));

    EXPECT_THAT(
        station.harness.Texts(ProgressLog),
        ElementsAre("[Starting read until voltage changes]", "Reading voltage = 3.90 #4",
                    "voltage=3.90 ref=4.00 delta=0.10 needed=0.50", "Reading voltage = 4.60 #5",
                    "voltage=4.60 ref=4.00 delta=-0.60 needed=0.50"));
    EXPECT_THAT(station.harness.Texts(ProgressWait, kRow),
                ElementsAre("Wait 0.25 secs for voltage=3.90 ref=4.00 delta=0.10 needed=0.50"));
}

TEST(VoltageChange, AFailedReadingOrAStopAbandons) {
    for (const bool stop : {false, true}) {
        ScriptedStation station;
        station.daq.Add({4.0});
        station.Abandon(stop ? "stop" : "read", 0, "Wait 0.25 secs for voltage change #5");

        EXPECT_FALSE(Detect(station, 4.0)) << stop;
        EXPECT_EQ(station.daq.ReadCount(), 2u) << stop;
    }
}

}  // namespace
}  // namespace orvalt

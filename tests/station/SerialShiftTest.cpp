// The serial number drives a shift: which units are retests, whether Start
// needs a number, and how a scanner's burst is told from a person's typing.

#include "station/SerialShift.h"

#include <gtest/gtest.h>

#include "config/ShiftSetting.h"
#include "station/ScanRecognizer.h"
#include "station/StationSession.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

TEST(SerialShift, ANumberSeenAgainIsARetestCountedPerNumber) {
    SerialShift shift;
    EXPECT_EQ(shift.Check("SN-1"), StartCheck::Go);
    EXPECT_EQ(shift.Started("SN-1"), 1);
    EXPECT_EQ(shift.Check("SN-2"), StartCheck::Go);  // another unit is no retest
    EXPECT_EQ(shift.Started("SN-2"), 1);
    EXPECT_EQ(shift.Check("SN-1"), StartCheck::Retest);
    EXPECT_EQ(shift.Check("sn-1"), StartCheck::Go);  // a different number
    EXPECT_EQ(shift.Started("SN-1"), 2);
    EXPECT_EQ(shift.RunsOf("SN-1"), 2);
    EXPECT_EQ(RetestQuestion("SN-1", 2),
              "SN-1 has already been tested at this station (2 runs). Test it again as attempt 3?");
    // Runs without a number are neither counted nor retests.
    EXPECT_EQ(shift.Started(""), 1);
    EXPECT_EQ(shift.Started("  "), 1);
    EXPECT_EQ(shift.Check(""), StartCheck::Go);
    EXPECT_EQ(shift.RunsOf(""), 0);
}

// What Start must do for a unit under `serial`, as the window asks.
StartCheck CheckOf(StationSession& session, const std::string& serial) {
    session.SetUnitOnTest(serial, "", "");
    return session.CheckUnit().check;
}

TEST(SerialShift, ALineThatRequiresANumberRefusesABlankOneFromItsSettingsFile) {
    test::TempFolder folder;
    const auto file = folder / "Orvalt.reg";
    {
        RegistryStore store(file);
        ASSERT_TRUE(SaveSerialRequired(store, true).Ok());
    }
    StationSession session(SessionOptions{StationOptions{true, true, {}}, file});
    EXPECT_EQ(CheckOf(session, ""), StartCheck::SerialMissing);
    EXPECT_EQ(CheckOf(session, " \t"), StartCheck::SerialMissing);
    EXPECT_EQ(CheckOf(session, "SN-9"), StartCheck::Go);
    // Location keeps its 38 values: the rule lives under its own key.
    RegistryStore store(file);
    RegKey location;
    if (store.OpenKey("Software\\Kestrune\\Orvalt\\Location", location).Ok()) {
        EXPECT_FALSE(store.QueryValue(location, kRequireSerialValue));
    }
    ASSERT_TRUE(SaveSerialRequired(store, false).Ok());
    StationSession relaxed(SessionOptions{StationOptions{true, true, {}}, file});
    EXPECT_EQ(CheckOf(relaxed, ""), StartCheck::Go);
    StationSession unset(SessionOptions{StationOptions{true, true, {}}, folder / "none.reg"});
    EXPECT_EQ(CheckOf(unset, ""), StartCheck::Go);
}

TEST(ScanRecognizer, AFastBurstEndedByEnterIsAScanAPersonsTypingIsNot) {
    ScanRecognizer keys;
    std::uint64_t now = 1000;
    EXPECT_TRUE(keys.Typed("S", now));
    for (const char* key : {"N", "-", "4", "2"}) {
        EXPECT_FALSE(keys.Typed(key, now += 8));
    }
    EXPECT_EQ(keys.Entered(now += 8), std::optional<std::string>("SN-42"));
    EXPECT_EQ(keys.Entered(now + 1), std::nullopt);  // the burst was used up

    // A person: the same keys 150 ms apart; each key begins a burst anew.
    for (const char* key : {"A", "c", "m", "e"}) {
        EXPECT_TRUE(keys.Typed(key, now += 150));
    }
    EXPECT_EQ(keys.Entered(now += 150), std::nullopt);

    // A scan that follows a person's key after a pause stands alone.
    keys.Typed("x", now += 500);
    EXPECT_TRUE(keys.Typed("7", now += 400));
    keys.Typed("7", now += 5);
    keys.Typed("1", now += 5);
    EXPECT_EQ(keys.Entered(now += 5), std::optional<std::string>("771"));

    // Too short, a late Enter, or a cursor key inside: not a scan.
    keys.Typed("ab", now += 500);
    EXPECT_EQ(keys.Entered(now += 5), std::nullopt);
    keys.Typed("abc", now += 500);
    EXPECT_EQ(keys.Entered(now += ScanRecognizer::kMaxGapMs + 1), std::nullopt);
    keys.Typed("ab", now += 500);
    keys.Interrupted();
    keys.Typed("cd", now += 5);
    EXPECT_EQ(keys.Entered(now += 5), std::nullopt);
}

}  // namespace
}  // namespace orvalt

// Fixtures of one PC as separate sessions over one settings file: their
// places, the ports their windows offer, and who is said to hold a port.

#include "station/FixturePresence.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "platform/PseudoTerminal.h"
#include "station/StationSession.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

std::unique_ptr<StationSession> FixtureSession(const std::filesystem::path& settings,
                                               const std::string& fixture) {
    return std::make_unique<StationSession>(
        SessionOptions{StationOptions{true, true, {}, {}, fixture}, settings});
}

DiagPort PortOf(const PseudoTerminal& pty) {
    return DiagPort{pty.SlavePath(), pty.SlavePath(), 0};
}

std::string Offered(StationSession& session, const std::vector<DiagPort>& ports,
                    const std::optional<std::string>& own = std::nullopt) {
    const std::optional<std::size_t> chosen = session.PreselectPort(ports, own);
    return chosen ? ports[*chosen].path : std::string("(none)");
}

// A place is held as long as its holder lives, even one that is killed, and
// is given again after; places are read by other processes as they are told.
TEST(FixturePresence, APlaceIsHeldWhileItsHolderLivesAndGivenAgainAfterItsEnd) {
    test::TempFolder folder;
    const auto settings = folder / "Orvalt.reg";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FixturePresence bay1(settings, "Bay 1");
        bay1.SetHeldPort("/dev/ttyUSB0");
        const char slot = static_cast<char>('0' + bay1.Slot().value_or(9));
        static_cast<void>(::write(ready[1], &slot, 1));
        ::pause();  // until killed: no destructor lets go of the place
        ::_exit(0);
    }
    ::close(ready[1]);
    char slot = 0;
    ASSERT_EQ(::read(ready[0], &slot, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(slot, '0');
    {
        FixturePresence bay2(settings, "Bay 2");
        EXPECT_EQ(bay2.Slot(), 1u);
        const std::vector<FixtureClaim> others = bay2.Others();
        ASSERT_EQ(others.size(), 1u);
        EXPECT_EQ(others[0].fixture, "Bay 1");
        EXPECT_EQ(bay2.HolderOf("/dev/ttyUSB0")->fixture, "Bay 1");
        EXPECT_FALSE(bay2.HolderOf("/dev/ttyUSB1"));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    FixturePresence bay3(settings, "Bay 3");
    EXPECT_EQ(bay3.Slot(), 0u);
    EXPECT_TRUE(bay3.Others().empty());
}

TEST(FixturePresence, AClaimReadsBackWhatItSaidAndPassesOverLinesItDoesNotKnow) {
    const FixtureClaim claim{"Bay 1 / left", "/dev/ttyUSB0", "/dev/ttyUSB1",
                             WindowPlace{-1920, 20, 952, 378}};
    const FixtureClaim back = ParseClaim(ClaimText(claim) + "colour red\n");
    EXPECT_EQ(back.fixture, claim.fixture);
    EXPECT_EQ(back.heldPort, claim.heldPort);
    EXPECT_EQ(back.chosenPort, claim.chosenPort);
    ASSERT_TRUE(back.verdict);
    EXPECT_EQ(back.verdict->x, -1920);
    EXPECT_EQ(back.verdict->height, 378);
    EXPECT_FALSE(ParseClaim("fixture Bay 2\nverdict 1 2 three 4\n").verdict);
    EXPECT_EQ(HeldByText("/dev/ttyS0", "Bay 1"), "/dev/ttyS0 is held by fixture Bay 1");
}

// The window of each fixture offers a port that no other station of the PC
// offers, holds or keeps; a port opened by one is said to be held by it when
// another tries it, and is free again once its fixture has gone.
TEST(FixturePresence, FixturesOfferPortsNobodyHoldsAndNameTheHolderOfABusyOne) {
    test::TempFolder folder;
    const auto settings = folder / "Orvalt.reg";
    // Bay 0 closed yesterday on the first port; it is not running now.
    test::WriteBytes(settings,
                     "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Fixtures\\"
                     "Bay 0]\r\n\"CommPort\"=dword:00000001\r\n\r\n");
    auto a = PseudoTerminal::Open(), b = PseudoTerminal::Open(), c = PseudoTerminal::Open();
    ASSERT_TRUE(a && b && c);
    const std::vector<DiagPort> ports{DiagPort{"/dev/ttyS0", "/dev/ttyS0", 1}, PortOf(*a),
                                      PortOf(*b), PortOf(*c)};

    auto bay1 = FixtureSession(settings, "Bay 1");
    auto bay2 = FixtureSession(settings, "Bay 2");
    EXPECT_EQ(Offered(*bay1, ports), a->SlavePath());
    EXPECT_EQ(Offered(*bay2, ports), b->SlavePath());
    // Its own simulated driver's port comes before any other free one.
    auto bay3 = FixtureSession(settings, "Bay 3");
    EXPECT_EQ(Offered(*bay3, ports, c->SlavePath()), c->SlavePath());
    bay3.reset();

    ASSERT_EQ(bay1->OnDiagOpen(&ports[1], 115200), DiagOpenOutcome::Opened);
    EXPECT_EQ(bay2->OnDiagOpen(&ports[1], 115200), DiagOpenOutcome::OpenFailed);
    EXPECT_EQ(CommPortOpenFailureText(bay2->Status().linkOpenError),
              "Comm port open failed\n" + a->SlavePath() + " is held by fixture Bay 1");
    // Closed by its button, the port is Bay 2's to take.
    EXPECT_EQ(bay1->OnDiagOpen(nullptr, 115200), DiagOpenOutcome::Closed);
    EXPECT_EQ(bay2->OnDiagOpen(&ports[1], 115200), DiagOpenOutcome::Opened);
    bay2->CloseDiagnostics();
    for (const FixtureClaim& other : bay1->OtherFixtures().others) {
        EXPECT_NE(other.heldPort, a->SlavePath()) << other.fixture;
    }

    // A station without a name keeps the first port, as it always did.
    auto unnamed = FixtureSession(settings, "");
    EXPECT_EQ(Offered(*unnamed, ports), "/dev/ttyS0");
    // A fixture's own kept port wins, held or not: Bay 2, started again, opens
    // one numbered 1 and closes it.
    bay2.reset();
    bay2 = FixtureSession(settings, "Bay 2");
    const DiagPort numberedOne{c->SlavePath(), c->SlavePath(), 1};
    ASSERT_EQ(bay2->OnDiagOpen(&numberedOne, 115200), DiagOpenOutcome::Opened);
    ASSERT_EQ(bay2->OnDiagOpen(nullptr, 115200), DiagOpenOutcome::Closed);
    EXPECT_EQ(Offered(*bay2, ports), "/dev/ttyS0");
}

}  // namespace
}  // namespace orvalt

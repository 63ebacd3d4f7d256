#pragma once
// The fixtures running on this PC right now, as each tells the others: every
// session that keeps its settings in a file holds a place in the folder
// beside it ("Orvalt.fixtures" beside "Orvalt.reg") for as long as it lives,
// saying its fixture's name, the diagnostic port it holds open, the port its
// window offers, and where its verdict panel is on the screen. A new window
// opens clear of the others' verdicts and offers a port nobody holds, and a
// port found held is said to be held by its fixture.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "config/WindowPlaceSetting.h"
#include "platform/SlotClaim.h"

namespace orvalt {

// How many sessions of one PC can be told apart; a PC drives up to four.
inline constexpr std::size_t kMostFixturesShown = 16;

struct FixtureClaim {
    std::string fixture;                 // empty: the station without a fixture name
    std::string heldPort;                // the port its link has open
    std::string chosenPort;              // the port its window offers to open
    std::optional<WindowPlace> verdict;  // its verdict panel, in screen pixels
};

std::string ClaimText(const FixtureClaim& claim);
// What a claim's text tells; lines it does not know are passed over.
FixtureClaim ParseClaim(std::string_view text);

// How another station holding `port` is named to the operator:
// "/dev/ttyS0 is held by fixture Bay 1".
std::string HeldByText(const std::string& port, const std::string& fixture);

class FixturePresence {
  public:
    // Claims a place beside `settingsFile`; with no file, or when no place
    // can be had, it holds none and sees no one. The station without a name
    // claims one only where the settings folder is there already.
    FixturePresence(const std::filesystem::path& settingsFile, std::string fixture);

    // The place held: 0 for the first session of the PC to come, and so on;
    // a place is given again once its session has ended.
    std::optional<std::size_t> Slot() const {
        return claim_ ? std::optional(claim_->Slot()) : std::nullopt;
    }
    // What the other sessions running now say.
    std::vector<FixtureClaim> Others() const;
    // The ports the other fixtures of this PC use: those their sessions hold
    // or offer now, and those the settings file keeps for them.
    std::vector<std::string> PortsOthersUse(const std::filesystem::path& settingsFile) const;
    // The other session that holds `port` open, if one says so.
    std::optional<FixtureClaim> HolderOf(const std::string& port) const;

    void SetHeldPort(std::string port);
    void SetChosenPort(std::string port);
    void SetVerdictPlace(const WindowPlace& place);

  private:
    void Tell();

    std::filesystem::path folder_;
    FixtureClaim own_;
    std::optional<SlotClaim> claim_;
};

}  // namespace orvalt

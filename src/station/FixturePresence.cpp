#include "station/FixturePresence.h"

#include <sstream>

#include "config/KeptCommPorts.h"
#include "config/RegistryStore.h"
#include "diaglink/DiagPorts.h"

namespace orvalt {

namespace {

constexpr std::string_view kFixtureLine = "fixture ";
constexpr std::string_view kHeldLine = "holds ";
constexpr std::string_view kChosenLine = "offers ";
constexpr std::string_view kVerdictLine = "verdict ";

std::optional<WindowPlace> ParsePlace(std::string_view text) {
    std::istringstream in{std::string(text)};
    WindowPlace place;
    if (!(in >> place.x >> place.y >> place.width >> place.height)) {
        return std::nullopt;
    }
    return place;
}

std::filesystem::path PresenceFolder(const std::filesystem::path& settingsFile) {
    if (settingsFile.empty()) {
        return {};
    }
    return settingsFile.parent_path() / (settingsFile.stem().string() + ".fixtures");
}

}  // namespace

std::string ClaimText(const FixtureClaim& claim) {
    std::string text = std::string(kFixtureLine) + claim.fixture + "\n";
    if (!claim.heldPort.empty()) {
        text += std::string(kHeldLine) + claim.heldPort + "\n";
    }
    if (!claim.chosenPort.empty()) {
        text += std::string(kChosenLine) + claim.chosenPort + "\n";
    }
    if (const auto& v = claim.verdict) {
        text += std::string(kVerdictLine) + std::to_string(v->x) + " " + std::to_string(v->y) +
                " " + std::to_string(v->width) + " " + std::to_string(v->height) + "\n";
    }
    return text;
}

FixtureClaim ParseClaim(std::string_view text) {
    FixtureClaim claim;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.starts_with(kFixtureLine)) {
            claim.fixture = line.substr(kFixtureLine.size());
        } else if (line.starts_with(kHeldLine)) {
            claim.heldPort = line.substr(kHeldLine.size());
        } else if (line.starts_with(kChosenLine)) {
            claim.chosenPort = line.substr(kChosenLine.size());
        } else if (line.starts_with(kVerdictLine)) {
            claim.verdict = ParsePlace(line.substr(kVerdictLine.size()));
        }
    }
    return claim;
}

std::string HeldByText(const std::string& port, const std::string& fixture) {
    return port + (fixture.empty() ? " is held by the station without a fixture name"
                                   : " is held by fixture " + fixture);
}

FixturePresence::FixturePresence(const std::filesystem::path& settingsFile, std::string fixture)
    : folder_(PresenceFolder(settingsFile)) {
    own_.fixture = std::move(fixture);
    // The station without a name makes no folder of its own accord: a runner
    // that keeps no settings leaves nothing behind.
    std::error_code error;
    if (folder_.empty() ||
        (own_.fixture.empty() && !std::filesystem::is_directory(folder_.parent_path(), error))) {
        return;
    }
    Result<SlotClaim> taken = SlotClaim::TakeFree(folder_, kMostFixturesShown, ClaimText(own_));
    if (taken) {
        claim_.emplace(std::move(taken).Value());
    }
}

std::vector<FixtureClaim> FixturePresence::Others() const {
    std::vector<FixtureClaim> others;
    if (!claim_) {
        return others;
    }
    for (const HeldSlot& held : HeldSlots(folder_, kMostFixturesShown, claim_->Slot())) {
        others.push_back(ParseClaim(held.text));
    }
    return others;
}

std::optional<FixtureClaim> FixturePresence::HolderOf(const std::string& port) const {
    for (FixtureClaim& other : Others()) {
        if (!port.empty() && other.heldPort == port) {
            return std::move(other);
        }
    }
    return std::nullopt;
}

void FixturePresence::SetHeldPort(std::string port) {
    own_.heldPort = std::move(port);
    Tell();
}

void FixturePresence::SetChosenPort(std::string port) {
    own_.chosenPort = std::move(port);
    Tell();
}

void FixturePresence::SetVerdictPlace(const WindowPlace& place) {
    own_.verdict = place;
    Tell();
}

// A claim that can't be rewritten still holds its place; the others then
// go by what it said before.
void FixturePresence::Tell() {
    if (claim_) {
        static_cast<void>(claim_->Rewrite(ClaimText(own_)));
    }
}

std::vector<std::string> FixturePresence::PortsOthersUse(
    const std::filesystem::path& settingsFile) const {
    std::vector<std::string> ports;
    for (const FixtureClaim& other : Others()) {
        ports.push_back(other.heldPort);
        ports.push_back(other.chosenPort);
    }
    if (!settingsFile.empty()) {
        RegistryStore store(settingsFile);
        for (const std::int32_t number : CommPortsKeptByOthers(store, own_.fixture)) {
            if (std::optional<std::string> path = DevicePathForCommPort(number)) {
                ports.push_back(std::move(*path));
            }
        }
    }
    return ports;
}

}  // namespace orvalt

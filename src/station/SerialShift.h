#pragma once
// A shift of units through one window, told apart by their serial numbers:
// which numbers this window has started runs under (a number seen again is a
// retest, asked about before its Start) and the line's rule that Start needs a
// number at all.

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "reading/History.h"

namespace orvalt {

enum class StartCheck {
    Go,              // a new unit, or no number where none is required
    SerialMissing,   // the line requires a number and the edit holds none
    DiagLinkClosed,  // the limits judge diagnostic figures and no diagnostic line is heard
    Retest,          // this number has been started before in this window
};

inline constexpr const char* kSerialRequired =
    "Scan or type the unit's serial number before pressing Start.";

// A number of blanks only counts as none.
bool BlankSerial(std::string_view serial);

// "SN-1 has already been tested at this station (1 run). Test it again as
// attempt 2?": what this window alone knows.
std::string RetestQuestion(std::string_view serial, int runsSoFar);

// What the records know of the unit's earlier runs (`runs`, newest first, not
// empty), on every station that shares them: "SN-1001: tested twice, last
// PASS at 14:02 UTC+1 on Bay 1. Test it again as attempt 3?"
std::string RetestQuestion(std::string_view serial, const std::vector<HistoryRow>& runs,
                           std::chrono::system_clock::time_point now);

class SerialShift {
  public:
    void RequireSerial(bool required) { required_ = required; }
    bool SerialRequired() const { return required_; }

    // What Start must do for a unit under `serial` (blanks only count as none).
    StartCheck Check(std::string_view serial) const;
    // A run began under `serial`; its attempt number (1 for a new unit). Runs
    // without a number are not counted.
    int Started(std::string_view serial);
    // How many runs began under `serial` so far.
    int RunsOf(std::string_view serial) const;

  private:
    bool required_ = false;
    std::map<std::string, int, std::less<>> runs_;
};

}  // namespace orvalt

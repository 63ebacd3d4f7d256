#pragma once
// A shift of units through one window, told apart by their serial numbers:
// which numbers this window has started runs under (a number seen again is a
// retest, asked about before its Start) and the line's rule that Start needs a
// number at all.

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace orvalt {

enum class StartCheck {
    Go,             // a new unit, or no number where none is required
    SerialMissing,  // the line requires a number and the edit holds none
    Retest,         // this number has been started before in this window
};

inline constexpr const char* kSerialRequired =
    "Scan or type the unit's serial number before pressing Start.";

// "SN-1 has already been tested at this station (1 run). Test it again as
// attempt 2?"
std::string RetestQuestion(std::string_view serial, int runsSoFar);

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

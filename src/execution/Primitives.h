#pragma once
// The only ways a test step waits, reads the unit's light level or switches its
// power. They run on the test worker and report by posting progress messages.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "execution/RunRecord.h"

namespace orvalt {

// While it lives, the wait announced as `text` is the run's wait in progress,
// counting down in the status the front ends show; after, it is the wait
// announced last, until the Wait cell is cleared.
class ShownWait {
  public:
    ShownWait(const RunRecord& run, std::int32_t ms, std::string text);
    ~ShownWait();
    ShownWait(const ShownWait&) = delete;
    ShownWait& operator=(const ShownWait&) = delete;

  private:
    RunProgress* progress_;
};

// Waits `ms`, giving way to a stop request the moment it comes. A non-empty label is announced in
// the row's Wait cell. The caller reads the run flag afterwards.
void TimedWait(const RunRecord& run, int row, std::int32_t ms, std::string_view label);

// Clears the row's Wait cell, and with it the announced wait.
void ClearWaitCell(const RunRecord& run, int row);

// One reading of analog input 0. No value means "no reading": the driver failed,
// and the failure is already shown in the row's Status cell. A true reading of
// -1.0 V is a reading like any other.
std::optional<double> ReadVoltage(const RunRecord& run, LJ_HANDLE handle, int row, int index);

// Switches the unit's power on line 4 (0 = OFF, anything else = ON). False when
// the driver failed; the failure is already shown in the row's Status cell.
bool SetPowerOutput(const RunRecord& run, LJ_HANDLE handle, int row, std::int32_t state);

// The worker's last act on the device, however the run ended: the unit is
// switched off at once, not when someone gets round to it. It is the
// station's own write: no progress message and no marker edge, so the log,
// the result files and the marker's rhythm stay as the run left them. The
// observers see it as a switch when it cuts the power; a unit the test left
// off is not written again. False when the device refused.
bool LeaveUnitOff(const RunRecord& run, LJ_HANDLE handle);

}  // namespace orvalt

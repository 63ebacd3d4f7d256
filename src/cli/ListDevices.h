#pragma once
// orvalt-cli --list-devices: the U3s on this machine's USB with their serial
// numbers, so that each fixture's U3SerialNumber can be set, and which of
// them another program (another fixture's station) holds.

#include <iosfwd>

#include "cli/CliOptions.h"
#include "platform/UsbTransport.h"

namespace orvalt {

// Prints one line per U3 found through `connector` (with --simulate: the
// fixture's simulated U3 alone). kExitRanToEnd, or kExitDeviceNotOpened when
// USB itself could not be searched.
int ListDevices(const CliOptions& options, UsbConnector& connector, std::ostream& out);

// The same on this machine's USB.
int ListDevices(const CliOptions& options, std::ostream& out);

}  // namespace orvalt

#include "cli/ListDevices.h"

#include <ostream>

#include "cli/HeadlessRunner.h"
#include "platform/LibusbU3Connector.h"
#include "sim/SimulatedSerialNumber.h"
#include "u3/U3Directory.h"

namespace orvalt {

namespace {

// A listing question waits no longer than this for a U3's answer.
constexpr unsigned kListTimeoutMs = 1000;

}  // namespace

int ListDevices(const CliOptions& options, UsbConnector& connector, std::ostream& out) {
    if (options.simulate) {
        out << "U3 serial number " << SimulatedSerialNumber(options.fixture)
            << ": free (simulated)\n";
        return kExitRanToEnd;
    }
    const U3Listing listing = ListU3s(connector, kListTimeoutMs);
    for (const std::string& line : DescribeU3Listing(listing)) {
        out << line << '\n';
    }
    return listing.bus == UsbStatus::ok ? kExitRanToEnd : kExitDeviceNotOpened;
}

int ListDevices(const CliOptions& options, std::ostream& out) {
    LibusbU3Connector connector;
    return ListDevices(options, connector, out);
}

}  // namespace orvalt

#pragma once
// The ports offered under "Diag Comm Port:" and how the choice is kept: the
// setting CommPort is a number (ttyS 1-16, ttyUSB 17-32, ttyACM 33-48, the
// simulated driver's pseudo-terminal 64), so that it means the same port after
// a restart. The table and the preselection rule: docs/design/diagnostic-link.md.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvalt {

constexpr std::int32_t kSimulatorCommPort = 64;

struct DiagPort {
    // The device path the link opens.
    std::string path;
    // What the port list shows: the path, with the USB description when there
    // is one, as "/dev/ttyUSB0 (FT232R USB UART)".
    std::string label;
    // The CommPort number; 0 for a port outside the mapping.
    std::int32_t number = 0;
};

// The CommPort number of a device path; 0 when the mapping has none.
std::int32_t CommPortNumberForPath(std::string_view path);
// The device path of a number in 1..48; nothing for any other number.
std::optional<std::string> DevicePathForCommPort(std::int32_t number);

// The label of a port from its path and its description (which may be empty or
// just repeat the device name).
std::string PortLabel(const std::string& path, const std::string& description);

// The serial ports the system has, as libserialport finds them, followed by
// `extraPorts` (the simulator's pseudo-terminal). Ordered by number, unmapped
// ports last by path.
std::vector<DiagPort> ListDiagPorts(const std::vector<DiagPort>& extraPorts = {});

// The index of the item to preselect for `commPort`: the one with that number,
// else the first; nothing for an empty list.
std::optional<std::size_t> InitialPortSelection(const std::vector<DiagPort>& ports,
                                                std::int32_t commPort);

// The item to preselect for a fixture, which must not pick a port another
// fixture of the PC holds or keeps: the one numbered `commPort` (its own kept
// choice), else `preferred` (its own simulated driver's port), else the first
// whose path is not in `taken`, else the first.
std::optional<std::size_t> FixturePortSelection(const std::vector<DiagPort>& ports,
                                                std::int32_t commPort,
                                                const std::optional<std::string>& preferred,
                                                const std::vector<std::string>& taken);

// A port named on a command line: a listed path, a number from the list, or a
// path or number outside it that the mapping knows or that names a device.
std::optional<DiagPort> ResolvePortArgument(std::string_view argument,
                                            const std::vector<DiagPort>& ports);

}  // namespace orvalt

#include "diaglink/DiagPorts.h"

#include "platform/SerialPortList.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>
#include <tuple>

namespace orvalt {

namespace {

struct DeviceFamily {
    std::string_view prefix;
    std::int32_t firstNumber;
};

constexpr std::int32_t kPortsPerFamily = 16;
constexpr std::array kFamilies{
    DeviceFamily{"/dev/ttyS", 1},
    DeviceFamily{"/dev/ttyUSB", 17},
    DeviceFamily{"/dev/ttyACM", 33},
};

// The device index after a family's prefix: plain decimal, no sign, no
// leading zero, below kPortsPerFamily.
std::optional<std::int32_t> DeviceIndex(std::string_view digits) {
    if (digits.empty() || (digits.size() > 1 && digits.front() == '0') ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    std::int32_t index = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (error != std::errc{} || end != digits.data() + digits.size() || index >= kPortsPerFamily) {
        return std::nullopt;
    }
    return index;
}

std::optional<std::int32_t> ParseNumber(std::string_view text) {
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return number;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<DiagPort> SystemPorts() {
    std::vector<DiagPort> ports;
    for (const SystemSerialPort& port : ListSystemSerialPorts()) {
        ports.push_back(DiagPort{port.path, PortLabel(port.path, port.description),
                                 CommPortNumberForPath(port.path)});
    }
    return ports;
}

bool ListedBefore(const DiagPort& a, const DiagPort& b) {
    const auto rank = [](const DiagPort& p) {
        return std::tuple(p.number == 0 ? 1 : 0, p.number, p.path);
    };
    return rank(a) < rank(b);
}

}  // namespace

std::int32_t CommPortNumberForPath(std::string_view path) {
    for (const auto& family : kFamilies) {
        if (path.starts_with(family.prefix)) {
            const auto index = DeviceIndex(path.substr(family.prefix.size()));
            return index ? family.firstNumber + *index : 0;
        }
    }
    return 0;
}

std::optional<std::string> DevicePathForCommPort(std::int32_t number) {
    for (const auto& family : kFamilies) {
        const std::int32_t index = number - family.firstNumber;
        if (index >= 0 && index < kPortsPerFamily) {
            return std::string(family.prefix) + std::to_string(index);
        }
    }
    return std::nullopt;
}

std::string PortLabel(const std::string& path, const std::string& description) {
    if (description.empty() || description == path || description == BaseName(path)) {
        return path;
    }
    return path + " (" + description + ")";
}

std::vector<DiagPort> ListDiagPorts(const std::vector<DiagPort>& extraPorts) {
    auto ports = SystemPorts();
    ports.insert(ports.end(), extraPorts.begin(), extraPorts.end());
    std::stable_sort(ports.begin(), ports.end(), ListedBefore);
    return ports;
}

std::optional<std::size_t> InitialPortSelection(const std::vector<DiagPort>& ports,
                                                std::int32_t commPort) {
    if (ports.empty()) {
        return std::nullopt;
    }
    const auto match = std::find_if(ports.begin(), ports.end(), [commPort](const DiagPort& p) {
        return p.number != 0 && p.number == commPort;
    });
    return match == ports.end() ? 0 : static_cast<std::size_t>(match - ports.begin());
}

std::optional<std::size_t> FixturePortSelection(const std::vector<DiagPort>& ports,
                                                std::int32_t commPort,
                                                const std::optional<std::string>& preferred,
                                                const std::vector<std::string>& taken) {
    const auto first = [&ports](auto&& fits) -> std::optional<std::size_t> {
        const auto found = std::find_if(ports.begin(), ports.end(), fits);
        return found == ports.end()
                   ? std::nullopt
                   : std::optional(static_cast<std::size_t>(found - ports.begin()));
    };
    if (auto kept = first(
            [commPort](const DiagPort& p) { return p.number != 0 && p.number == commPort; })) {
        return kept;
    }
    if (auto own =
            first([&preferred](const DiagPort& p) { return preferred && p.path == *preferred; })) {
        return own;
    }
    if (auto free = first([&taken](const DiagPort& p) {
            return std::find(taken.begin(), taken.end(), p.path) == taken.end();
        })) {
        return free;
    }
    return InitialPortSelection(ports, commPort);
}

std::optional<DiagPort> ResolvePortArgument(std::string_view argument,
                                            const std::vector<DiagPort>& ports) {
    const auto number = ParseNumber(argument);
    const auto listed = std::find_if(ports.begin(), ports.end(), [&](const DiagPort& p) {
        return number ? p.number != 0 && p.number == *number : p.path == argument;
    });
    if (listed != ports.end()) {
        return *listed;
    }
    if (!number) {
        const std::string path(argument);
        return argument.empty() ? std::nullopt
                                : std::optional(DiagPort{path, path, CommPortNumberForPath(path)});
    }
    const auto path = DevicePathForCommPort(*number);
    return path ? std::optional(DiagPort{*path, *path, *number}) : std::nullopt;
}

}  // namespace orvalt

#pragma once
// The serial ports the system has, as libserialport finds them.

#include <string>
#include <vector>

namespace orvalt {

struct SystemSerialPort {
    std::string path;         // /dev/ttyUSB0
    std::string description;  // what the system says it is; may be empty
};

// In the system's order; empty when the ports cannot be listed.
std::vector<SystemSerialPort> ListSystemSerialPorts();

}  // namespace orvalt

#include "cli/PortListing.h"

#include "domain/Format.h"

namespace orvalt {

std::string PortListing(const std::vector<DiagPort>& ports) {
    std::string listing;
    for (const DiagPort& port : ports) {
        const std::string number = port.number == 0 ? "-" : std::to_string(port.number);
        listing += Format("%3s  %s\n", number.c_str(), port.label.c_str());
    }
    return listing;
}

}  // namespace orvalt

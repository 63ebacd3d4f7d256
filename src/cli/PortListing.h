#pragma once
// What orvalt-cli --list-ports prints: the ports as the window offers them,
// in its order, each with the CommPort number that chooses it.

#include <string>
#include <vector>

#include "diaglink/DiagPorts.h"

namespace orvalt {

// One line a port: the CommPort number right-aligned in three columns ("-"
// for a port outside the mapping, which no number chooses), two blanks, then
// the label the window shows.
std::string PortListing(const std::vector<DiagPort>& ports);

}  // namespace orvalt

#pragma once
// The account the station runs under, as the system's user database knows it.

#include <string>

namespace orvalt {

// The account's home folder from the user database; empty when it has none.
std::string AccountHome();

}  // namespace orvalt

#pragma once
// Identities for runs: random (version 4) UUIDs from the kernel's generator.

#include <string>

namespace orvalt {

// A fresh UUID in its lower-case 36-character text form.
std::string NewRandomUuid();

}  // namespace orvalt

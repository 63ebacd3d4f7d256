#pragma once
// The program's version, one text for the About box and for the --version of
// both programs, so that they can never disagree.

#define ORVALT_VERSION_NUMBER "1.0.61"

namespace orvalt {

inline constexpr const char* kVersionNumber = ORVALT_VERSION_NUMBER;
inline constexpr const char* kVersionText = "Orvalt, Version " ORVALT_VERSION_NUMBER;

}  // namespace orvalt

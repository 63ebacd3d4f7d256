#pragma once
// The program's version, one text for the About box and for the --version of
// every program, so that they can never disagree. The number is project()'s
// version in the top CMakeLists.txt, written into the build's generated header.

#include "station/ProgramVersionNumber.h"

namespace orvalt {

inline constexpr const char* kVersionNumber = ORVALT_VERSION_NUMBER;
inline constexpr const char* kVersionText = "Orvalt, Version " ORVALT_VERSION_NUMBER;

}  // namespace orvalt

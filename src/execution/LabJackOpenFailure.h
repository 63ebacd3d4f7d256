#pragma once
// What Start shows when the LabJack will not open: the station's text with the
// driver's code, and for the codes an operator can act on, a second line that
// says what to do.

#include <string>

#include "domain/Daq.h"

namespace orvalt {

std::string LabJackOpenFailureText(LJ_ERROR code);

}  // namespace orvalt

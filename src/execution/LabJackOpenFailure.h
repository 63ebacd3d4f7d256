#pragma once
// What Start shows when the LabJack will not open: the station's text with the
// driver's code; when the station is bound to one U3 by its serial number, a
// line naming that number (the operator of one of several fixtures must know
// which U3 is missing); and for the codes an operator can act on, a line that
// says what to do.

#include <string>
#include <string_view>

#include "domain/Daq.h"

namespace orvalt {

std::string LabJackOpenFailureText(LJ_ERROR code, std::string_view serialNumber = {});

}  // namespace orvalt

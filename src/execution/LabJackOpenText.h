#pragma once
// What Start shows when the LabJack will not open.

#include <string>
#include <string_view>

#include "domain/Daq.h"

namespace orvalt {

// "Can't open LabJack for voltage measurement. Code %d", and when the station
// is bound to one U3 by its serial number a second line naming that number,
// so that the operator of one of several fixtures knows which U3 is missing.
std::string LabJackOpenFailureText(LJ_ERROR code, std::string_view serialNumber);

}  // namespace orvalt

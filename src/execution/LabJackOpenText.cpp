#include "execution/LabJackOpenText.h"

#include "domain/Format.h"
#include "domain/U3SerialNumber.h"

namespace orvalt {

std::string LabJackOpenFailureText(LJ_ERROR code, std::string_view serialNumber) {
    std::string text = Format("Can't open LabJack for voltage measurement. Code %d", code);
    if (!AsksForAnyU3(serialNumber)) {
        text += "\nThe U3 looked for has serial number ";
        text += serialNumber;
        text += '.';
    }
    return text;
}

}  // namespace orvalt

#include "execution/LabJackOpenFailure.h"

#include "domain/Format.h"
#include "domain/U3SerialNumber.h"

namespace orvalt {

namespace {

// The common causes at a production bench, each with its remedy.
const char* HintFor(LJ_ERROR code, bool bound) {
    switch (code) {
        case LJE_LABJACK_NOT_FOUND:
            return bound ? "Check its cable and that it has power; orvalt-cli --list-devices "
                           "lists the U3s present."
                         : "No LabJack U3 was found on USB: check its cable and that it has power.";
        case LJE_DEVICE_ALREADY_OPEN:
            return "The U3 is held by another program (another station, a script): close it "
                   "and press Start again.";
        case LJE_USB_DRIVER_NOT_FOUND:
            return "No permission to use the U3: install the station's udev rule and log in "
                   "again (README, \"A real LabJack U3 on Linux\").";
        default:
            return nullptr;
    }
}

}  // namespace

std::string LabJackOpenFailureText(LJ_ERROR code, std::string_view serialNumber) {
    std::string text = Format("Can't open LabJack for voltage measurement. Code %d", code);
    const bool bound = !AsksForAnyU3(serialNumber);
    if (bound) {
        text += "\nThe U3 looked for has serial number ";
        text += serialNumber;
        text += '.';
    }
    if (const char* hint = HintFor(code, bound)) {
        text += '\n';
        text += hint;
    }
    return text;
}

}  // namespace orvalt

#pragma once
// Constants of the kind a calibrated U3 holds: within a few percent of
// nominal, each HV input its own.

#include "u3/U3Calibration.h"

namespace orvalt::u3 {

inline U3Calibration SampleCalibration() {
    U3Calibration calibration;
    calibration.lvSingleEnded = {3.7558E-05, 0.0112};
    calibration.hvSingleEnded = {
        AinCalibration{3.1532E-04, -10.5100}, AinCalibration{3.1490E-04, -10.4800},
        AinCalibration{3.1555E-04, -10.5230}, AinCalibration{3.1401E-04, -10.4400}};
    return calibration;
}

}  // namespace orvalt::u3

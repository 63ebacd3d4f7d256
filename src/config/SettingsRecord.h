#pragma once
// The 38 persistent settings of the station, each under its registry value name.
// The five voltages are held twice: the stored text and its value in volts,
// worked out once after loading.

#include <array>
#include <cstdint>
#include <string>

namespace orvalt {

struct SettingsRecord {
    std::string ProgramDirPath;
    std::string LogDirPath;
    std::string TempDirPath;
    std::string DataDirPath;

    std::array<std::int32_t, 9> ColumnWidth{50, 50, 50, 50, 50, 50, 50, 170, 355};

    std::string VoltageDelta{".5"};
    std::string VoltageDeltaForOff{".5"};
    std::string VoltageOffA{"1.5"};
    std::string VoltageOffB{"1.0"};
    std::string VoltageOn{"2.0"};
    double voltageDelta = 0.5;
    double voltageDeltaForOff = 0.5;
    double voltageOffA = 1.5;
    double voltageOffB = 1.0;
    double voltageOn = 2.0;

    std::int32_t timeToOffSeconds = 10;
    std::int32_t cfgTime1 = 20000;
    std::int32_t cfgTime2 = 20000;
    std::int32_t cfgTime3 = 2000;
    std::int32_t cfgTime4 = 3000;
    std::int32_t cfgTime5 = 2000;
    std::int32_t cfgTime6 = 15000;
    std::int32_t cfgTime7 = 2000;
    std::int32_t cfgLevelDuration = 4000;
    std::int32_t TaskTerminateWaitTime = 5000;

    std::string Manufacturer;
    std::string Model;
    std::string Type;
    std::string Power;
    std::string FixtureSize;
    std::string DriverManufacturer;
    std::string DriverModel;

    std::int32_t CommPort = 0;
    std::int32_t BaudRate = 115200;
    std::int32_t TTOTestOption = 10;

    // Not one of the 38: it lives in the fixture's own key (or, for the station
    // without a fixture name, in a key of its own), never under Location. The
    // serial number of the U3 to open; empty: the first U3 not held elsewhere.
    std::string U3SerialNumber;
};

}  // namespace orvalt

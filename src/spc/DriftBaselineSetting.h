#pragma once
// Baselines an engineer froze for a model's drift checks, one key per model
// beside Location:
//   HKEY_CURRENT_USER\Software\Kestrune\Orvalt\Drift\<model>
// with one REG_SZ value per series, named "<test number>/<measurement>" (the
// test counted from 1) and holding "<centre>, <sigma>, <units>, <when frozen>",
// numbers with a decimal point whatever the locale. A model name goes into the
// key with every byte a key name cannot hold or that would read differently
// ('\', '%', '[', ']', control and non-ASCII bytes) written as %XX, and a
// model without a name (a run recorded without one) is "%". Key names
// are matched regardless of case, so the key also keeps the model's exact name
// ("Model"): a model spelt otherwise finds no baseline there.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "config/RegistryStore.h"

namespace orvalt {

inline constexpr std::string_view kDriftKey = "Software\\Kestrune\\Orvalt\\Drift";
inline constexpr std::string_view kDriftModelValue = "Model";

struct FrozenBaseline {
    double centre = 0.0;
    double sigma = 0.0;
    std::size_t units = 0;
    std::string frozenAt;  // UTC, as the records write times
};

// One series' baseline to freeze: its test (0-based row of the plan) and
// measurement name.
struct SeriesBaseline {
    int testIndex = 0;
    std::string measurement;
    FrozenBaseline baseline;
};

// The key that holds `model`'s baselines.
std::string BaselineKeyOf(std::string_view model);

// "2/TimeToOffA" for the second test's TimeToOffA.
std::string BaselineValueName(int testIndex, std::string_view measurement);

// The frozen baseline of one series; none when nothing is frozen for it, or
// what is stored can't be read as one.
std::optional<FrozenBaseline> FrozenBaselineOf(RegistryStore& store, std::string_view model,
                                               int testIndex, std::string_view measurement);

// Freezes the series given, keeping the model's other series as they are;
// written to the file at once. Refused (ERROR_INVALID_PARAMETER) when the key
// already holds the baselines of a model spelt otherwise (the same name in
// other case), and as EditUnlessDamaged refuses (SettingsEdit.h): a file with
// a line the station can't read is left as it is.
Result<void, RegStatus> FreezeBaselines(RegistryStore& store, std::string_view model,
                                        const std::vector<SeriesBaseline>& series);

// Forgets every frozen baseline of the model; how many there were. Refused as
// FreezeBaselines is.
Result<std::size_t, RegStatus> ClearFrozenBaselines(RegistryStore& store, std::string_view model);

// "PoolStations" (REG_DWORD) in the Drift key itself: 1 makes a model's drift
// series the units of every station and fixture together; otherwise (and by
// default) a series is one station's and fixture's units of the model.
inline constexpr std::string_view kDriftPoolValue = "PoolStations";
bool LoadDriftPooled(RegistryStore& store);

}  // namespace orvalt

#pragma once
// The settings as a run record keeps them: each registry value name with its
// value at Start, numbers in decimal.

#include <string>
#include <utility>
#include <vector>

#include "config/SettingsRecord.h"

namespace orvalt {

std::vector<std::pair<std::string, std::string>> SettingsPairs(const SettingsRecord& settings);

// The defaults, as a station without a settings file starts with.
SettingsRecord DefaultSettings();

}  // namespace orvalt

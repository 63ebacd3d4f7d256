#include "config/LimitsSetting.h"

#include "config/OwnKeyValue.h"

namespace orvalt {

std::filesystem::path LoadLimitsPath(RegistryStore& store) {
    return LoadOwnKeyText(store, kLimitsKey, kLimitsFileValue);
}

RegStatus SaveLimitsPath(RegistryStore& store, const std::filesystem::path& path) {
    return SaveOwnKeyText(store, kLimitsKey, kLimitsFileValue, path.string());
}

}  // namespace orvalt

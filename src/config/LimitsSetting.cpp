#include "config/LimitsSetting.h"

namespace orvalt {

std::filesystem::path LoadLimitsPath(RegistryStore& store) {
    RegKey key;
    if (!store.OpenKey(kLimitsKey, key).Ok()) {
        return {};
    }
    const RegQueryResult stored = store.QueryValue(key, kLimitsFileValue);
    static_cast<void>(store.CloseKey(key));
    if (stored.code != ERROR_SUCCESS || stored.type != REG_SZ) {
        return {};
    }
    return stored.data.substr(0, stored.data.find('\0'));
}

RegStatus SaveLimitsPath(RegistryStore& store, const std::filesystem::path& path) {
    RegKey key;
    RegStatus status = store.CreateKey(kLimitsKey, key);
    if (!status.Ok()) {
        return status;
    }
    status = store.SetStringValue(key, kLimitsFileValue, path.string());
    RegStatus closed = store.CloseKey(key);
    return status.Ok() ? closed : status;
}

}  // namespace orvalt

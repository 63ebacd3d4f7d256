#include "config/SettingsLock.h"

#include <chrono>

#include "platform/FileLock.h"

namespace orvalt {

namespace {

constexpr std::chrono::milliseconds kSettingsLockWait{5000};

}  // namespace

// HKEY_CURRENT_USER always opens unless the file exists and cannot be read.
RegStatus SettingsReadStatus(RegistryStore& store) {
    RegKey root;
    RegStatus status = store.OpenKey("", root);
    if (status.Ok()) {
        store.CloseKey(root);
    }
    return status;
}

RegStatus SaveUnderSettingsLock(RegistryStore& store, const std::function<RegStatus()>& save) {
    // A file that can't be read (a pipe, a folder, no right) refuses the save,
    // which must then leave no lock file behind.
    if (store.File().empty() || !SettingsReadStatus(store).Ok()) {
        return save();
    }
    const FileLock lock(std::filesystem::path(store.File()) += ".lock", kSettingsLockWait);
    if (lock.Contended()) {
        return {ERROR_CANTWRITE, "The settings were not saved. " + lock.Error()};
    }
    return save();
}

}  // namespace orvalt

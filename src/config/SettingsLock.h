#pragma once
// Fixtures running as processes of their own share the settings file, and a
// save reads it, changes its own keys and replaces it whole: two saves at once
// must not lose one another's keys. Every save, of Location's table or of one
// value under a key of its own, holds the lock file beside the settings file
// from its read to its write.

#include <functional>

#include "config/RegistryStore.h"

namespace orvalt {

// Whether the settings file can be read (a missing one can: it is empty).
RegStatus SettingsReadStatus(RegistryStore& store);

// Runs `save` under the settings file's lock, waiting a few seconds for another
// fixture's save to end. A lock that can't even be made (no folder yet, a
// read-only one), an empty path or a file that can't be read leave `save` to
// say what is wrong. `save` must not take the lock itself.
RegStatus SaveUnderSettingsLock(RegistryStore& store, const std::function<RegStatus()>& save);

}  // namespace orvalt

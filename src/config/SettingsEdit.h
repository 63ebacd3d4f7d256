#pragma once
// A change made to the settings file from the command line (orvalt-cli
// settings set, spc --baseline): the file is changed only when every line of
// it reads, so that each line the change leaves alone stays byte for byte,
// and a file to mend by hand is named and left as it is.

#include <functional>

#include "config/RegistryStore.h"

namespace orvalt {

// Runs `change` under the settings lock once the file has been read and found
// whole: a file that can't be read gives its ERROR_CANTREAD, one with a line
// the station skips or in a UTF-16 or UTF-8 form ERROR_INVALID_DATA, naming
// it; `change` does not run then. `change` must not take the lock itself.
RegStatus EditUnlessDamaged(RegistryStore& store, const std::function<RegStatus()>& change);

}  // namespace orvalt

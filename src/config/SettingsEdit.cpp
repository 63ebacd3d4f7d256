#include "config/SettingsEdit.h"

#include "config/RegText.h"
#include "config/SettingsLock.h"

namespace orvalt {

// Under the lock, so that the file checked is the file changed.
RegStatus EditUnlessDamaged(RegistryStore& store, const std::function<RegStatus()>& change) {
    return SaveUnderSettingsLock(store, [&]() -> RegStatus {
        if (RegStatus read = SettingsReadStatus(store); !read.Ok()) {
            return read;
        }
        if (const std::string damage = RegTextDamage(store.FileText()); !damage.empty()) {
            return {ERROR_INVALID_DATA, "The settings file " + store.File().string() +
                                            " was left as it is: " + damage +
                                            ". Mend that line with a text editor first."};
        }
        return change();
    });
}

}  // namespace orvalt

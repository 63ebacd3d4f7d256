#include "config/ShiftSetting.h"

#include "config/OwnKeyValue.h"

namespace orvalt {

bool LoadSerialRequired(RegistryStore& store) {
    return LoadOwnKeyDword(store, kShiftKey, kRequireSerialValue).value_or(0) != 0;
}

RegStatus SaveSerialRequired(RegistryStore& store, bool required) {
    return SaveOwnKeyDword(store, kShiftKey, kRequireSerialValue, required ? 1u : 0u);
}

}  // namespace orvalt

#include "config/OwnKeyValue.h"

namespace orvalt {

std::optional<std::string> StoredText(const RegistryStore& store, const RegKey& key,
                                      std::string_view name) {
    const auto stored = store.QueryValue(key, name);
    if (!stored || stored->type != REG_SZ) {
        return std::nullopt;
    }
    return stored->data.substr(0, stored->data.find('\0'));
}

std::optional<std::uint32_t> StoredDword(const RegistryStore& store, const RegKey& key,
                                         std::string_view name) {
    const auto stored = store.QueryValue(key, name);
    if (!stored || stored->type != REG_DWORD || stored->data.size() != 4) {
        return std::nullopt;
    }
    return DwordFromBytes(stored->data);
}

std::string LoadOwnKeyText(RegistryStore& store, std::string_view keyPath, std::string_view name) {
    RegKey key;
    if (!store.OpenKey(keyPath, key).Ok()) {
        return {};
    }
    const std::optional<std::string> text = StoredText(store, key, name);
    static_cast<void>(store.CloseKey(key));
    return text.value_or(std::string());
}

RegStatus SaveOwnKeyText(RegistryStore& store, std::string_view keyPath, std::string_view name,
                         std::string_view text) {
    RegKey key;
    RegStatus status = store.CreateKey(keyPath, key);
    if (!status.Ok()) {
        return status;
    }
    status = store.SetStringValue(key, name, text);
    RegStatus closed = store.CloseKey(key);
    return status.Ok() ? closed : status;
}

}  // namespace orvalt

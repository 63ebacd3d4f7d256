#include "config/OwnKeyValue.h"

#include "config/SettingsLock.h"

namespace orvalt {

std::optional<std::string> TextOf(const RegValue& stored) {
    if (stored.type != REG_SZ) {
        return std::nullopt;
    }
    return stored.data.substr(0, stored.data.find('\0'));
}

std::optional<std::uint32_t> DwordOf(const RegValue& stored) {
    if (stored.type != REG_DWORD || stored.data.size() != 4) {
        return std::nullopt;
    }
    return DwordFromBytes(stored.data);
}

std::optional<std::string> StoredText(const RegistryStore& store, const RegKey& key,
                                      std::string_view name) {
    const auto stored = store.QueryValue(key, name);
    return stored ? TextOf(*stored) : std::nullopt;
}

std::optional<std::uint32_t> StoredDword(const RegistryStore& store, const RegKey& key,
                                         std::string_view name) {
    const auto stored = store.QueryValue(key, name);
    return stored ? DwordOf(*stored) : std::nullopt;
}

namespace {

// Reads one value of `keyPath` with `read`; nothing when the key is missing.
template <class Read>
auto LoadFromKey(RegistryStore& store, std::string_view keyPath, Read read)
    -> decltype(read(store, RegKey{})) {
    RegKey key;
    if (!store.OpenKey(keyPath, key).Ok()) {
        return std::nullopt;
    }
    auto value = read(store, key);
    static_cast<void>(store.CloseKey(key));
    return value;
}

// Writes through `write` into `keyPath`, creating it; the write's status first.
template <class Write>
RegStatus WriteIntoKey(RegistryStore& store, std::string_view keyPath, Write write) {
    RegKey key;
    RegStatus status = store.CreateKey(keyPath, key);
    if (!status.Ok()) {
        return status;
    }
    status = write(store, key);
    RegStatus closed = store.CloseKey(key);
    return status.Ok() ? closed : status;
}

template <class Write>
RegStatus SaveIntoKey(RegistryStore& store, std::string_view keyPath, Write write) {
    return SaveUnderSettingsLock(store, [&] { return WriteIntoKey(store, keyPath, write); });
}

}  // namespace

RegStatus WriteOwnKeyValue(RegistryStore& store, std::string_view keyPath, std::string_view name,
                           const RegValue& value) {
    return WriteIntoKey(store, keyPath, [&](RegistryStore& s, const RegKey& key) {
        return s.SetValue(key, name, value.type, value.data);
    });
}

std::string LoadOwnKeyText(RegistryStore& store, std::string_view keyPath, std::string_view name) {
    return LoadFromKey(store, keyPath,
                       [name](const RegistryStore& s, const RegKey& key) {
                           return StoredText(s, key, name);
                       })
        .value_or(std::string());
}

RegStatus SaveOwnKeyText(RegistryStore& store, std::string_view keyPath, std::string_view name,
                         std::string_view text) {
    return SaveIntoKey(store, keyPath, [name, text](RegistryStore& s, const RegKey& key) {
        return s.SetStringValue(key, name, text);
    });
}

std::optional<std::uint32_t> LoadOwnKeyDword(RegistryStore& store, std::string_view keyPath,
                                             std::string_view name) {
    return LoadFromKey(store, keyPath, [name](const RegistryStore& s, const RegKey& key) {
        return StoredDword(s, key, name);
    });
}

RegStatus SaveOwnKeyDword(RegistryStore& store, std::string_view keyPath, std::string_view name,
                          std::uint32_t value) {
    return SaveIntoKey(store, keyPath, [name, value](RegistryStore& s, const RegKey& key) {
        return s.SetDwordValue(key, name, value);
    });
}

}  // namespace orvalt

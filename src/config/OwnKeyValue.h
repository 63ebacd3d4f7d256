#pragma once
// The settings that live beside Location, each under a key of its own (the
// limits file, the plot panel, the results database): reading one value of a
// known type, and a text value's whole round trip. Location keeps exactly its
// 38 values.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/RegistryStore.h"

namespace orvalt {

// A value's text (up to its first NUL); nothing when it is not a REG_SZ.
std::optional<std::string> TextOf(const RegValue& stored);
// A value's number; nothing when it is not 4 bytes of REG_DWORD.
std::optional<std::uint32_t> DwordOf(const RegValue& stored);

// The stored text (up to its first NUL); nothing when the value is missing
// or not a REG_SZ.
std::optional<std::string> StoredText(const RegistryStore& store, const RegKey& key,
                                      std::string_view name);
// The stored number; nothing when the value is missing or not 4 bytes of
// REG_DWORD.
std::optional<std::uint32_t> StoredDword(const RegistryStore& store, const RegKey& key,
                                         std::string_view name);

// The text value `name` of `keyPath`; empty when it is not set or not a text.
std::string LoadOwnKeyText(RegistryStore& store, std::string_view keyPath, std::string_view name);
// Writes it, creating the key; written to the file at once.
RegStatus SaveOwnKeyText(RegistryStore& store, std::string_view keyPath, std::string_view name,
                         std::string_view text);

// The REG_DWORD value `name` of `keyPath`; nothing when it is not set or not
// a REG_DWORD.
std::optional<std::uint32_t> LoadOwnKeyDword(RegistryStore& store, std::string_view keyPath,
                                             std::string_view name);
// Writes it, creating the key; written to the file at once.
RegStatus SaveOwnKeyDword(RegistryStore& store, std::string_view keyPath, std::string_view name,
                          std::uint32_t value);

// Writes `value` into `keyPath`, creating it, and the file at once, for a
// caller that already holds the settings lock (SaveUnderSettingsLock).
RegStatus WriteOwnKeyValue(RegistryStore& store, std::string_view keyPath, std::string_view name,
                           const RegValue& value);

}  // namespace orvalt

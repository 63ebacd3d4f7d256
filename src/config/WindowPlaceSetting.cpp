#include "config/WindowPlaceSetting.h"

#include <array>
#include <cstdint>

#include "config/FixtureName.h"
#include "config/OwnKeyValue.h"
#include "config/SettingsTable.h"

namespace orvalt {

namespace {

struct Field {
    const char* name;
    int WindowPlace::*value;
};

constexpr std::array<Field, 4> kFields{{
    {"X", &WindowPlace::x},
    {"Y", &WindowPlace::y},
    {"Width", &WindowPlace::width},
    {"Height", &WindowPlace::height},
}};

}  // namespace

std::string WindowPlaceKey(std::string_view fixture) {
    return (fixture.empty() ? std::string(kProgramKey) : FixtureKeyPath(fixture)) + "\\Window";
}

std::optional<WindowPlace> LoadWindowPlace(RegistryStore& store, std::string_view fixture) {
    const std::string key = WindowPlaceKey(fixture);
    WindowPlace place;
    for (const Field& field : kFields) {
        const std::optional<std::uint32_t> stored = LoadOwnKeyDword(store, key, field.name);
        if (!stored) {
            return std::nullopt;
        }
        place.*field.value = static_cast<int>(static_cast<std::int32_t>(*stored));
    }
    return place;
}

RegStatus SaveWindowPlace(RegistryStore& store, std::string_view fixture,
                          const WindowPlace& place) {
    const std::string key = WindowPlaceKey(fixture);
    for (const Field& field : kFields) {
        RegStatus status =
            SaveOwnKeyDword(store, key, field.name, static_cast<std::uint32_t>(place.*field.value));
        if (!status.Ok()) {
            return status;
        }
    }
    return {};
}

}  // namespace orvalt

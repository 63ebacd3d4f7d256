#include "config/FixtureAccent.h"

#include <array>
#include <cstdio>

#include "config/FixtureName.h"
#include "config/OwnKeyValue.h"
#include "domain/HexDigit.h"

namespace orvalt {

namespace {

// Dark enough for white type, far enough apart to tell at a glance.
constexpr std::array<std::uint32_t, 8> kAccents{0x1565c0, 0x6a1b9a, 0x00838f, 0xad1457,
                                                0x4e342e, 0x283593, 0x00695c, 0x37474f};

}  // namespace

std::optional<std::uint32_t> ParseAccent(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') {
        return std::nullopt;
    }
    std::uint32_t rgb = 0;
    for (char c : text.substr(1)) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        rgb = rgb * 16 + static_cast<std::uint32_t>(digit);
    }
    return rgb;
}

std::uint32_t DefaultAccent(std::string_view fixture) {
    // FNV-1a: the same name, the same colour, on every PC.
    std::uint32_t hash = 2166136261u;
    for (char c : fixture) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return kAccents[hash % kAccents.size()];
}

std::uint32_t LoadFixtureAccent(RegistryStore& store, std::string_view fixture) {
    const std::string stored = LoadOwnKeyText(store, FixtureKeyPath(fixture), kAccentColourValue);
    return ParseAccent(stored).value_or(DefaultAccent(fixture));
}

RegStatus SaveFixtureAccent(RegistryStore& store, std::string_view fixture, std::uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(rgb & 0xffffffu));
    return SaveOwnKeyText(store, FixtureKeyPath(fixture), kAccentColourValue, text);
}

}  // namespace orvalt

#include "sim/UnitProfileJson.h"

#include <functional>
#include <limits>
#include <map>

#include "sim/ProfileJson.h"

namespace orvalt {

namespace {

using Json = nlohmann::json;

// Reads one key into the profile; returns an error text, empty when fine.
using KeyReader = std::function<std::string(const Json&, UnitProfile&)>;

std::string ReadInt(const Json& value, std::int32_t& target, std::int64_t min) {
    if (!value.is_number_integer()) {
        return "must be a whole number";
    }
    // Numbers beyond the signed 64-bit range arrive unsigned; read as signed they
    // would wrap round, 18446744073709551615 into -1, and pass the range check.
    const bool huge = value.is_number_unsigned() &&
                      value.get<std::uint64_t>() >
                          static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    const auto number = value.get<std::int64_t>();
    if (huge || number < min || number > std::numeric_limits<std::int32_t>::max()) {
        return "must be a whole number from " + std::to_string(min) + " to 2147483647";
    }
    target = static_cast<std::int32_t>(number);
    return "";
}

KeyReader Int(std::int32_t UnitProfile::*field, std::int64_t min) {
    return [field, min](const Json& v, UnitProfile& p) { return ReadInt(v, p.*field, min); };
}

KeyReader Bool(bool UnitProfile::*field) {
    return [field](const Json& v, UnitProfile& p) -> std::string {
        if (!v.is_boolean()) {
            return "must be true or false";
        }
        p.*field = v.get<bool>();
        return "";
    };
}

KeyReader FailAfter(std::optional<std::int64_t> UnitProfile::*field) {
    return [field](const Json& v, UnitProfile& p) -> std::string {
        if (!v.is_number_integer() || v.get<std::int64_t>() < 0) {
            return "must be a whole number of accesses, 0 or more";
        }
        p.*field = v.get<std::int64_t>();
        return "";
    };
}

std::string ReadLevels(const Json& v, UnitProfile& p) {
    if (!v.is_array() || v.size() != 4) {
        return "must be an array of 4 voltages";
    }
    for (std::size_t i = 0; i < 4; ++i) {
        if (!v[i].is_number()) {
            return "must be an array of 4 voltages";
        }
        p.levels[i] = v[i].get<double>();
    }
    return "";
}

std::string ReadSetupPattern(const Json& v, UnitProfile& p) {
    if (!v.is_array() || v.size() != 4) {
        return "must be an array of 4 durations in ms";
    }
    std::array<std::int32_t, 4> pattern{};
    for (std::size_t i = 0; i < 4; ++i) {
        if (std::string error = ReadInt(v[i], pattern[i], 0); !error.empty()) {
            return "must be an array of 4 durations in ms";
        }
    }
    p.setupPattern = pattern;
    return "";
}

std::string ReadNoise(const Json& v, UnitProfile& p) {
    if (!v.is_number() || v.get<double>() < 0.0) {
        return "must be a number of millivolts, 0 or more";
    }
    p.noiseMv = v.get<double>();
    return "";
}

std::string ReadSeed(const Json& v, UnitProfile& p) {
    if (!v.is_number_unsigned() ||
        v.get<std::uint64_t>() > std::numeric_limits<std::uint32_t>::max()) {
        return "must be a whole number from 0 to 4294967295";
    }
    p.seed = v.get<std::uint32_t>();
    return "";
}

const std::map<std::string, KeyReader>& KeyReaders() {
    static const std::map<std::string, KeyReader> readers{
        {"levels", ReadLevels},
        {"startMs", Int(&UnitProfile::startMs, 0)},
        {"levelMs", Int(&UnitProfile::levelMs, 1)},
        {"onRampMs", Int(&UnitProfile::onRampMs, 0)},
        {"offTauMs", Int(&UnitProfile::offTauMs, 1)},
        {"setupPattern", ReadSetupPattern},
        {"setupToleranceMs", Int(&UnitProfile::setupToleranceMs, 0)},
        {"cycling", Bool(&UnitProfile::cycling)},
        {"diagPeriodMs", Int(&UnitProfile::diagPeriodMs, 0)},
        {"diagDelay", Int(&UnitProfile::diagDelay, std::numeric_limits<std::int32_t>::min())},
        {"diagValue", Int(&UnitProfile::diagValue, std::numeric_limits<std::int32_t>::min())},
        {"diagSaveLevelOffset", Int(&UnitProfile::diagSaveLevelOffset, -3)},
        {"diagSilent", Bool(&UnitProfile::diagSilent)},
        {"accessMs", Int(&UnitProfile::accessMs, 0)},
        {"noiseMv", ReadNoise},
        {"seed", ReadSeed},
        {"failReadAfter", FailAfter(&UnitProfile::failReadAfter)},
        {"failOutputAfter", FailAfter(&UnitProfile::failOutputAfter)},
    };
    return readers;
}

}  // namespace

std::string ReadUnitProfileKeys(const nlohmann::json& object, UnitProfile& profile) {
    for (const auto& [key, value] : object.items()) {
        const auto reader = KeyReaders().find(key);
        if (reader == KeyReaders().end()) {
            return "unknown key \"" + ShownKey(key) + "\"";
        }
        if (std::string error = reader->second(value, profile); !error.empty()) {
            return "\"" + key + "\" " + error;
        }
    }
    return "";
}

Result<UnitProfile> ParseUnitProfile(std::string_view json) {
    const Result<Json> document = ParseProfileObject(json, "unit profile");
    if (!document) {
        return Fail(document.Error());
    }
    UnitProfile profile;
    if (std::string error = ReadUnitProfileKeys(*document, profile); !error.empty()) {
        return Fail("unit profile: " + error);
    }
    return profile;
}

Result<UnitProfile> LoadUnitProfile(const std::filesystem::path& path,
                                    const std::atomic<bool>* stop) {
    const Result<std::string> text = ReadProfileFile(path, "unit profile", stop);
    if (!text) {
        return Fail(text.Error());
    }
    return ParseUnitProfile(*text);
}

}  // namespace orvalt

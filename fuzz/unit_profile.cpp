// The simulator's unit profile reader over any text: it accepts a profile only
// when every number it took is the very number the JSON holds, and otherwise
// names what is wrong.

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "FuzzCheck.h"
#include "sim/UnitProfileJson.h"

namespace orvalt {
namespace {

using Json = nlohmann::json;

// The JSON number is exactly `field`, compared without conversions that wrap.
bool SameInteger(const Json& value, std::int64_t field) {
    if (value.is_number_unsigned()) {
        return field >= 0 && value.get<std::uint64_t>() == static_cast<std::uint64_t>(field);
    }
    return value.is_number_integer() && value.get<std::int64_t>() == field;
}

bool SameNumber(const Json& value, double field) {
    return value.is_number() && value.get<double>() == field;
}

template <std::size_t N, typename T, typename Same>
bool SameArray(const Json& value, const std::array<T, N>& field, Same same) {
    for (std::size_t i = 0; i < N; ++i) {
        if (!same(value.at(i), field[i])) {
            return false;
        }
    }
    return true;
}

using KeyCheck = std::function<bool(const Json&, const UnitProfile&)>;

KeyCheck Int(std::int32_t UnitProfile::*field) {
    return [field](const Json& v, const UnitProfile& p) { return SameInteger(v, p.*field); };
}

KeyCheck Flag(bool UnitProfile::*field) {
    return [field](const Json& v, const UnitProfile& p) { return v.get<bool>() == p.*field; };
}

KeyCheck Count(std::optional<std::int64_t> UnitProfile::*field) {
    return [field](const Json& v, const UnitProfile& p) {
        return (p.*field).has_value() && SameInteger(v, *(p.*field));
    };
}

const std::map<std::string, KeyCheck>& KeyChecks() {
    static const std::map<std::string, KeyCheck> checks{
        {"levels",
         [](const Json& v, const UnitProfile& p) { return SameArray(v, p.levels, SameNumber); }},
        {"setupPattern",
         [](const Json& v, const UnitProfile& p) {
             return p.setupPattern.has_value() && SameArray(v, *p.setupPattern, SameInteger);
         }},
        {"noiseMv", [](const Json& v, const UnitProfile& p) { return SameNumber(v, p.noiseMv); }},
        {"seed", [](const Json& v, const UnitProfile& p) { return SameInteger(v, p.seed); }},
        {"startMs", Int(&UnitProfile::startMs)},
        {"levelMs", Int(&UnitProfile::levelMs)},
        {"onRampMs", Int(&UnitProfile::onRampMs)},
        {"offTauMs", Int(&UnitProfile::offTauMs)},
        {"setupToleranceMs", Int(&UnitProfile::setupToleranceMs)},
        {"diagPeriodMs", Int(&UnitProfile::diagPeriodMs)},
        {"diagDelay", Int(&UnitProfile::diagDelay)},
        {"diagValue", Int(&UnitProfile::diagValue)},
        {"diagSaveLevelOffset", Int(&UnitProfile::diagSaveLevelOffset)},
        {"accessMs", Int(&UnitProfile::accessMs)},
        {"cycling", Flag(&UnitProfile::cycling)},
        {"diagSilent", Flag(&UnitProfile::diagSilent)},
        {"failReadAfter", Count(&UnitProfile::failReadAfter)},
        {"failOutputAfter", Count(&UnitProfile::failOutputAfter)},
    };
    return checks;
}

void CheckAccepted(std::string_view text, const UnitProfile& profile) {
    const Json document = Json::parse(text, nullptr, false);
    for (const auto& [key, value] : document.items()) {
        const auto check = KeyChecks().find(key);
        Require(check != KeyChecks().end(), "only known keys are accepted");
        Require(check->second(value, profile), "every value is taken exactly as written");
    }
}

}  // namespace
}  // namespace orvalt

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = orvalt::BytesOf(data, size);
    const orvalt::Result<orvalt::UnitProfile> result = orvalt::ParseUnitProfile(text);
    if (result) {
        orvalt::CheckAccepted(text, *result);
    } else {
        orvalt::Require(result.Error().starts_with("unit profile: "), "a refusal says what it is");
    }
    return 0;
}

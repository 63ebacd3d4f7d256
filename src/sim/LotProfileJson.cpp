#include "sim/LotProfileJson.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sim/ProfileJson.h"

namespace orvalt {

namespace {

using Json = nlohmann::json;

// A name from the file as a message quotes it.
std::string Quoted(const std::string& name) {
    // Appended rather than "lit" + string: GCC 12 at -O3 misreads the latter
    // as an overlapping copy (-Wrestrict).
    return std::string("\"").append(ShownKey(name)).append("\"");
}

std::string FigureChoice() {
    return "must name one of " + LotFigureNames();
}

bool FiniteNumber(const Json& value) {
    return value.is_number() && std::isfinite(value.get<double>());
}

std::string ReadBase(const Json& value, LotProfile& lot) {
    if (!value.is_object()) {
        return "\"base\" must be a unit profile (a JSON object)";
    }
    const std::string error = ReadUnitProfileKeys(value, lot.base);
    return error.empty() ? "" : "\"base\": " + error;
}

std::string ReadSeed(const Json& value, LotProfile& lot) {
    if (!value.is_number_unsigned() ||
        value.get<std::uint64_t>() > std::numeric_limits<std::uint32_t>::max()) {
        return "\"seed\" must be a whole number from 0 to 4294967295";
    }
    lot.seed = value.get<std::uint32_t>();
    return "";
}

std::string ReadDriftFigure(const Json& value, LotDrift& drift) {
    const auto figure = value.is_string() ? LotFigureNamed(value.get<std::string>()) : std::nullopt;
    if (!figure) {
        return "\"figure\" " + FigureChoice();
    }
    drift.figure = *figure;
    return "";
}

std::string ReadDriftKey(const std::string& key, const Json& value, LotDrift& drift) {
    if (key == "figure") {
        return ReadDriftFigure(value, drift);
    }
    if (key == "perUnit") {
        if (!FiniteNumber(value)) {
            return "\"perUnit\" must be a number";
        }
        drift.perUnit = value.get<double>();
        return "";
    }
    if (key == "afterUnit") {
        if (!value.is_number_unsigned()) {
            return "\"afterUnit\" must be a whole number of units, 0 or more";
        }
        const auto after = value.get<std::uint64_t>();
        drift.afterUnit = static_cast<std::int64_t>(
            std::min<std::uint64_t>(after, std::numeric_limits<std::int64_t>::max()));
        return "";
    }
    return "unknown key " + Quoted(key);
}

std::string ReadDrift(const Json& value, LotProfile& lot) {
    if (!value.is_object()) {
        return "\"drift\" must be a JSON object with \"figure\" and \"perUnit\"";
    }
    LotDrift drift;
    for (const auto& [key, item] : value.items()) {
        if (std::string error = ReadDriftKey(key, item, drift); !error.empty()) {
            return "\"drift\": " + error;
        }
    }
    for (const char* needed : {"figure", "perUnit"}) {
        if (!value.contains(needed)) {
            return std::string("\"drift\": \"").append(needed).append("\" is missing");
        }
    }
    lot.drift = drift;
    return "";
}

std::string ReadNoise(const Json& value, LotProfile& lot) {
    if (!value.is_object()) {
        return "\"noise\" must be a JSON object of figures and their standard deviations";
    }
    for (const auto& [key, item] : value.items()) {
        const auto figure = LotFigureNamed(key);
        if (!figure) {
            return "\"noise\": " + Quoted(key) + " " + FigureChoice();
        }
        if (!FiniteNumber(item) || item.get<double>() < 0.0) {
            return "\"noise\": " + Quoted(key) + " must be a standard deviation, 0 or more";
        }
        lot.noise.push_back(LotNoise{*figure, item.get<double>()});
    }
    return "";
}

// Each reader's error names its key, and the key within it where it has one.
std::string ReadLotKey(const std::string& key, const Json& value, LotProfile& lot) {
    if (key == "base") {
        return ReadBase(value, lot);
    }
    if (key == "seed") {
        return ReadSeed(value, lot);
    }
    if (key == "drift") {
        return ReadDrift(value, lot);
    }
    if (key == "noise") {
        return ReadNoise(value, lot);
    }
    return "unknown key " + Quoted(key);
}

}  // namespace

Result<LotProfile> ParseLotProfile(std::string_view json) {
    const Result<Json> document = ParseProfileObject(json, "lot profile");
    if (!document) {
        return Fail(document.Error());
    }
    LotProfile lot;
    for (const auto& [key, value] : document->items()) {
        if (std::string error = ReadLotKey(key, value, lot); !error.empty()) {
            return Fail("lot profile: " + error);
        }
    }
    return lot;
}

Result<LotProfile> LoadLotProfile(const std::filesystem::path& path,
                                  const std::atomic<bool>* stop) {
    const Result<std::string> text = ReadProfileFile(path, "lot profile", stop);
    if (!text) {
        return Fail(text.Error());
    }
    return ParseLotProfile(*text);
}

}  // namespace orvalt

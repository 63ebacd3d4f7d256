#include "spc/BaselineSetting.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>

#include "config/OwnKeyValue.h"
#include "config/SettingsEdit.h"

namespace orvalt {

namespace {

bool KeepsInKeyName(unsigned char byte) {
    return byte > 0x20 && byte < 0x7f && byte != '\\' && byte != '%' && byte != '[' && byte != ']';
}

std::string NumberText(double value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

std::string BaselineText(const FrozenBaseline& baseline) {
    return NumberText(baseline.centre)
        .append(", ")
        .append(NumberText(baseline.sigma))
        .append(", ")
        .append(std::to_string(baseline.units))
        .append(", ")
        .append(baseline.frozenAt);
}

// The next comma-separated field of `text` from `at`, spaces after the comma
// skipped.
std::string_view NextField(std::string_view text, std::size_t& at) {
    if (at >= text.size()) {
        return {};  // past the last field: an empty one
    }
    while (at < text.size() && text[at] == ' ') {
        ++at;
    }
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::string_view field = text.substr(at, comma - at);
    at = comma + 1;
    return field;
}

template <typename Number>
std::optional<Number> WholeField(std::string_view field) {
    Number number{};
    const auto read = std::from_chars(field.data(), field.data() + field.size(), number);
    if (read.ec != std::errc() || read.ptr != field.data() + field.size()) {
        return std::nullopt;
    }
    return number;
}

std::optional<FrozenBaseline> ParseBaseline(std::string_view text) {
    std::size_t at = 0;
    const auto centre = WholeField<double>(NextField(text, at));
    const auto sigma = WholeField<double>(NextField(text, at));
    const auto units = WholeField<std::size_t>(NextField(text, at));
    const std::string_view frozenAt = NextField(text, at);
    if (!centre || !sigma || !units || !(*sigma > 0.0) || *units == 0) {
        return std::nullopt;
    }
    return FrozenBaseline{*centre, *sigma, *units, std::string(frozenAt)};
}

// The model's key open for writing, after checking it is not another
// spelling's. A settings file with a line the station can't read is left as it
// is, as `orvalt-cli settings set` leaves it.
Result<void, RegStatus> WriteModelKey(
    RegistryStore& store, std::string_view model,
    const std::function<RegStatus(RegistryStore&, const RegKey&)>& write) {
    std::string refused;
    const RegStatus status = EditUnlessDamaged(store, [&]() -> RegStatus {
        RegKey key;
        RegStatus opened = store.CreateKey(BaselineKeyOf(model), key);
        if (!opened.Ok()) {
            return opened;
        }
        const std::optional<std::string> owner = StoredText(store, key, kDriftModelValue);
        RegStatus written;
        if (owner && *owner != model) {
            refused = std::string("The frozen baselines of model \"")
                          .append(*owner)
                          .append(
                              "\" are kept under the same key: model names that differ "
                              "only in case share one.");
        } else {
            written = store.SetStringValue(key, kDriftModelValue, model);
            if (written.Ok()) {
                written = write(store, key);
            }
        }
        const RegStatus closed = store.CloseKey(key);
        return written.Ok() ? closed : written;
    });
    if (!refused.empty()) {
        return Fail(RegStatus{ERROR_INVALID_PARAMETER, refused});
    }
    if (!status.Ok()) {
        return Fail(status.message.empty()
                        ? RegStatus{status.code, "The settings file can't be written."}
                        : status);
    }
    return {};
}

}  // namespace

std::string BaselineKeyOf(std::string_view model) {
    std::string key = std::string(kDriftKey) + '\\';
    if (model.empty()) {
        return key + '%';  // a lone '%' no escaped name can give
    }
    for (const char c : model) {
        const auto byte = static_cast<unsigned char>(c);
        if (KeepsInKeyName(byte)) {
            key += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            key += escaped;
        }
    }
    return key;
}

std::string BaselineValueName(int testIndex, std::string_view measurement) {
    return std::to_string(testIndex + 1).append("/").append(measurement);
}

std::optional<FrozenBaseline> FrozenBaselineOf(RegistryStore& store, std::string_view model,
                                               int testIndex, std::string_view measurement) {
    RegKey key;
    if (!store.OpenKey(BaselineKeyOf(model), key).Ok()) {
        return std::nullopt;
    }
    std::optional<FrozenBaseline> baseline;
    if (StoredText(store, key, kDriftModelValue) == std::string(model)) {
        if (const auto text = StoredText(store, key, BaselineValueName(testIndex, measurement))) {
            baseline = ParseBaseline(*text);
        }
    }
    static_cast<void>(store.CloseKey(key));
    return baseline;
}

Result<void, RegStatus> FreezeBaselines(RegistryStore& store, std::string_view model,
                                        const std::vector<SeriesBaseline>& series) {
    return WriteModelKey(store, model, [&series](RegistryStore& s, const RegKey& key) {
        for (const SeriesBaseline& one : series) {
            const RegStatus set = s.SetStringValue(
                key, BaselineValueName(one.testIndex, one.measurement), BaselineText(one.baseline));
            if (!set.Ok()) {
                return set;
            }
        }
        return RegStatus{};
    });
}

Result<std::size_t, RegStatus> ClearFrozenBaselines(RegistryStore& store, std::string_view model) {
    {
        RegKey key;
        if (!store.OpenKey(BaselineKeyOf(model), key).Ok()) {
            return std::size_t{0};
        }
        static_cast<void>(store.CloseKey(key));
    }
    std::size_t cleared = 0;
    const Result<void, RegStatus> written =
        WriteModelKey(store, model, [&cleared](RegistryStore& s, const RegKey& key) {
            for (const std::string& name : s.ValueNames(key)) {
                if (name != kDriftModelValue) {
                    static_cast<void>(s.DeleteValue(key, name));
                    ++cleared;
                }
            }
            return RegStatus{};
        });
    if (!written) {
        return Fail(written.Error());
    }
    return cleared;
}

bool LoadDriftPooled(RegistryStore& store) {
    return LoadOwnKeyDword(store, kDriftKey, kDriftPoolValue).value_or(0) != 0;
}

}  // namespace orvalt

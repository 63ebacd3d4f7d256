#include "config/PlotPanelSetting.h"

#include <cstdint>

#include "config/OwnKeyValue.h"

namespace orvalt {

namespace {

std::optional<int> DwordOf(const RegistryStore& store, const RegKey& key, std::string_view name) {
    const std::optional<std::uint32_t> stored = StoredDword(store, key, name);
    if (!stored) {
        return std::nullopt;
    }
    return static_cast<int>(*stored & 0x7fffffffu);
}

}  // namespace

std::optional<PanelSize> LoadPlotPanelSize(RegistryStore& store) {
    RegKey key;
    if (!store.OpenKey(kPlotPanelKey, key).Ok()) {
        return std::nullopt;
    }
    const auto width = DwordOf(store, key, "Width");
    const auto height = DwordOf(store, key, "Height");
    static_cast<void>(store.CloseKey(key));
    if (!width || !height) {
        return std::nullopt;
    }
    return PanelSize{*width, *height};
}

RegStatus SavePlotPanelSize(RegistryStore& store, PanelSize size) {
    RegKey key;
    RegStatus status = store.CreateKey(kPlotPanelKey, key);
    if (!status.Ok()) {
        return status;
    }
    status = store.SetDwordValue(key, "Width", static_cast<std::uint32_t>(size.width));
    if (status.Ok()) {
        status = store.SetDwordValue(key, "Height", static_cast<std::uint32_t>(size.height));
    }
    RegStatus closed = store.CloseKey(key);
    return status.Ok() ? closed : status;
}

}  // namespace orvalt

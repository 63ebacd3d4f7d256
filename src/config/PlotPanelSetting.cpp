#include "config/PlotPanelSetting.h"

#include <cstdint>

namespace orvalt {

namespace {

std::optional<int> DwordOf(const RegistryStore& store, const RegKey& key, std::string_view name) {
    const RegQueryResult stored = store.QueryValue(key, name);
    if (stored.code != ERROR_SUCCESS || stored.type != REG_DWORD || stored.data.size() != 4) {
        return std::nullopt;
    }
    return static_cast<int>(DwordFromBytes(stored.data) & 0x7fffffffu);
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

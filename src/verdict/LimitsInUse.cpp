#include "verdict/LimitsInUse.h"

#include "config/LimitsSetting.h"

namespace orvalt {

std::string LimitsInUse::Take(const std::filesystem::path& file) {
    Result<LimitsAndText> loaded = ReadLimitsFile(file);
    if (!loaded) {
        return loaded.Error();
    }
    LimitsAndText taken = std::move(loaded).Value();
    limits_ = std::move(taken.limits);
    text_ = std::move(taken.text);
    file_ = file;
    return {};
}

std::string LimitsInUse::Restore(RegistryStore& store) {
    const std::filesystem::path remembered = LoadLimitsPath(store);
    return remembered.empty() ? std::string() : Take(remembered);
}

std::string LimitsInUse::Load(const std::filesystem::path& file, RegistryStore& store,
                              std::string* rememberError) {
    std::string error = Take(file);
    if (!error.empty()) {
        return error;
    }
    const RegStatus saved = SaveLimitsPath(store, file);
    if (!saved.Ok() && rememberError) {
        *rememberError = saved.message;
    }
    return {};
}

}  // namespace orvalt

#include "sim/ProfileJson.h"

#include "platform/SafeFile.h"

namespace orvalt {

namespace {

constexpr std::size_t kMaxProfileBytes = 1024 * 1024;
constexpr std::size_t kMaxKeyShown = 80;

}  // namespace

std::string ShownKey(const std::string& key) {
    return key.size() <= kMaxKeyShown ? key : key.substr(0, kMaxKeyShown) + "...";
}

Result<std::string> ReadProfileFile(const std::filesystem::path& path, std::string_view what,
                                    const std::atomic<bool>* stop) {
    auto file = ReadRegularFile(path, kMaxProfileBytes, stop);
    if (!file) {
        return Fail(std::string(what)
                        .append(": can't open ")
                        .append(path.string())
                        .append(": ")
                        .append(file.Error().reason));
    }
    return std::move(file).Value();
}

Result<nlohmann::json> ParseProfileObject(std::string_view json, std::string_view what) {
    nlohmann::json document = nlohmann::json::parse(json, nullptr, false);
    if (document.is_discarded()) {
        return Fail(std::string(what).append(": not valid JSON"));
    }
    if (!document.is_object()) {
        return Fail(std::string(what).append(": must be a JSON object"));
    }
    return document;
}

}  // namespace orvalt

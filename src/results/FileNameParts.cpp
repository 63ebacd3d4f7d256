#include "results/FileNameParts.h"

#include <algorithm>

namespace orvalt {

namespace {
constexpr std::string_view kNameUnsafe = "<>:/\\|?*";
}  // namespace

std::string SafeFileNamePart(std::string_view text) {
    std::string name(text);
    for (char& c : name) {
        if (kNameUnsafe.find(c) != std::string_view::npos) {
            c = '_';
        }
    }
    return name;
}

std::string InsertBeforeExtension(std::string_view name, std::string_view text) {
    const std::size_t point = std::min(name.rfind('.'), name.size());
    std::string result(name.substr(0, point));
    result += text;
    result += name.substr(point);
    return result;
}

}  // namespace orvalt

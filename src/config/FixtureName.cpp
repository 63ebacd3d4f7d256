#include "config/FixtureName.h"

#include <algorithm>

#include "config/SettingsTable.h"
#include "domain/Format.h"

namespace orvalt {

namespace {

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

std::string FixtureNameError(std::string_view name) {
    if (name.empty()) {
        return "the fixture name is empty";
    }
    if (name.size() > kMaxFixtureNameLength) {
        return Format("the fixture name is longer than %zu characters", kMaxFixtureNameLength);
    }
    if (name.find('\\') != std::string_view::npos) {
        return "the fixture name holds a backslash";
    }
    if (std::ranges::any_of(name, IsControl)) {
        return "the fixture name holds a control character";
    }
    return {};
}

std::string FixtureKeyPath(std::string_view name) {
    return std::string(kProgramKey) + "\\" + std::string(kFixturesSubkey) + "\\" +
           std::string(name);
}

}  // namespace orvalt

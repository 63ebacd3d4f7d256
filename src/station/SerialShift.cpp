#include "station/SerialShift.h"

#include <algorithm>
#include <cctype>

namespace orvalt {

namespace {

bool Blank(std::string_view serial) {
    return std::all_of(serial.begin(), serial.end(),
                       [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

std::string RetestQuestion(std::string_view serial, int runsSoFar) {
    return std::string(serial) + " has already been tested at this station (" +
           std::to_string(runsSoFar) + (runsSoFar == 1 ? " run" : " runs") +
           "). Test it again as attempt " + std::to_string(runsSoFar + 1) + "?";
}

StartCheck SerialShift::Check(std::string_view serial) const {
    if (Blank(serial)) {
        return required_ ? StartCheck::SerialMissing : StartCheck::Go;
    }
    return RunsOf(serial) > 0 ? StartCheck::Retest : StartCheck::Go;
}

int SerialShift::Started(std::string_view serial) {
    if (Blank(serial)) {
        return 1;
    }
    const auto [entry, added] = runs_.try_emplace(std::string(serial), 0);
    return ++entry->second;
}

int SerialShift::RunsOf(std::string_view serial) const {
    const auto found = runs_.find(serial);
    return found == runs_.end() ? 0 : found->second;
}

}  // namespace orvalt

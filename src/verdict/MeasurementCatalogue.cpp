#include "verdict/MeasurementCatalogue.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace orvalt {

namespace {

// Per level: the summary line's value (cycle N), each cycle's value, then the
// maximum, minimum and average of the level's "TEST n, Vk" log line.
void AddLevel(std::vector<MeasurementInfo>& catalogue, const std::string& level) {
    for (const char* suffix : {"", ".c1", ".c2", ".c3", ".c4", ".max", ".min", ".avg"}) {
        catalogue.push_back({level + suffix, 2});
    }
}

std::vector<MeasurementInfo> BuildCatalogue() {
    std::vector<MeasurementInfo> catalogue{{"NotCycling", 0}};
    for (const char* level : {"V1", "V2", "V3", "V4"}) {
        AddLevel(catalogue, level);
    }
    for (const char* seconds : {"CT", "TimeToOn", "TimeToOffA", "TimeToOffB"}) {
        catalogue.push_back({seconds, 2});
    }
    for (const char* count :
         {"Delay", "SaveNotAsExpected", "PriorCount", "DiagValue", "RepetitionsFailed"}) {
        catalogue.push_back({count, 0});
    }
    return catalogue;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::span<const MeasurementInfo> MeasurementCatalogue() {
    static const std::vector<MeasurementInfo> catalogue = BuildCatalogue();
    return catalogue;
}

const MeasurementInfo* FindMeasurement(std::string_view name) {
    const auto catalogue = MeasurementCatalogue();
    const auto found = std::find_if(catalogue.begin(), catalogue.end(), [name](const auto& entry) {
        return SameIgnoringCase(entry.name, name);
    });
    return found == catalogue.end() ? nullptr : &*found;
}

}  // namespace orvalt

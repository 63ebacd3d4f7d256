#include "results/FixtureFileNames.h"

#include "results/FileNameParts.h"
#include "results/TestDataExport.h"

namespace orvalt {

namespace {

std::string WithFixtureName(std::string_view name, std::string_view fixture) {
    if (fixture.empty()) {
        return std::string(name);
    }
    // Appended, not "-" + part: GCC 12 at -O3 warns (-Wrestrict) on that form.
    std::string suffix(1, '-');
    suffix += SafeFileNamePart(fixture);
    return InsertBeforeExtension(name, suffix);
}

}  // namespace

std::string FixtureTestDataName(std::string_view fixture, std::string_view manufacturer,
                                std::string_view model) {
    return WithFixtureName(DefaultTestDataName(manufacturer, model), fixture);
}

std::filesystem::path FixtureTestDataPath(const std::filesystem::path& dataDirPath,
                                          std::string_view fixture, std::string_view manufacturer,
                                          std::string_view model) {
    const std::filesystem::path path = DefaultTestDataPath(dataDirPath, manufacturer, model);
    return path.parent_path() / FixtureTestDataName(fixture, manufacturer, model);
}

std::string DefaultDiagSaveName(std::string_view fixture) {
    return fixture.empty() ? std::string() : WithFixtureName("Diag.txt", fixture);
}

}  // namespace orvalt

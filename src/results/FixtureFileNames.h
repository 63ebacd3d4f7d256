#pragma once
// The file names a fixture proposes. Several fixtures save into one data
// folder, so each puts its name into its default names and no two of them
// propose the same file; the contents of the files do not change.

#include <filesystem>
#include <string>
#include <string_view>

namespace orvalt {

// DefaultTestDataName, with "-" and the fixture name before ".csv"
// ("Acme-X1-Bay 2.csv"); without a fixture name exactly DefaultTestDataName.
// The "_Sum" companion follows from it. Characters a file name can't hold
// become '_' as in the description texts.
std::string FixtureTestDataName(std::string_view fixture, std::string_view manufacturer,
                                std::string_view model);

// DefaultTestDataPath with the fixture's name: the data folder (or the home
// folder when none is set) and FixtureTestDataName.
std::filesystem::path FixtureTestDataPath(const std::filesystem::path& dataDirPath,
                                          std::string_view fixture, std::string_view manufacturer,
                                          std::string_view model);

// The name SAV proposes for the diagnostic lines: none without a fixture name
// (the dialog starts empty, as it always has), "Diag-NAME.txt" with one.
std::string DefaultDiagSaveName(std::string_view fixture);

}  // namespace orvalt

#pragma once
// The station's saves the file tests aim at the same places: each writes a
// small result to `file` and answers the words of its failure, or nothing.

#include <filesystem>
#include <string>

namespace orvalt::test {

std::string SaveTestDataTo(const std::filesystem::path& file);  // and its "_Sum" and totals
std::string SaveDiagRowsTo(const std::filesystem::path& file);  // SAV
std::string SaveSettingsTo(const std::filesystem::path& file);

}  // namespace orvalt::test

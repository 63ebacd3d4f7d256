#pragma once
// A fresh folder under the system's temporary folder, removed with everything
// in it (whatever its permissions) when the test ends. Others may enter it, so
// that a child that gave up root still reaches the files a test prepared.

#include <filesystem>
#include <string>
#include <string_view>

namespace orvalt::test {

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// The whole file as bytes; empty when it can't be read.
std::string ReadBytes(const std::filesystem::path& file);
// Creates or empties `file` (and the folders it lies in) and writes `bytes`.
void WriteBytes(const std::filesystem::path& file, std::string_view bytes);

}  // namespace orvalt::test

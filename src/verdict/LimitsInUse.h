#pragma once
// The limits a station judges with, and the file they came from. Loading a
// file that is refused keeps the limits in force (and the remembered file);
// a file that loads replaces them and is remembered for the next start.

#include <filesystem>
#include <optional>
#include <string>

#include "config/RegistryStore.h"
#include "verdict/LimitsFile.h"

namespace orvalt {

class LimitsInUse {
  public:
    // At start: the remembered file, if one is. Empty when there is nothing to
    // load or it loaded; otherwise why not, and the station runs without limits.
    std::string Restore(RegistryStore& store);
    // "Load Limits..." or --limits. Empty on success; otherwise the reason
    // ("Line 3: unknown measurement \"V5\""), and nothing changes. A file that
    // loads but cannot be remembered is in force all the same: `rememberError`
    // then says why.
    std::string Load(const std::filesystem::path& file, RegistryStore& store,
                     std::string* rememberError = nullptr);

    // Null while no limits are loaded: then there are no verdicts.
    const Limits* Current() const { return limits_ ? &*limits_ : nullptr; }
    const std::filesystem::path& File() const { return file_; }
    // The file's exact bytes as the limits in force were parsed from them.
    const std::string& Text() const { return text_; }

  private:
    std::string Take(const std::filesystem::path& file);

    std::optional<Limits> limits_;
    std::filesystem::path file_;
    std::string text_;
};

}  // namespace orvalt

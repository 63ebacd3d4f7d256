#pragma once
// The per-user registry (HKEY_CURRENT_USER) with the Windows registry's calls
// and value types, kept in one ".reg" text file (RegText.h), by default
// $XDG_CONFIG_HOME/Kestrune/Orvalt.reg. Closing a changed key writes the whole
// file atomically, every line but the changed values byte for byte. One thread
// at a time. More: docs/design/settings-file.md.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"
#include "config/RegDocument.h"

namespace orvalt {

using LSTATUS = std::int32_t;

// Status codes as Windows numbers them.
constexpr LSTATUS ERROR_SUCCESS = 0;
constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
constexpr LSTATUS ERROR_INVALID_DATA = 13;
constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
constexpr LSTATUS ERROR_CANTREAD = 1012;
constexpr LSTATUS ERROR_CANTWRITE = 1013;

struct RegStatus {
    LSTATUS code = ERROR_SUCCESS;
    // Empty on success. When the file is at fault it names the file, in words fit
    // for a message box.
    std::string message;

    bool Ok() const { return code == ERROR_SUCCESS; }
};

// An open key, as OpenKey and CreateKey hand it out. It names the key, so it
// stays good when the store reads its file again.
class RegKey {
  public:
    bool IsOpen() const { return open_; }

  private:
    friend class RegistryStore;
    std::string path_;
    bool open_ = false;
};

class RegistryStore {
  public:
    // An empty path means there is nowhere to keep settings: nothing loads, and
    // saving fails with a message saying so.
    explicit RegistryStore(std::filesystem::path file);

    // `path` is below HKEY_CURRENT_USER, parts joined by '\' ("Software\Kestrune");
    // empty is HKEY_CURRENT_USER itself. A key exists when it is stored or a
    // subkey of it is. ERROR_FILE_NOT_FOUND when it does not; ERROR_CANTREAD
    // when the file is there but cannot be read.
    RegStatus OpenKey(std::string_view path, RegKey& key);
    // Opens the key, creating it and any missing parents. Refuses (ERROR_CANTREAD)
    // when the file exists but could not be read, rather than overwrite it later.
    RegStatus CreateKey(std::string_view path, RegKey& key);
    // Writes the file when anything changed since the last write, and closes the
    // key. When the write fails the old file stays whole, the changes are kept,
    // the key is closed all the same, and the status says why.
    RegStatus CloseKey(RegKey& key);

    // The settings file (empty: there is none).
    const std::filesystem::path& File() const { return file_; }
    // Its bytes as last read or written; empty when it is missing.
    const std::string& FileText() const { return text_; }

    // The value's type and its stored bytes, exactly; ERROR_FILE_NOT_FOUND when
    // there is no such value.
    Result<RegValue, LSTATUS> QueryValue(const RegKey& key, std::string_view name) const;
    // Every value name of the key, in stored order.
    std::vector<std::string> ValueNames(const RegKey& key) const;
    // The names of the key's direct subkeys, each once, in stored order.
    std::vector<std::string> SubkeyNames(const RegKey& key) const;

    // `name` empty is the key's default value. A name holding CR or LF cannot be
    // stored in the file and is refused (ERROR_INVALID_PARAMETER).
    RegStatus SetValue(const RegKey& key, std::string_view name, std::uint32_t type,
                       std::string_view data);
    // REG_SZ holding exactly the text's bytes, without a terminating zero.
    RegStatus SetStringValue(const RegKey& key, std::string_view name, std::string_view text);
    RegStatus SetDwordValue(const RegKey& key, std::string_view name, std::uint32_t value);
    // Removes the value; removing one that is not there is no error.
    RegStatus DeleteValue(const RegKey& key, std::string_view name);

  private:
    RegStatus OpenOrCreateKey(std::string_view path, RegKey& key, bool create);
    RegStatus Reload();
    RegStatus Commit();
    std::string FullPath(std::string_view path) const;

    std::filesystem::path file_;
    std::string text_;  // the file as last read or written
    RegDocument document_;
    RegStatus readStatus_;
    bool dirty_ = false;
};

// Where the station keeps its settings file: $XDG_CONFIG_HOME/Kestrune/Orvalt.reg,
// else $HOME/.config/Kestrune/Orvalt.reg, else below the home folder of the
// user's account entry. Empty when there is no home folder at all: an empty
// variable never stands for the file system root.
std::filesystem::path DefaultRegistryPath();

// The same rule over given variable values (either may be null). Relative
// values are ignored, as the XDG rules ask.
std::filesystem::path RegistryPathFrom(const char* xdgConfigHome, const char* home);

}  // namespace orvalt

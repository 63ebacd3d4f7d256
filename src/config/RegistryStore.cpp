#include "config/RegistryStore.h"

#include <cstdlib>
#include <set>

#include "config/RegText.h"
#include "config/RegTextRewrite.h"
#include "domain/DatabaseUrl.h"
#include "platform/SafeFile.h"
#include "platform/UserAccount.h"

namespace orvalt {

namespace {

// A results database URL with its password in it (set by hand or by a tool)
// makes the whole file a secret.
bool HoldsDatabasePassword(const RegDocument& document) {
    for (const RegKeyData& key : document.Keys()) {
        for (const RegKeyData::Entry& entry : key.Entries()) {
            if (entry.present && entry.value.type == REG_SZ && HoldsPassword(entry.value.data)) {
                return true;
            }
        }
    }
    return false;
}

constexpr std::string_view kRootKey = "HKEY_CURRENT_USER";
// Far beyond any real settings file; it only stops a runaway file from
// exhausting memory.
constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

// Parts joined by single backslashes, nothing a ".reg" key line cannot hold.
bool IsValidKeyPath(std::string_view path) {
    if (path.empty()) {
        return true;
    }
    return path.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos &&
           !path.starts_with('\\') && !path.ends_with('\\') &&
           path.find("\\\\") == std::string_view::npos;
}

bool IsValidValueName(std::string_view name) {
    return name.find_first_of("\r\n") == std::string_view::npos;
}

RegStatus BadHandle() {
    return {ERROR_INVALID_HANDLE, "The registry key is not open."};
}

RegStatus BadKeyPath(std::string_view path) {
    return {ERROR_INVALID_PARAMETER, "Invalid registry key path \"" + std::string(path) + "\"."};
}

}  // namespace

RegistryStore::RegistryStore(std::filesystem::path file) : file_(std::move(file)) {}

std::string RegistryStore::FullPath(std::string_view path) const {
    return path.empty() ? std::string(kRootKey) : std::string(kRootKey) + "\\" + std::string(path);
}

// The file is read afresh whenever nothing is waiting to be written, so that an
// edit made while the station ran is seen and kept.
RegStatus RegistryStore::Reload() {
    if (dirty_) {
        return readStatus_;
    }
    auto read = ReadRegularFile(file_, kMaxFileBytes);
    text_ = read ? std::move(*read) : std::string();
    document_ = ParseRegText(text_);
    readStatus_ = read || read.Error().missing ? RegStatus{}
                                               : RegStatus{ERROR_CANTREAD, read.Error().message};
    return readStatus_;
}

RegStatus RegistryStore::Commit() {
    if (file_.empty()) {
        return {ERROR_CANTWRITE,
                "The settings cannot be saved: there is no home folder to keep them in "
                "(neither XDG_CONFIG_HOME nor HOME is set)."};
    }
    std::string text = FormatRegTextOver(text_, document_);
    const Result<void> written = ReplaceFileAtomically(
        file_, text,
        ReplaceOptions{.createFolder = true, .ownerOnly = HoldsDatabasePassword(document_)});
    if (!written) {
        return {ERROR_CANTWRITE, written.Error()};
    }
    text_ = std::move(text);
    dirty_ = false;
    return {};
}

RegStatus RegistryStore::OpenKey(std::string_view path, RegKey& key) {
    return OpenOrCreateKey(path, key, false);
}

RegStatus RegistryStore::CreateKey(std::string_view path, RegKey& key) {
    return OpenOrCreateKey(path, key, true);
}

RegStatus RegistryStore::OpenOrCreateKey(std::string_view path, RegKey& key, bool create) {
    key = RegKey{};
    if (!IsValidKeyPath(path)) {
        return BadKeyPath(path);
    }
    if (RegStatus status = Reload(); !status.Ok()) {
        return status;
    }
    std::string full = FullPath(path);
    if (!path.empty() && !document_.HasKey(full)) {
        if (!create) {
            return {ERROR_FILE_NOT_FOUND, {}};
        }
        document_.AddKey(full);
        dirty_ = true;
    }
    key.path_ = std::move(full);
    key.open_ = true;
    return {};
}

RegStatus RegistryStore::CloseKey(RegKey& key) {
    if (!key.open_) {
        return BadHandle();
    }
    key = RegKey{};
    return dirty_ ? Commit() : RegStatus{};
}

Result<RegValue, LSTATUS> RegistryStore::QueryValue(const RegKey& key,
                                                    std::string_view name) const {
    if (!key.open_) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const RegKeyData* stored = document_.FindKey(key.path_);
    const RegValue* value = stored != nullptr ? stored->Find(name) : nullptr;
    if (value == nullptr) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    return *value;
}

std::vector<std::string> RegistryStore::ValueNames(const RegKey& key) const {
    std::vector<std::string> names;
    const RegKeyData* stored = key.open_ ? document_.FindKey(key.path_) : nullptr;
    if (stored == nullptr) {
        return names;
    }
    for (const RegKeyData::Entry& entry : stored->Entries()) {
        if (entry.present) {
            names.push_back(entry.name);
        }
    }
    return names;
}

std::vector<std::string> RegistryStore::SubkeyNames(const RegKey& key) const {
    std::vector<std::string> names;
    if (!key.open_) {
        return names;
    }
    const std::size_t prefix = key.path_.size() + 1;
    const std::string folded = FoldName(key.path_) + "\\";
    std::set<std::string> seen;
    for (const RegKeyData& stored : document_.Keys()) {
        if (!FoldName(stored.Path()).starts_with(folded)) {
            continue;
        }
        const std::string_view below = std::string_view(stored.Path()).substr(prefix);
        const std::string name(below.substr(0, below.find('\\')));
        if (seen.insert(FoldName(name)).second) {
            names.push_back(name);
        }
    }
    return names;
}

RegStatus RegistryStore::SetValue(const RegKey& key, std::string_view name, std::uint32_t type,
                                  std::string_view data) {
    if (!key.open_) {
        return BadHandle();
    }
    if (!IsValidValueName(name)) {
        return {ERROR_INVALID_PARAMETER, "A registry value name cannot hold a line break."};
    }
    document_.AddKey(key.path_).Set(name, RegValue{type, std::string(data)});
    dirty_ = true;
    return {};
}

RegStatus RegistryStore::SetStringValue(const RegKey& key, std::string_view name,
                                        std::string_view text) {
    return SetValue(key, name, REG_SZ, text);
}

RegStatus RegistryStore::SetDwordValue(const RegKey& key, std::string_view name,
                                       std::uint32_t value) {
    return SetValue(key, name, REG_DWORD, DwordBytes(value));
}

RegStatus RegistryStore::DeleteValue(const RegKey& key, std::string_view name) {
    if (!key.open_) {
        return BadHandle();
    }
    if (RegKeyData* data = document_.FindKey(key.path_); data && data->Find(name)) {
        data->Remove(name);
        dirty_ = true;
    }
    return {};
}

std::filesystem::path RegistryPathFrom(const char* xdgConfigHome, const char* home) {
    const auto usable = [](const char* folder) { return folder != nullptr && folder[0] == '/'; };
    if (usable(xdgConfigHome)) {
        return std::filesystem::path(xdgConfigHome) / "Kestrune" / "Orvalt.reg";
    }
    if (usable(home)) {
        return std::filesystem::path(home) / ".config" / "Kestrune" / "Orvalt.reg";
    }
    return {};
}

std::filesystem::path DefaultRegistryPath() {
    std::filesystem::path path =
        RegistryPathFrom(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    if (path.empty()) {
        path = RegistryPathFrom(nullptr, AccountHome().c_str());
    }
    return path;
}

}  // namespace orvalt

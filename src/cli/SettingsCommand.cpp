// orvalt-cli settings get|set|list: the settings file read as the station
// reads it and changed as the station writes it, one value at a time, so that
// a line PC is set up without a window and without writing the file by hand.

#include <CLI/CLI.hpp>
#include <memory>

#include "cli/RecordsCommandParts.h"
#include "cli/SettingKeys.h"
#include "config/OwnKeyValue.h"
#include "config/RegText.h"
#include "config/SettingsEdit.h"
#include "config/SettingsLock.h"
#include "domain/DatabaseUrl.h"
#include "domain/PrintableText.h"

namespace orvalt {

namespace {

struct SettingsOptions {
    std::string action;
    std::string key;
    std::optional<std::string> value;
};

// Whole, with its control characters escaped and a database password left out.
std::string ShownValue(const std::string& text) {
    const std::string shown = LooksLikeUrl(text) ? ShownDatabase(text) : text;
    return PrintableText(shown, shown.size() + 1);
}

std::string ListLine(const SettingKey& setting, const SettingReading& reading) {
    std::string line = setting.Name();
    if (reading.value) {
        const std::string shown = ShownValue(*reading.value);
        line += " = " + (setting.IsText() ? "\"" + shown + "\"" : shown);
    }
    return reading.note.empty() ? line : line + "  (" + reading.note + ")";
}

// A file that can't be read at all is no settings file to show or change.
int RefuseUnreadable(RegistryStore& store, std::ostream& err) {
    const RegStatus read = SettingsReadStatus(store);
    if (read.Ok()) {
        return kExitRanToEnd;
    }
    err << read.message << '\n';
    return kExitUsage;
}

void WarnOfDamage(const RegistryStore& store, std::ostream& err) {
    if (const std::string damage = RegTextDamage(store.FileText()); !damage.empty()) {
        err << "Warning: in " << store.File().string() << ", " << damage
            << "; the station skips it.\n";
    }
}

void ListForeignValues(const std::vector<SettingKey>& keys, RegistryStore& store,
                       std::ostream& out) {
    std::vector<std::string> seen;
    for (const SettingKey& setting : keys) {
        const std::string path = setting.KeyPath();
        if (std::find(seen.begin(), seen.end(), path) != seen.end()) {
            continue;
        }
        seen.push_back(path);
        for (const std::string& name : ValuesNoSettingNames(keys, path, store)) {
            out << setting.key << "\\" << PrintableText(name)
                << "  (no setting of the station: it is kept and not read)\n";
        }
    }
}

int List(const SettingsOptions& options, RegistryStore& store, std::ostream& out,
         std::ostream& err) {
    if (const int refused = RefuseUnreadable(store, err); refused != kExitRanToEnd) {
        return refused;
    }
    Result<std::vector<SettingKey>> keys = SettingKeysBelow(options.key, store);
    if (!keys) {
        // A single value is listed as well as a key.
        Result<SettingKey> one = FindSettingKey(options.key);
        if (!one) {
            err << "orvalt-cli settings: " << keys.Error() << '\n';
            return kExitUsage;
        }
        keys = std::vector<SettingKey>{*one};
    }
    WarnOfDamage(store, err);
    for (const SettingKey& setting : *keys) {
        out << ListLine(setting, ReadSetting(setting, store)) << '\n';
    }
    ListForeignValues(*keys, store, out);
    return kExitRanToEnd;
}

int Get(const SettingKey& setting, RegistryStore& store, std::ostream& out, std::ostream& err) {
    if (const int refused = RefuseUnreadable(store, err); refused != kExitRanToEnd) {
        return refused;
    }
    WarnOfDamage(store, err);
    out << ShownValue(ReadSetting(setting, store).value.value_or("")) << '\n';
    return kExitRanToEnd;
}

RegStatus WriteUnlessDamaged(const SettingKey& setting, const RegValue& value,
                             RegistryStore& store) {
    return EditUnlessDamaged(
        store, [&] { return WriteOwnKeyValue(store, setting.KeyPath(), setting.value, value); });
}

int Set(const SettingKey& setting, const std::string& text, RegistryStore& store, std::ostream& out,
        std::ostream& err) {
    const Result<RegValue> value = ValueToStore(setting, text);
    if (!value) {
        err << "orvalt-cli settings: bad value for " << setting.Name() << ": " << value.Error()
            << '\n';
        return kExitUsage;
    }
    const RegStatus written = WriteUnlessDamaged(setting, *value, store);
    if (!written.Ok()) {
        err << written.message << '\n';
        return written.code == ERROR_INVALID_DATA || written.code == ERROR_CANTREAD ? kExitUsage
                                                                                    : kExitNotSaved;
    }
    out << ListLine(setting, ReadSetting(setting, store)) << '\n';
    return kExitRanToEnd;
}

int RunSettings(const SettingsOptions& options, std::ostream& out, std::ostream& err) {
    RegistryStore store(DefaultRegistryPath());
    if (options.action == "list") {
        if (options.value) {
            err << "orvalt-cli settings: list takes a key at most\n";
            return kExitUsage;
        }
        return List(options, store, out, err);
    }
    if (options.key.empty()) {
        err << "orvalt-cli settings: " << options.action << " needs a KEY\n";
        return kExitUsage;
    }
    const Result<SettingKey> setting = FindSettingKey(options.key);
    if (!setting) {
        err << "orvalt-cli settings: " << setting.Error() << '\n';
        return kExitUsage;
    }
    if (options.action == "get") {
        if (options.value) {
            err << "orvalt-cli settings: get takes no VALUE\n";
            return kExitUsage;
        }
        return Get(*setting, store, out, err);
    }
    if (!options.value) {
        err << "orvalt-cli settings: set needs a VALUE (\"\" for an empty text)\n";
        return kExitUsage;
    }
    return Set(*setting, *options.value, store, out, err);
}

}  // namespace

RecordsCommand AddSettingsCommand(CLI::App& app) {
    auto options = std::make_shared<SettingsOptions>();
    app.description(
        "Shows and changes the settings file as the station reads and writes it. KEY is the key\n"
        "below HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt, a backslash and the value:\n"
        "Location\\VoltageOn, Results\\ResultsDatabase, Fixtures\\Bay 1\\CommPort (quote it).");
    app.add_option("ACTION", options->action, "get, set or list")
        ->required()
        ->check(CLI::IsMember({"get", "set", "list"}));
    app.add_option("KEY", options->key, "the setting (list: a key, or nothing for all)");
    app.add_option("VALUE", options->value, "set: the new value (after -- when it starts with -)");
    return
        [options](std::ostream& out, std::ostream& err) { return RunSettings(*options, out, err); };
}

}  // namespace orvalt

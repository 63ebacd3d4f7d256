#include "cli/SettingKeys.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>

#include "cli/RecordsCommandParts.h"
#include "cli/WholeNumberText.h"
#include "config/FixtureAccent.h"
#include "config/FixtureName.h"
#include "config/LimitsSetting.h"
#include "config/OwnKeyValue.h"
#include "config/PlotPanelSetting.h"
#include "config/SettingsTable.h"
#include "config/ShiftSetting.h"
#include "config/WindowPlaceSetting.h"
#include "domain/DatabaseUrl.h"
#include "domain/Format.h"
#include "domain/PrintableText.h"
#include "records/ResultsSetting.h"

namespace orvalt {

namespace {

constexpr std::int32_t kMaxNumber = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMinNumber = std::numeric_limits<std::int32_t>::min();
// A table text longer than this is not loaded (the station's 128-byte buffer).
constexpr std::size_t kMaxTableText = 127;
constexpr std::int32_t kLastTtoOption = 15;
constexpr std::int32_t kLastCommPort = 64;

// Appended piece by piece: GCC 12 at -O3 takes "lit" + text for an
// overlapping copy (-Wrestrict).
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    quoted.append(PrintableText(text)).append("\"");
    return quoted;
}

// `what` names what the number is, as in "\"-1\" is not a time in milliseconds".
std::string NumberFrom(const std::string& text, std::int32_t lowest, std::int32_t highest,
                       const char* what) {
    const std::optional<std::int32_t> number = WholeNumberIn<std::int32_t>(text);
    if (number && *number >= lowest && *number <= highest) {
        return {};
    }
    const std::string range = highest == kMaxNumber ? Format("from %d", lowest)
                                                    : Format("from %d to %d", lowest, highest);
    return Quoted(text) + " is not " + what + ": a whole number " + range;
}

std::string TableTextCheck(const std::string& text) {
    if (text.size() > kMaxTableText) {
        return Format("the text is %zu bytes long; the station reads at most %zu", text.size(),
                      kMaxTableText);
    }
    return text.find_first_of("\r\n") == std::string::npos ? "" : "the text holds a line break";
}

// Digits with at most one decimal point, as the station writes its defaults
// (".5", "1.5"): atof would read "1,5" or "1.5V" in part, silently.
std::string VoltageCheck(const std::string& text) {
    const bool digits = text.find_first_of("0123456789") != std::string::npos &&
                        text.find_first_not_of("0123456789.") == std::string::npos &&
                        std::count(text.begin(), text.end(), '.') <= 1;
    return digits ? "" : Quoted(text) + " is not a voltage of 0 or more written like 1.5";
}

std::string MillisecondsCheck(const std::string& text) {
    return NumberFrom(text, 0, kMaxNumber, "a time in milliseconds");
}

std::string SecondsCheck(const std::string& text) {
    return NumberFrom(text, 1, kMaxNumber, "a time in seconds");
}

std::string PixelsCheck(const std::string& text) {
    return NumberFrom(text, 0, kMaxNumber, "a size in pixels");
}

std::string PositionCheck(const std::string& text) {
    return NumberFrom(text, kMinNumber, kMaxNumber, "a position in pixels");
}

std::string TtoOptionCheck(const std::string& text) {
    return NumberFrom(text, 0, kLastTtoOption, "a Time to OFF option");
}

std::string CommPortCheck(const std::string& text) {
    return NumberFrom(text, 0, kLastCommPort, "a CommPort number (see docs/serial-ports.md)");
}

std::string BaudRateCheck(const std::string& text) {
    return NumberFrom(text, 1, kMaxNumber, "a baud rate");
}

std::string OnOffCheck(const std::string& text) {
    return NumberFrom(text, 0, 1, "1 (on) or 0 (off)");
}

std::string U3SerialCheck(const std::string& text) {
    if (text.empty() || WholeNumberIn<std::uint32_t>(text)) {
        return {};
    }
    return Quoted(text) + " is not a U3 serial number (a whole number), nor empty for any U3";
}

std::string AccentCheck(const std::string& text) {
    return ParseAccent(text) ? "" : Quoted(text) + " is not a colour written #RRGGBB";
}

// A file of the station's own named by where it is: the window and the runner
// start in folders of their own, where a relative name would mean other files.
std::string FullPathCheck(const std::string& text) {
    if (text.empty() || std::filesystem::path(text).is_absolute()) {
        return {};
    }
    return Quoted(text) + " is not a full path (from /)";
}

// Never repeats the text: a URL may hold a password.
std::string DatabaseCheck(const std::string& text) {
    if (LooksLikeUrl(text)) {
        const std::string why = DatabaseValidator(text);
        return why.empty() ? "" : "the results database is " + why;
    }
    return text.empty() || std::filesystem::path(text).is_absolute()
               ? ""
               : "a SQLite file is named by its full path (from /)";
}

struct TableCheck {
    std::string_view prefix;
    std::string (*check)(const std::string&);
};

constexpr TableCheck kTableChecks[] = {
    {"Voltage", VoltageCheck},          {"ColumnWidth", PixelsCheck},
    {"timeToOffSeconds", SecondsCheck}, {"CommPort", CommPortCheck},
    {"BaudRate", BaudRateCheck},        {"TTOTestOption", TtoOptionCheck},
    {"U3SerialNumber", U3SerialCheck},
};

// The times in milliseconds (cfgTime1 .. 7, cfgLevelDuration,
// TaskTerminateWaitTime) are every number the list does not name.
auto CheckOf(const SettingBinding& row) -> std::string (*)(const std::string&) {
    for (const TableCheck& entry : kTableChecks) {
        if (row.valueName.starts_with(entry.prefix)) {
            return entry.check;
        }
    }
    return row.kind == SettingKind::Text ? TableTextCheck : MillisecondsCheck;
}

std::string BelowProgramKey(std::string_view path) {
    return std::string(path.substr(kProgramKey.size() + 1));
}

// The values of the table's sections for a fixture (none: the station's own).
std::vector<SettingKey> TableKeys(std::string_view fixture, std::string_view subkey = {}) {
    SettingsRecord record;
    const auto table = BuildFixtureSettingsTable(record, fixture);
    std::vector<SettingKey> keys;
    for (const SettingsSection& section : table->sections) {
        if (!subkey.empty() && FoldName(section.subkey) != FoldName(subkey)) {
            continue;
        }
        // The rows are walked newest first; a person reads them as declared.
        for (auto row = section.rows.rbegin(); row != section.rows.rend(); ++row) {
            const bool text = row->kind == SettingKind::Text;
            keys.push_back({section.subkey, row->valueName,
                            text ? SettingRule::TableText : SettingRule::TableNumber,
                            text ? row->textDefault : std::to_string(row->numberDefault),
                            CheckOf(*row)});
        }
    }
    return keys;
}

std::vector<SettingKey> WindowKeys(std::string_view fixture) {
    const std::string key = BelowProgramKey(WindowPlaceKey(fixture));
    return {{key, "X", SettingRule::OwnNumber, std::nullopt, PositionCheck},
            {key, "Y", SettingRule::OwnNumber, std::nullopt, PositionCheck},
            {key, "Width", SettingRule::OwnNumber, std::nullopt, PixelsCheck},
            {key, "Height", SettingRule::OwnNumber, std::nullopt, PixelsCheck}};
}

std::vector<SettingKey> FixtureKeys(const std::string& fixture) {
    std::vector<SettingKey> keys = TableKeys(fixture);
    keys.push_back({BelowProgramKey(FixtureKeyPath(fixture)), std::string(kAccentColourValue),
                    SettingRule::OwnText, Format("#%06X", DefaultAccent(fixture)), AccentCheck});
    return keys;
}

SettingKey OwnKey(std::string_view path, std::string_view value, SettingRule rule,
                  std::optional<std::string> byDefault, std::string (*check)(const std::string&)) {
    return {BelowProgramKey(path), std::string(value), rule, std::move(byDefault), check};
}

// The station's keys beside Location, each with its values.
std::vector<SettingKey> OwnKeys(std::string_view folded) {
    if (folded == "window") {
        return WindowKeys({});
    }
    if (folded == "results") {
        return {OwnKey(kResultsKey, kResultsDatabaseValue, SettingRule::OwnText,
                       DefaultResultsDatabase().string(), DatabaseCheck)};
    }
    if (folded == "limits") {
        return {OwnKey(kLimitsKey, kLimitsFileValue, SettingRule::OwnText, "", FullPathCheck)};
    }
    if (folded == "shift") {
        return {OwnKey(kShiftKey, kRequireSerialValue, SettingRule::OwnNumber, "0", OnOffCheck)};
    }
    if (folded == "plot") {
        return {OwnKey(kPlotPanelKey, "Width", SettingRule::OwnNumber, std::nullopt, PixelsCheck),
                OwnKey(kPlotPanelKey, "Height", SettingRule::OwnNumber, std::nullopt, PixelsCheck)};
    }
    return {};
}

constexpr const char* kKeysInWords =
    "the keys are Location, Device, Window, Results, Limits, Shift, Plot, Fixtures\\NAME and "
    "Fixtures\\NAME\\Window (orvalt-cli settings list shows every setting)";

// The settings of one key, named below the program key.
Result<std::vector<SettingKey>> KeysOf(std::string_view key) {
    const std::string folded = FoldName(key);
    if (folded == "location" || folded == "device") {
        return TableKeys({}, key);
    }
    if (std::vector<SettingKey> own = OwnKeys(folded); !own.empty()) {
        return own;
    }
    if (folded == "drift" || folded.starts_with("drift\\")) {
        return Fail(
            std::string("the drift baselines are frozen and cleared by orvalt-cli spc "
                        "--baseline"));
    }
    const std::string fixtures = FoldName(kFixturesSubkey) + "\\";
    if (!folded.starts_with(fixtures)) {
        return Fail("there is no key " + Quoted(std::string(key)) + "; " + kKeysInWords);
    }
    std::string fixture(key.substr(fixtures.size()));
    const bool window = FoldName(fixture).ends_with("\\window");
    if (window) {
        fixture.resize(fixture.size() - std::string_view("\\window").size());
    }
    if (const std::string why = FixtureNameError(fixture); !why.empty()) {
        return Fail("there is no key " + Quoted(std::string(key)) + ": " + why);
    }
    return window ? WindowKeys(fixture) : FixtureKeys(fixture);
}

std::string_view WithoutRootPrefix(std::string_view name) {
    const std::string root = "hkey_current_user\\" + FoldName(kProgramKey) + "\\";
    return FoldName(name.substr(0, root.size())) == root ? name.substr(root.size()) : name;
}

std::vector<std::string> FixturesInFile(RegistryStore& store) {
    RegKey key;
    if (!store.OpenKey(std::string(kProgramKey) + "\\" + std::string(kFixturesSubkey), key).Ok()) {
        return {};
    }
    std::vector<std::string> names = store.SubkeyNames(key);
    store.CloseKey(key);
    std::erase_if(names, [](const std::string& name) { return !FixtureNameError(name).empty(); });
    return names;
}

void Append(std::vector<SettingKey>& to, std::vector<SettingKey> more) {
    to.insert(to.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}

std::vector<SettingKey> EveryFixturesKeys(RegistryStore& store) {
    std::vector<SettingKey> keys;
    for (const std::string& fixture : FixturesInFile(store)) {
        Append(keys, FixtureKeys(fixture));
        Append(keys, WindowKeys(fixture));
    }
    return keys;
}

std::vector<SettingKey> EveryKey(RegistryStore& store) {
    std::vector<SettingKey> keys = TableKeys({});
    for (const char* own : {"window", "results", "limits", "shift", "plot"}) {
        Append(keys, OwnKeys(own));
    }
    Append(keys, EveryFixturesKeys(store));
    return keys;
}

// What the rule takes from a stored value, as text.
std::optional<std::string> Taken(SettingRule rule, const RegValue& stored) {
    const auto number = [](std::optional<std::int32_t> value) {
        return value ? std::optional(std::to_string(*value)) : std::nullopt;
    };
    switch (rule) {
        case SettingRule::TableText:
            return TakenText(stored);
        case SettingRule::TableNumber:
            return number(TakenNumber(stored));
        case SettingRule::OwnText: {
            std::optional<std::string> text = TextOf(stored);
            return text && !text->empty() ? text : std::nullopt;  // empty is not set
        }
        case SettingRule::OwnNumber: {
            const std::optional<std::uint32_t> dword = DwordOf(stored);
            return number(dword ? std::optional(static_cast<std::int32_t>(*dword)) : std::nullopt);
        }
    }
    return std::nullopt;
}

const char* RuleInWords(SettingRule rule) {
    switch (rule) {
        case SettingRule::TableText:
            return "a text of 1 to 127 bytes";
        case SettingRule::OwnText:
            return "a text";
        case SettingRule::TableNumber:
        case SettingRule::OwnNumber:
            break;
    }
    return "a number (REG_DWORD)";
}

std::optional<RegValue> StoredValue(const SettingKey& setting, RegistryStore& store) {
    RegKey key;
    if (!store.OpenKey(setting.KeyPath(), key).Ok()) {
        return std::nullopt;
    }
    auto stored = store.QueryValue(key, setting.value);
    store.CloseKey(key);
    return stored ? std::optional(*stored) : std::nullopt;
}

}  // namespace

std::string SettingKey::KeyPath() const {
    return std::string(kProgramKey) + "\\" + key;
}

Result<SettingKey> FindSettingKey(std::string_view name) {
    name = WithoutRootPrefix(name);
    const std::size_t split = name.rfind('\\');
    if (split == std::string_view::npos) {
        return Fail("name a key and a value, such as Location\\VoltageOn; " +
                    std::string(kKeysInWords));
    }
    const Result<std::vector<SettingKey>> keys = KeysOf(name.substr(0, split));
    if (!keys) {
        return Fail(keys.Error());
    }
    const std::string value = FoldName(name.substr(split + 1));
    for (const SettingKey& setting : *keys) {
        if (FoldName(setting.value) == value) {
            return setting;
        }
    }
    return Fail("the key " + keys->front().key + " has no setting " +
                Quoted(std::string(name.substr(split + 1))) + " (orvalt-cli settings list " +
                keys->front().key + " shows its settings)");
}

Result<std::vector<SettingKey>> SettingKeysBelow(std::string_view key, RegistryStore& store) {
    key = WithoutRootPrefix(key);
    if (key.empty()) {
        return EveryKey(store);
    }
    if (FoldName(key) == FoldName(kFixturesSubkey)) {
        return EveryFixturesKeys(store);
    }
    Result<std::vector<SettingKey>> keys = KeysOf(key);
    if (keys && keys->front().key.starts_with(kFixturesSubkey) &&
        !FoldName(keys->front().key).ends_with("\\window")) {
        const std::string fixture = keys->front().key.substr(kFixturesSubkey.size() + 1);
        Append(*keys, WindowKeys(fixture));
    }
    return keys;
}

Result<RegValue> ValueToStore(const SettingKey& setting, const std::string& text) {
    if (const std::string why = setting.check(text); !why.empty()) {
        return Fail(why);
    }
    if (setting.IsText()) {
        return RegValue{REG_SZ, text};
    }
    const auto number = static_cast<std::uint32_t>(*WholeNumberIn<std::int32_t>(text));
    return RegValue{REG_DWORD, DwordBytes(number)};
}

SettingReading ReadSetting(const SettingKey& setting, RegistryStore& store) {
    const std::optional<RegValue> stored = StoredValue(setting, store);
    const char* unset = setting.byDefault ? "default" : "not set";
    if (!stored) {
        return {setting.byDefault, unset};
    }
    std::optional<std::string> taken = Taken(setting.rule, *stored);
    if (!taken) {
        const bool empty = stored->type == REG_SZ && stored->data.empty();
        return {setting.byDefault, empty ? std::string(unset)
                                         : std::string(unset) + ": the stored value is not " +
                                               RuleInWords(setting.rule)};
    }
    const std::string why = setting.check(*taken);
    return {std::move(taken), why.empty() ? "" : "stored, but " + why};
}

std::vector<std::string> ValuesNoSettingNames(const std::vector<SettingKey>& settings,
                                              const std::string& keyPath, RegistryStore& store) {
    RegKey key;
    if (!store.OpenKey(keyPath, key).Ok()) {
        return {};
    }
    std::vector<std::string> names = store.ValueNames(key);
    store.CloseKey(key);
    std::erase_if(names, [&](const std::string& name) {
        return std::any_of(settings.begin(), settings.end(), [&](const SettingKey& setting) {
            return FoldName(setting.KeyPath()) == FoldName(keyPath) &&
                   FoldName(setting.value) == FoldName(name);
        });
    });
    return names;
}

}  // namespace orvalt

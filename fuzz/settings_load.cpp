// The station's whole settings load over any settings file, then a save and a
// second load: the save keeps every value the station does not own exactly as
// it was read, and the second load gives the record the first one gave (an
// emptied text excepted: it is saved empty, and an empty text loads as its
// default).

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "FuzzCheck.h"
#include "config/SettingsTable.h"
#include "config/RegText.h"

namespace orvalt {
namespace {

// A private folder for the settings file, in memory where the system has one,
// removed when the fuzzer ends.
class FuzzFolder {
  public:
    FuzzFolder() {
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "orvalt-fuzz-XXXXXX").string();
        Require(::mkdtemp(pattern.data()) != nullptr, "a temporary folder can be made");
        path_ = pattern;
    }
    ~FuzzFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    FuzzFolder(const FuzzFolder&) = delete;
    FuzzFolder& operator=(const FuzzFolder&) = delete;

    std::filesystem::path File() const { return path_ / "Orvalt.reg"; }

  private:
    std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Require(out.good(), "the settings file can be written");
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

SettingsRecord LoadRecord(const std::filesystem::path& file) {
    RegistryStore store(file);
    SettingsRecord record;
    Require(LoadStationSettings(record, store).Ok(), "a readable file always loads");
    return record;
}

void CheckSecondLoad(SettingsRecord first, SettingsRecord second) {
    SettingsRecord defaults;
    const auto firstTable = BuildSettingsTable(first);
    const auto secondTable = BuildSettingsTable(second);
    const auto defaultTable = BuildSettingsTable(defaults);
    ApplyDefaults(*defaultTable);
    const auto& rows = firstTable->sections.at(0).rows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const SettingBinding& again = secondTable->sections.at(0).rows.at(i);
        if (rows[i].kind == SettingKind::Number) {
            Require(*again.numberTarget == *rows[i].numberTarget, "a number loads as saved");
        } else if (rows[i].textTarget->empty()) {
            Require(*again.textTarget == *defaultTable->sections.at(0).rows.at(i).textTarget,
                    "an empty text loads as its default");
        } else {
            Require(*again.textTarget == *rows[i].textTarget, "a text loads as saved");
        }
    }
}

// Folded key path and value name of every value the station writes.
std::set<std::string> StationValues() {
    SettingsRecord record;
    std::set<std::string> values;
    const auto table = BuildSettingsTable(record);
    for (const SettingsSection& section : table->sections) {
        for (const SettingBinding& row : section.rows) {
            values.insert(
                FoldName("HKEY_CURRENT_USER\\" + section.KeyPath() + "\n" + row.valueName));
        }
    }
    return values;
}

void CheckOthersKept(const RegDocument& before, const RegDocument& after) {
    static const std::set<std::string> station = StationValues();
    for (const RegKeyData& key : before.Keys()) {
        const RegKeyData* saved = after.FindKey(key.Path());
        Require(saved != nullptr, "every key is kept");
        for (const RegKeyData::Entry& entry : key.Entries()) {
            if (!entry.present || station.contains(FoldName(key.Path() + "\n" + entry.name))) {
                continue;
            }
            const RegValue* value = saved->Find(entry.name);
            Require(value != nullptr && value->type == entry.value.type &&
                        value->data == entry.value.data,
                    "a value the station does not own is kept exactly");
        }
    }
}

}  // namespace
}  // namespace orvalt

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const orvalt::FuzzFolder folder;
    const std::filesystem::path file = folder.File();
    const std::string_view content = orvalt::BytesOf(data, size);
    orvalt::WriteFile(file, content);
    const orvalt::SettingsRecord first = orvalt::LoadRecord(file);
    orvalt::RegistryStore store(file);
    orvalt::Require(orvalt::SaveStationSettings(first, store).Ok(), "the record saves");
    orvalt::CheckOthersKept(orvalt::ParseRegText(content),
                            orvalt::ParseRegText(orvalt::ReadFile(file)));
    orvalt::CheckSecondLoad(first, orvalt::LoadRecord(file));
    return 0;
}

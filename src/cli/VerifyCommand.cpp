#include <CLI/CLI.hpp>
#include <memory>

#include "cli/RecordsCommandParts.h"
#include "domain/PrintableText.h"
#include "records/SqlConnection.h"
#include "seal/SealCheck.h"
#include "seal/StationKeyFiles.h"

namespace orvalt {

namespace {

struct VerifyOptions {
    std::optional<std::string> db;
    std::vector<std::string> keys;
    bool makeKey = false;
};

// The package's installation does this once; run again, it keeps the key.
int MakeKey(std::ostream& out, std::ostream& err) {
    const StationKeyPlace place = DefaultStationKeyPlace();
    if (place.file.empty()) {
        err << "The station has no place for its key: it has no data folder.\n";
        return kExitNotSaved;
    }
    const Result<StationKeyMade> made = MakeStationKey(place.file);
    if (!made) {
        err << made.Error() << '\n';
        return kExitNotSaved;
    }
    out << (made->made ? "Made the station key " : "The station key ") << place.file.string()
        << (made->made ? "" : " is there already") << " (key " << made->key.Id()
        << "; its public half: " << PublicKeyFile(place.file).string() << ").\n";
    return kExitRanToEnd;
}

int RunVerify(const VerifyOptions& options, std::ostream& out, std::ostream& err) {
    if (options.makeKey)
        return MakeKey(out, err);
    const std::optional<TrustedKeys> keys = KeysForCommand(options.keys, err);
    if (!keys)
        return kExitUsage;
    const RecordsToRead records = OpenRecordsForCommand(options.db, err, kExitRanToEnd);
    if (!records.db)
        return records.status;
    return CheckSealsForCommand(*records.db, *keys, {}, out, err);
}

}  // namespace

void AddKeyOption(CLI::App& app, std::vector<std::string>& keys) {
    app.add_option("--key", keys,
                   "a station's public key to check the seals with: a PEM file, or a folder of "
                   "*.pub files; again for more (default: the keys beside the station's own)")
        ->type_name("FILE|FOLDER");
}

std::optional<TrustedKeys> KeysForCommand(const std::vector<std::string>& keys, std::ostream& err) {
    Result<TrustedKeys> trusted =
        KeysToTrust(std::vector<std::filesystem::path>(keys.begin(), keys.end()));
    if (!trusted) {
        err << PrintableText(trusted.Error(), kMessageShownMax) << '\n';
        return std::nullopt;
    }
    return std::move(*trusted);
}

int CheckSealsForCommand(SqlConnection& db, const TrustedKeys& keys, const SealScope& scope,
                         std::ostream& out, std::ostream& err) {
    const Result<SealTally> tally =
        CheckSeals(db, keys, scope, [&out](const std::string& line) { out << line << '\n'; });
    if (!tally)
        return RecordsUnreadable(err, tally.Error());
    out << SealSummary(*tally) << '\n';
    return tally->Held() ? kExitRanToEnd : kExitSealBroken;
}

RecordsCommand AddVerifyCommand(CLI::App& app) {
    auto options = std::make_shared<VerifyOptions>();
    app.description(
        "Checks the seal of every recorded run with the stations' public keys and names each "
        "broken one: a run changed since it was sealed, a run removed, a run inserted, a run "
        "recorded unsealed.");
    AddKeyOption(app, options->keys);
    auto* make = app.add_flag("--make-key", options->makeKey,
                              "make this station's key pair where the station keeps it, unless "
                              "it has one, and end (the package does this when it installs)");
    AddDatabaseOption(app, options->db);
    make->excludes(app.get_option("--key"))->excludes(app.get_option("--db"));
    return
        [options](std::ostream& out, std::ostream& err) { return RunVerify(*options, out, err); };
}

}  // namespace orvalt

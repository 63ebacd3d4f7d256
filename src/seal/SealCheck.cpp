#include "seal/SealCheck.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "domain/Joined.h"
#include "domain/PrintableText.h"
#include "records/RunAttempt.h"
#include "records/Schema.h"
#include "records/SealTables.h"
#include "seal/RunSeal.h"

namespace orvalt {

namespace {

using Say = std::function<void(const std::string&)>;

// $1 one run, $2 the first day; either may be NULL.
constexpr const char* kRunsSql =
    "SELECT r.run_uuid, r.ended_how, k.run_id, s.run_uuid, s.key_id, s.unsealed_reason"
    " FROM runs r LEFT JOIN run_keys k ON k.run_uuid = r.run_uuid"
    " LEFT JOIN run_seals s ON s.run_uuid = r.run_uuid"
    " WHERE (CAST($1 AS TEXT) IS NULL OR r.run_uuid = $1)"
    " AND (CAST($2 AS TEXT) IS NULL OR r.started_at >= $2)";
// A database from before seals has no seal table to join.
constexpr const char* kRunsBeforeSealsSql =
    "SELECT r.run_uuid, r.ended_how FROM runs r"
    " WHERE (CAST($1 AS TEXT) IS NULL OR r.run_uuid = $1)"
    " AND (CAST($2 AS TEXT) IS NULL OR r.started_at >= $2)";
constexpr const char* kSealRefsSql =
    "SELECT key_id, position, run_uuid FROM run_seals WHERE key_id IS NOT NULL"
    " AND (CAST($1 AS TEXT) IS NULL OR run_uuid = $1)"
    " AND (CAST($2 AS TEXT) IS NULL OR started_at >= $2)";
constexpr const char* kSealAndRunSql =
    "SELECT s.run_uuid, s.started_at, s.key_id, s.position, s.previous, s.run_digest,"
    " s.settings_digest, s.tests_digest, s.measurements_digest, s.trace_digest, s.sealed_at,"
    " s.signature, r.run_uuid, r.serial, r.attempt, r.started_at"
    " FROM run_seals s LEFT JOIN runs r ON r.run_uuid = s.run_uuid WHERE s.run_uuid = $1";
constexpr std::size_t kRunColumn = 12;

std::string KeyText(const std::string& id) {
    return "key " + PrintableText(id);
}

std::string RunText(const std::string& uuid) {
    return "run " + PrintableText(uuid);
}

// "run 3 of key 1a2b...": a seal's place in its station's chain.
std::string Place(const std::string& key, std::int64_t position) {
    return "run " + std::to_string(position) + " of " + KeyText(key);
}

std::string Capitalised(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

// Where a seal sits: one key's chain, its place there, its run.
struct SealRef {
    std::string key;
    std::optional<std::int64_t> position;
    std::optional<std::string> uuid;

    bool operator<(const SealRef& other) const {
        return std::tie(key, position, uuid) < std::tie(other.key, other.position, other.uuid);
    }
};

struct ChainPoint {
    std::string key;
    std::int64_t position = 0;
    std::string uuid;
    std::string digest;
};

class Checker {
  public:
    Checker(SqlConnection& db, const TrustedKeys& keys, const SealScope& scope, const Say& say)
        : db_(db), keys_(keys), scope_(scope), say_(say) {}

    Result<SealTally> Run();

  private:
    std::vector<SqlValue> ScopeValues() const {
        return {scope_.run ? SqlValue(*scope_.run) : SqlValue(),
                scope_.since ? SqlValue(*scope_.since) : SqlValue()};
    }
    void Broken(const std::string& line) {
        ++tally_.broken;
        say_(line);
    }

    Result<void> ReadEra();
    Result<void> ClassifyRuns(bool sealsKept);
    Result<void> CheckSeals();
    Result<void> CheckSeal(const SealRef& ref);
    Result<void> CheckRunAsSealed(const RunSeal& seal, const SqlRow& row,
                                  std::vector<std::string>& findings);
    Result<void> CheckAttempt(const RunSeal& seal, const SqlRow& row,
                              std::vector<std::string>& findings);
    Result<void> CheckLink(const RunSeal& seal, std::vector<std::string>& findings);
    Result<std::optional<ChainPoint>> SealAt(const std::string& key, std::int64_t position);
    Result<void> CheckHeads();
    void CheckNamedKeys();
    const StationKey* KeyOf(const std::string& id) const;

    SqlConnection& db_;
    const TrustedKeys& keys_;
    const SealScope& scope_;
    const Say& say_;
    SealTally tally_;
    SealEra era_;
    std::optional<ChainPoint> before_;
    std::map<std::string, ChainPoint> newest_;
};

Result<SealTally> Checker::Run() {
    const Result<int> version = ReadSchemaVersion(db_);
    if (!version) {
        return Fail(version.Error());
    }
    const bool sealsKept = *version >= kSchemaVersionWithSeals;
    if (sealsKept) {
        if (const Result<void> era = ReadEra(); !era) {
            return Fail(era.Error());
        }
    }
    if (const Result<void> runs = ClassifyRuns(sealsKept); !runs) {
        return Fail(runs.Error());
    }
    if (sealsKept) {
        if (const Result<void> seals = CheckSeals(); !seals) {
            return Fail(seals.Error());
        }
        if (scope_.Whole()) {
            if (const Result<void> heads = CheckHeads(); !heads) {
                return Fail(heads.Error());
            }
        }
    }
    if (scope_.Whole()) {
        CheckNamedKeys();
    }
    return tally_;
}

Result<void> Checker::ReadEra() {
    const Result<std::optional<SealEra>> era = ReadSealEra(db_);
    if (!era) {
        return Fail(era.Error());
    }
    const Result<SqlRows> count = db_.Run("SELECT COUNT(*) FROM seal_era");
    if (!count) {
        return Fail(count.Error());
    }
    if (!*era) {
        Broken(
            "The database no longer says when it began to seal runs (seal_era is empty): "
            "changed.");
    } else if (CellInteger(count->front()[0]) > 1) {
        Broken("The database says more than once when it began to seal runs (seal_era): changed.");
    }
    era_ = era->value_or(SealEra{});
    return {};
}

// Every run of the scope once: those with a seal are left to CheckSeals.
Result<void> Checker::ClassifyRuns(bool sealsKept) {
    std::vector<std::string> findings;
    const Result<void> read =
        db_.RunRowByRow(sealsKept ? kRunsSql : kRunsBeforeSealsSql, ScopeValues(), [&](SqlRow row) {
            ++tally_.runs;
            const std::string uuid = CellText(row[0]);
            const bool ended = row[1].has_value();
            if (!sealsKept) {
                ++(ended ? tally_.beforeSeals : tally_.notEnded);
                return;
            }
            const bool hasSealRow = row[3].has_value();
            if (hasSealRow && row[4]) {
                return;
            }
            if (hasSealRow) {
                findings.push_back(RunText(uuid) + ": recorded unsealed: " +
                                   PrintableText(CellText(row[5]), kMessageShownMax));
            } else if (!ended) {
                ++tally_.notEnded;
            } else if (row[2] && CellInteger(row[2]) <= era_.lastRunBefore) {
                ++tally_.beforeSeals;
            } else {
                findings.push_back(RunText(uuid) +
                                   ": not sealed, though recorded after runs were sealed: "
                                   "inserted, or its seal was removed");
            }
        });
    if (!read) {
        return read;
    }
    for (const std::string& line : findings) {
        Broken(line);
    }
    return {};
}

// In chain order, each key's seals by their place, so each is held against
// the one before it.
Result<void> Checker::CheckSeals() {
    std::vector<SealRef> refs;
    const Result<void> read = db_.RunRowByRow(kSealRefsSql, ScopeValues(), [&](SqlRow row) {
        SealRef ref{CellText(row[0]), std::nullopt, std::move(row[2])};
        if (row[1]) {
            ref.position = CellInteger(row[1]);
        }
        refs.push_back(std::move(ref));
    });
    if (!read) {
        return read;
    }
    std::sort(refs.begin(), refs.end());
    for (const SealRef& ref : refs) {
        if (const Result<void> checked = CheckSeal(ref); !checked) {
            return checked;
        }
    }
    return {};
}

Result<void> Checker::CheckSeal(const SealRef& ref) {
    if (!ref.uuid) {
        Broken("A seal of " + KeyText(ref.key) + " names no run: changed.");
        return {};
    }
    const Result<SqlRows> rows = db_.Run(kSealAndRunSql, {*ref.uuid});
    if (!rows) {
        return Fail(rows.Error());
    }
    if (rows->empty()) {
        return {};  // gone since it was listed
    }
    const SqlRow& row = rows->front();
    const RunSeal seal = RunSealOf(row);
    std::vector<std::string> findings;
    const StationKey* key = KeyOf(seal.keyId);
    if (!key) {
        findings.push_back("sealed by " + KeyText(seal.keyId) +
                           ", which is not among the keys given: its seal can't be checked");
    } else if (!key->Verifies(SealMessage(seal, era_), seal.signature)) {
        findings.push_back("its seal does not bear the signature of " + KeyText(seal.keyId) +
                           ": the seal was changed or forged");
    }
    if (const Result<void> run = CheckRunAsSealed(seal, row, findings); !run) {
        return run;
    }
    if (const Result<void> link = CheckLink(seal, findings); !link) {
        return link;
    }
    if (findings.empty()) {
        ++tally_.sealed;
    }
    for (const std::string& finding : findings) {
        Broken(RunText(seal.runUuid) + ": " + finding);
    }
    return {};
}

Result<void> Checker::CheckRunAsSealed(const RunSeal& seal, const SqlRow& row,
                                       std::vector<std::string>& findings) {
    if (!row[kRunColumn]) {
        findings.push_back("sealed as " + Place(seal.keyId, seal.position) +
                           ", is missing: removed");
        return {};
    }
    const Result<PartDigests> parts = DigestRun(db_, seal.runUuid);
    if (!parts) {
        return Fail(parts.Error());
    }
    std::vector<std::string> changed;
    for (std::size_t part = 0; part < kSealedParts; ++part) {
        if ((*parts)[part] != seal.parts[part]) {
            changed.emplace_back(SealedPartName(part));
        }
    }
    if (!changed.empty()) {
        findings.push_back("changed since it was sealed: " + Joined(changed));
    }
    return CheckAttempt(seal, row, findings);
}

// The attempt is not sealed (a late run of the unit moves it on): it must be
// what the unit's runs count, by the sealed serial and starts.
Result<void> Checker::CheckAttempt(const RunSeal& seal, const SqlRow& row,
                                   std::vector<std::string>& findings) {
    const std::string serial = CellText(row[kRunColumn + 1]);
    std::optional<std::int64_t> counted;
    if (!serial.empty()) {
        const Result<SqlRows> count =
            db_.Run(kCountAttemptSql, {serial, CellText(row[kRunColumn + 3]), seal.runUuid});
        if (!count) {
            return Fail(count.Error());
        }
        counted = CellInteger(count->front()[0]);
    }
    const SqlCell& stored = row[kRunColumn + 2];
    const std::optional<std::int64_t> storedAttempt =
        stored ? std::optional(CellInteger(stored)) : std::nullopt;
    if (storedAttempt != counted) {
        const auto text = [](const std::optional<std::int64_t>& n) {
            return n ? std::to_string(*n) : std::string("none");
        };
        findings.push_back("changed since it was sealed: its attempt is stored " +
                           text(storedAttempt) + ", its unit's runs make it " + text(counted));
    }
    return {};
}

Result<void> Checker::CheckLink(const RunSeal& seal, std::vector<std::string>& findings) {
    const std::string digest = SealDigest(seal, era_);
    if (before_ && before_->key == seal.keyId && before_->position == seal.position) {
        findings.push_back("sealed as " + Place(seal.keyId, seal.position) + ", as " +
                           RunText(before_->uuid) + " was: one of them was inserted");
    } else if (seal.position < 1) {
        findings.push_back("its seal has no place in the chain of " + KeyText(seal.keyId) +
                           ": changed");
    } else if (seal.position == 1 && !seal.previous.empty()) {
        findings.push_back("sealed as " + Place(seal.keyId, 1) +
                           ", its seal names one before it: changed");
    } else if (seal.position > 1) {
        std::optional<ChainPoint> previous;
        if (before_ && before_->key == seal.keyId && before_->position == seal.position - 1) {
            previous = before_;
        } else if (!scope_.Whole()) {
            Result<std::optional<ChainPoint>> found = SealAt(seal.keyId, seal.position - 1);
            if (!found) {
                return Fail(found.Error());
            }
            previous = std::move(*found);
        }
        const std::string place = Place(seal.keyId, seal.position - 1);
        if (!previous) {
            findings.push_back(place + ", sealed before it, is missing: removed");
        } else if (previous->digest != seal.previous) {
            findings.push_back("does not follow " + place + " (" + RunText(previous->uuid) +
                               "), sealed before it: a run was removed or put in its place");
        }
    }
    ChainPoint point{seal.keyId, seal.position, seal.runUuid, digest};
    auto [newest, first] = newest_.emplace(seal.keyId, point);
    if (!first && newest->second.position <= seal.position) {
        newest->second = point;
    }
    before_ = std::move(point);
    return {};
}

Result<std::optional<ChainPoint>> Checker::SealAt(const std::string& key, std::int64_t position) {
    const Result<SqlRows> rows = db_.Run(std::string("SELECT ") + kRunSealColumns +
                                             " FROM run_seals WHERE key_id = $1 AND position = $2",
                                         {key, position});
    if (!rows) {
        return Fail(rows.Error());
    }
    if (rows->empty()) {
        return std::optional<ChainPoint>();
    }
    const RunSeal seal = RunSealOf(rows->front());
    return std::optional<ChainPoint>(
        ChainPoint{key, position, seal.runUuid, SealDigest(seal, era_)});
}

// Each chain's head names its newest seal: a chain whose newest runs went
// with their seals still has its head.
Result<void> Checker::CheckHeads() {
    const Result<SqlRows> heads =
        db_.Run("SELECT key_id, position, seal_digest FROM seal_heads WHERE position > 0");
    if (!heads) {
        return Fail(heads.Error());
    }
    std::set<std::string> withHead;
    for (const SqlRow& head : *heads) {
        const std::string key = CellText(head[0]);
        const std::int64_t position = CellInteger(head[1]);
        withHead.insert(key);
        const auto newest = newest_.find(key);
        const std::int64_t last = newest == newest_.end() ? 0 : newest->second.position;
        if (position == last + 1) {
            Broken(Capitalised(Place(key, position)) + ", sealed last, is missing: removed.");
        } else if (position > last) {
            Broken("Runs " + std::to_string(last + 1) + " to " + std::to_string(position) + " of " +
                   KeyText(key) + ", sealed last, are missing: removed.");
        } else if (position < last) {
            Broken("The chain head of " + KeyText(key) + " names run " + std::to_string(position) +
                   ", yet it sealed run " + std::to_string(last) + ": changed.");
        } else if (CellText(head[2]) != newest->second.digest) {
            Broken("The chain head of " + KeyText(key) + " does not name its newest seal, of " +
                   RunText(newest->second.uuid) + ": changed.");
        }
    }
    for (const auto& [key, newest] : newest_) {
        if (!withHead.contains(key)) {
            Broken("The chain of " + KeyText(key) + " has no head: changed.");
        }
    }
    return {};
}

void Checker::CheckNamedKeys() {
    if (!keys_.named) {
        return;
    }
    for (const StationKey& key : keys_.keys) {
        if (!newest_.contains(key.Id())) {
            Broken(KeyText(key.Id()) +
                   " sealed no run here: its runs and their seals were removed, or its station "
                   "never recorded here.");
        }
    }
}

const StationKey* Checker::KeyOf(const std::string& id) const {
    for (const StationKey& key : keys_.keys) {
        if (key.Id() == id) {
            return &key;
        }
    }
    return nullptr;
}

std::string Counted(std::int64_t count, const char* one, const char* many) {
    return std::to_string(count) + (count == 1 ? one : many);
}

}  // namespace

Result<SealTally> CheckSeals(SqlConnection& connection, const TrustedKeys& keys,
                             const SealScope& scope, const Say& say) {
    return Checker(connection, keys, scope, say).Run();
}

std::string SealSummary(const SealTally& tally) {
    return "Seals of " + Counted(tally.runs, " run: ", " runs: ") + std::to_string(tally.sealed) +
           " sealed and unchanged, " + std::to_string(tally.beforeSeals) +
           " recorded before runs were sealed, " + std::to_string(tally.notEnded) + " not ended, " +
           Counted(tally.broken, " broken seal.", " broken seals.");
}

}  // namespace orvalt

#include "records/RecordsFile.h"

#include <string_view>

#include "platform/SafeFile.h"

namespace orvalt {

namespace {

// Every SQLite 3 database begins so.
constexpr std::string_view kSqliteHeader{"SQLite format 3\0", 16};

// The files SQLite opens beside the database when it finds them there.
constexpr const char* kCompanionSuffixes[] = {"-wal", "-shm", "-journal"};

Failure<std::string> Refused(const std::filesystem::path& file, const std::string& reason) {
    return Fail("Results database " + file.string() + ": " + reason);
}

}  // namespace

Result<bool> RecordsFileThere(const std::filesystem::path& file) {
    const Result<FileIdentity> identity = IdentityOf(file);
    if (!identity) {
        return Refused(file, identity.Error());
    }
    if (identity->kind == FileIdentity::Kind::Missing) {
        return false;
    }
    if (identity->kind != FileIdentity::Kind::Regular) {
        return Refused(file, kNotRegularFile);
    }
    for (const char* suffix : kCompanionSuffixes) {
        const std::filesystem::path companion = file.string() + suffix;
        const Result<FileIdentity> beside = IdentityOf(companion);
        if (beside && beside->kind != FileIdentity::Kind::Missing &&
            beside->kind != FileIdentity::Kind::Regular) {
            return Refused(file, companion.string() + " beside it is " + kNotRegularFile);
        }
    }
    return true;
}

RecordsFileMark MarkOfRecordsFile(const std::filesystem::path& file) {
    RecordsFileMark mark;
    const Result<FileIdentity> identity = IdentityOf(file);
    if (!identity) {
        mark.identity.kind = FileIdentity::Kind::Other;
        mark.unseen = identity.Error();
        return mark;
    }
    mark.identity = *identity;
    if (identity->kind == FileIdentity::Kind::Regular) {
        const Result<std::string> head = FirstBytesOf(file, kSqliteHeader.size());
        mark.sqlite = head && (head->empty() || *head == kSqliteHeader);
    }
    return mark;
}

std::string MarkChange(const RecordsFileMark& before, const RecordsFileMark& now) {
    if (now == before) {
        return {};
    }
    if (!now.unseen.empty()) {
        return "its path can't be looked at: " + now.unseen;
    }
    if (now.identity.kind == FileIdentity::Kind::Missing) {
        return "nothing stands at its path any more";
    }
    if (now.identity.kind != FileIdentity::Kind::Regular) {
        return std::string(KindWords(now.identity.kind)) + " stands at its path";
    }
    if (now.identity != before.identity) {
        return now.sqlite ? "another file stands at its path"
                          : "another file that holds no SQLite database stands at its path";
    }
    return now.sqlite ? "it holds a SQLite database again" : "it no longer holds a SQLite database";
}

}  // namespace orvalt

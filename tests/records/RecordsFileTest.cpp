// A SQLite records file by its path: what is no regular file (a folder, a
// device, a link to one, a folder in place of its journal) is refused with
// words before SQLite opens it, to read or to write, and a missing file is
// still no failure; the mark of a file tells a replaced, overwritten,
// removed or emptied-out file from the one that was opened.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

#include "recording/RecordStore.h"
#include "records/RecordsFile.h"
#include "records/SqlConnection.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

std::string RefusalOf(const Result<std::unique_ptr<SqlConnection>>& opened) {
    return opened ? std::string("(opened)") : opened.Error();
}

TEST(RecordsFile, WhatIsNoRegularFileIsRefusedBeforeSqliteOpensIt) {
    TempFolder folder;
    const fs::path folderInPlace = folder / "folder.sqlite";
    fs::create_directory(folderInPlace);
    const fs::path linkToDevice = folder / "link.sqlite";
    fs::create_symlink("/dev/zero", linkToDevice);
    for (const fs::path& target : {folderInPlace, linkToDevice, fs::path("/dev/zero")}) {
        const std::string refusal = "Results database " + target.string() + ": not a regular file";
        EXPECT_EQ(RefusalOf(OpenSqlConnectionToRead(target.string())), refusal);
        EXPECT_EQ(RefusalOf(OpenSqlConnection(target.string())), refusal);
    }
    EXPECT_TRUE(fs::is_directory(folderInPlace));  // left as it was

    const fs::path db = folder / "results.sqlite";
    ASSERT_TRUE(OpenRecordDatabase(db.string()).Ok());
    fs::create_directory(db.string() + "-journal");
    EXPECT_EQ(RefusalOf(OpenSqlConnectionToRead(db.string())),
              "Results database " + db.string() + ": " + db.string() +
                  "-journal beside it is not a regular file");
    fs::remove(db.string() + "-journal");
    EXPECT_TRUE(OpenSqlConnectionToRead(db.string()).Ok());

    auto missing = OpenSqlConnectionToRead((folder / "none.sqlite").string());
    ASSERT_TRUE(missing.Ok()) << missing.Error();
    EXPECT_EQ(*missing, nullptr);  // nothing recorded there yet
}

TEST(RecordsFile, TheMarkTellsEveryWayTheFileChangedUnderAReader) {
    TempFolder folder;
    const fs::path db = folder / "results.sqlite";
    ASSERT_TRUE(OpenRecordDatabase(db.string()).Ok());
    const RecordsFileMark opened = MarkOfRecordsFile(db);
    EXPECT_TRUE(opened.sqlite);
    EXPECT_EQ(MarkChange(opened, MarkOfRecordsFile(db)), "");
    ASSERT_TRUE(OpenRecordDatabase(db.string()).Ok());  // written to again: the same file
    EXPECT_EQ(MarkChange(opened, MarkOfRecordsFile(db)), "");

    const fs::path moved = folder / "moved.sqlite";
    fs::rename(db, moved);
    EXPECT_EQ(MarkChange(opened, MarkOfRecordsFile(db)), "nothing stands at its path any more");
    fs::copy_file(moved, db);
    EXPECT_EQ(MarkChange(opened, MarkOfRecordsFile(db)), "another file stands at its path");
    fs::remove(db);
    WriteBytes(db, std::string(4096, '\x5a'));
    EXPECT_EQ(MarkChange(opened, MarkOfRecordsFile(db)),
              "another file that holds no SQLite database stands at its path");
    fs::remove(db);
    fs::create_directory(db);
    EXPECT_EQ(MarkChange(opened, MarkOfRecordsFile(db)), "a folder stands at its path");
    fs::remove(db);
    ASSERT_EQ(::mkfifo(db.c_str(), 0600), 0);
    EXPECT_EQ(MarkChange(opened, MarkOfRecordsFile(db)), "a pipe stands at its path");
    fs::remove(db);

    // The same file, overwritten in place from its first byte.
    fs::rename(moved, db);
    EXPECT_EQ(MarkChange(opened, MarkOfRecordsFile(db)), "");
    {
        std::fstream file(db, std::ios::in | std::ios::out | std::ios::binary);
        file.write("garbage!", 8);
    }
    EXPECT_EQ(MarkChange(opened, MarkOfRecordsFile(db)), "it no longer holds a SQLite database");

    // A database made but not written yet is empty, and is one.
    const fs::path empty = folder / "empty.sqlite";
    WriteBytes(empty, "");
    EXPECT_TRUE(MarkOfRecordsFile(empty).sqlite);
}

}  // namespace
}  // namespace orvalt::test

// The smaller parts of run records: the plan digest, the text as stored, the
// ResultsDatabase setting beside (never inside) Location, and opening a
// results file another station holds.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/DataPaths.h"
#include "records/ResultsSetting.h"
#include "records/Sha256.h"
#include "records/SqlConnection.h"
#include "records/StoredText.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

TEST(Sha256Test, MatchesThePublishedVectorsAcrossBlockBoundaries) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(
        Sha256Hex("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklm"
                  "nopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
        "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Another station has just created the file and is writing its first
// transaction, still in the rollback journal, before anybody switched it to
// WAL. SQLite refuses that switch at once instead of running the busy
// handler; opening the file must wait until the switch can be made, as any
// write waits, instead of failing.
TEST(SqliteOpenTest, AFileAnotherStationHoldsIsWaitedForAndEndsInWalMode) {
    TempFolder folder;
    const std::string file = (folder / "results.sqlite").string();
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "CREATE TABLE t(x); BEGIN IMMEDIATE; INSERT INTO t VALUES (1);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
    });
    auto opened = OpenSqlConnection(file);
    release.join();
    ASSERT_TRUE(opened.Ok()) << opened.Error();
    const auto mode = (*opened)->Run("PRAGMA journal_mode");
    ASSERT_TRUE(mode.Ok()) << mode.Error();
    EXPECT_EQ(CellText((*mode)[0][0]), "wal");
}

TEST(ResultsSettingTest, LivesUnderItsOwnKeyAndLeavesLocationAsItWas) {
    TempFolder folder;
    const auto file = folder / "Orvalt.reg";
    const std::string location =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Location]\r\n"
        "\"VoltageDelta\"=\"0.5\"\r\n\"cfgTime1\"=dword:000003e8\r\n\r\n";
    WriteBytes(file, location);
    {
        RegistryStore store(file);
        EXPECT_EQ(LoadResultsDatabaseSetting(store), "");
        ASSERT_TRUE(SaveResultsDatabaseSetting(store, "postgresql://db.line2/orvalt").Ok());
    }
    const std::string saved = ReadBytes(file);
    EXPECT_EQ(saved.substr(0, location.size()), location);
    EXPECT_NE(saved.find("[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Results]\r\n"
                         "\"ResultsDatabase\"=\"postgresql://db.line2/orvalt\""),
              std::string::npos)
        << saved;
    RegistryStore again(file);
    EXPECT_EQ(LoadResultsDatabaseSetting(again), "postgresql://db.line2/orvalt");
    EXPECT_EQ(ChooseResultsDatabase(std::nullopt, "postgresql://db.line2/orvalt"),
              "postgresql://db.line2/orvalt");
    EXPECT_EQ(ChooseResultsDatabase(std::string("/tmp/x.sqlite"), "postgresql://db.line2/orvalt"),
              "/tmp/x.sqlite");
    // Each database its own spool, the same one every time.
    EXPECT_NE(DefaultResultsSpool("postgresql://db.line2/orvalt"),
              DefaultResultsSpool("postgresql://db.line3/orvalt"));
    EXPECT_EQ(DefaultResultsSpool("/tmp/x.sqlite"), DefaultResultsSpool("/tmp/x.sqlite"));
}

// Any bytes go in as UTF-8 without NUL and come back exactly; valid UTF-8
// goes in as it is.
TEST(StoredTextTest, EveryByteStringComesBackAndUtf8StaysAsItIs) {
    EXPECT_EQ(StoredText("25\xB0"
                         "C"),
              "25\\xB0C");
    EXPECT_EQ(StoredText(std::string("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(StoredText("\\x41"), "\\x5Cx41");  // would read back as "A"
    EXPECT_EQ(StoredText("C:\\plans\\x.csv \\xab"), "C:\\plans\\x.csv \\xab");
    EXPECT_EQ(StoredText("\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80"),
              "\\xC0\\xAF \\xED\\xA0\\x80 \\xF4\\x90\\x80\\x80");  // overlong, surrogate, too big
    EXPECT_EQ(StoredText("\xE2\x82"), "\\xE2\\x82");               // cut short

    std::mt19937 random(20);
    const std::string alphabet =
        std::string("\\xAF0a\xB0\xC3\xE2\x82\xAC\xED\xF0\xF4\xFF\x80 ") + '\0';
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(random() % 24, ' ');
        for (char& byte : bytes) {
            byte =
                random() % 4 ? alphabet[random() % alphabet.size()] : static_cast<char>(random());
        }
        const std::string stored = StoredText(bytes);
        ASSERT_EQ(TextFromStored(stored), bytes) << stored;
        ASSERT_EQ(stored.find('\0'), std::string::npos);
    }

    const char32_t points[] = {U'a',          U'\u00B0',     U'\u20AC', U'\uD7FF', U'\uE000',
                               U'\U0001F600', U'\U0010FFFF', U'\u0080', U'x',      U'7'};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (std::size_t n = random() % 12; n > 0; --n) {
            const char32_t c = points[random() % std::size(points)];
            if (c < 0x80) {
                text += static_cast<char>(c);
            } else if (c < 0x800) {
                text += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
            } else if (c < 0x10000) {
                text += {static_cast<char>(0xE0 | (c >> 12)),
                         static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                         static_cast<char>(0x80 | (c & 0x3F))};
            } else {
                text += {static_cast<char>(0xF0 | (c >> 18)),
                         static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                         static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                         static_cast<char>(0x80 | (c & 0x3F))};
            }
        }
        ASSERT_EQ(StoredText(text), text);
    }
}

TEST(DataFolderTest, FollowsTheXdgRulesAndNeverTheRoot) {
    EXPECT_EQ(StationDataFolderFrom("/data", "/home/a"), "/data/Kestrune/Orvalt");
    EXPECT_EQ(StationDataFolderFrom("relative", "/home/a"), "/home/a/.local/share/Kestrune/Orvalt");
    EXPECT_EQ(StationDataFolderFrom("", "/home/a"), "/home/a/.local/share/Kestrune/Orvalt");
    EXPECT_EQ(StationDataFolderFrom(nullptr, ""), "");
    EXPECT_EQ(StationDataFolderFrom(nullptr, nullptr), "");
}

}  // namespace
}  // namespace orvalt::test

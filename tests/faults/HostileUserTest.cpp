// Every output the station writes (Save Test Data and its totals, SAV, the
// settings) where another user of the PC can reach it: a link planted in a
// folder anyone may write, a file its owner made read-only, another user's file
// to replace. The users are made by the test, which runs as root: `nobody` is
// the other user, and an operator without root is a uid no account has.

#include <unistd.h>

#include <gtest/gtest.h>

#include <tuple>

#include "faults/Savers.h"
#include "platform/SafeFile.h"
#include "support/ChildProcess.h"
#include "support/OtherUsers.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

std::string AppendTotalsTo(const fs::path& file) {
    const Result<void> appended = AppendToSharedFile(file, "12-06-26, 1, 0\r\n");
    return appended ? "" : appended.Error();
}

struct Saver {
    const char* name;
    std::string (*save)(const fs::path&);
};
constexpr Saver kSavers[] = {{"Save Test Data", SaveTestDataTo},
                             {"SAV", SaveDiagRowsTo},
                             {"settings", SaveSettingsTo},
                             {"totals", AppendTotalsTo}};

void MakeFolder(const fs::path& folder, uid_t owner, mode_t mode) {
    fs::create_directories(folder);
    Own(folder, owner, owner == 0 ? 0 : kNogroup, mode);
}

// The save of `saver` as the operator without root.
std::string SaveAsOperator(const Saver& saver, const fs::path& file) {
    return RunInChild([&] {
        BecomeUser(kOperator, kOperatorGroup);
        return saver.save(file);
    });
}

class HostileUser : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "only root can act as the other users of these cases";
        }
        MakeFolder(shared, 0, 01777);
        MakeFolder(own, kOperator, 0755);
    }

    TempFolder folder;
    const fs::path shared = folder / "tmp";  // as /tmp
    const fs::path own = folder / "operator";
};

// nobody links a root-only file (of group daemon) into a folder anyone may
// write, under the name root or the operator then saves to: the save is
// refused and the file keeps its bytes, owner, group and mode. Nothing else
// of the save (its "_Sum", its totals) is written either.
TEST_F(HostileUser, ALinkAnotherUserPlantedInASharedFolderIsNotFollowed) {
    const fs::path secret = folder / "secret";
    MakeFile(secret, "root only\n", 0, kDaemonGroup, 0640);
    const fs::path operators = own / "mine.txt";
    MakeFile(operators, "the operator's\n", kOperator, kOperatorGroup, 0644);
    const FileState secretBefore = StateOf(secret), operatorsBefore = StateOf(operators);
    PlantLink(shared / "dir", folder.Path(), kNobody);
    for (const Saver& saver : kSavers) {
        PlantLink(shared / saver.name, secret, kNobody);
        PlantLink(shared / (std::string(saver.name) + " (operator)"), operators, kNobody);
        const fs::path throughFolder = shared / "dir" / saver.name;
        for (const std::string& refused :
             {saver.save(shared / saver.name), saver.save(throughFolder),
              SaveAsOperator(saver, shared / (std::string(saver.name) + " (operator)"))}) {
            EXPECT_NE(refused.find(": it goes through a symbolic link another user owns"),
                      std::string::npos)
                << saver.name << ": " << refused;
        }
        EXPECT_EQ(StateOf(secret), secretBefore) << saver.name;
        EXPECT_EQ(StateOf(operators), operatorsBefore) << saver.name;
        EXPECT_FALSE(fs::exists(folder / saver.name)) << saver.name;
    }
    for (const fs::path& place : {shared, folder.Path()}) {
        for (const auto& entry : fs::directory_iterator(place)) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name.find("_Sum") == std::string::npos && name != "totalsums.csv") << name;
        }
    }
}

// The other side of the rule: a link is followed where whoever owns it could
// have written the folder's files anyway, or where it is the caller's own.
TEST_F(HostileUser, ALinkIsFollowedWhereItsOwnerMayWriteTheFolderAnyway) {
    struct Case {
        const char* what;
        uid_t folderOwner;
        mode_t folderMode;
        uid_t linkOwner;
        bool followed;
    };
    for (const Case& c : {
             Case{"another user's in a sticky folder anyone may write", 0, 01777, kNobody, false},
             Case{"the caller's own there", 0, 01777, 0, true},
             Case{"the folder owner's there", kNobody, 01777, kNobody, true},
             Case{"another user's where anyone may replace anything", 0, 0777, kNobody, true},
             Case{"in another user's own folder", kNobody, 0755, kNobody, true},
         }) {
        TempFolder place;
        const fs::path links = place / "links";
        MakeFolder(links, c.folderOwner, c.folderMode);
        const fs::path target = place / "target.txt";
        MakeFile(target, "old", 0, 0, 0644);
        PlantLink(links / "diag.txt", target, c.linkOwner);
        const std::string error = SaveDiagRowsTo(links / "diag.txt");
        EXPECT_EQ(error.empty(), c.followed) << c.what << ": " << error;
        EXPECT_EQ(ReadBytes(target), c.followed ? "200 2 3\r\n" : "old") << c.what;
        EXPECT_TRUE(fs::is_symlink(links / "diag.txt")) << c.what;
    }
}

// A file another user left in a folder anyone may write is not written
// through either: whoever reads it would read the station's data.
TEST_F(HostileUser, AnotherUsersFileInASharedFolderIsLeftAlone) {
    for (const Saver& saver : kSavers) {
        const fs::path planted = shared / saver.name;
        MakeFile(planted, "planted", kNobody, kNogroup, 0666);
        const FileState before = StateOf(planted);
        EXPECT_NE(saver.save(planted).find(": it belongs to another user"), std::string::npos)
            << saver.name;
        EXPECT_EQ(StateOf(planted), before) << saver.name;
    }
}

// Read-only by its owner's choice: neither root, who could write it, nor its
// owner, who could replace it through the folder, writes over it.
TEST_F(HostileUser, AFileItsOwnerMadeReadOnlyIsKeptFromEveryUser) {
    for (const bool asRoot : {true, false}) {
        for (const Saver& saver : kSavers) {
            const fs::path file = own / (std::string(saver.name) + (asRoot ? " root" : ""));
            MakeFile(file, "kept", asRoot ? 0 : kOperator, asRoot ? 0 : kOperatorGroup, 0444);
            const FileState before = StateOf(file);
            const std::string error = asRoot ? saver.save(file) : SaveAsOperator(saver, file);
            // The settings say first that they were not saved.
            EXPECT_TRUE(error.ends_with("Can't write " + file.string() + ": Permission denied"))
                << error << (asRoot ? " as root" : " as the operator");
            EXPECT_EQ(StateOf(file), before) << saver.name;
        }
    }
}

// Root replacing a file keeps it the file its owner had; the operator
// replacing a colleague's file it may write (its group's) keeps it the
// colleague's.
TEST_F(HostileUser, AReplacedFileKeepsItsOwnerGroupAndMode) {
    for (const Saver& saver : {kSavers[0], kSavers[1], kSavers[2]}) {
        const fs::path byRoot = shared.parent_path() / "root's" / saver.name;
        fs::create_directories(byRoot.parent_path());
        MakeFile(byRoot, "old", kNobody, kDaemonGroup, 0640);
        EXPECT_EQ(saver.save(byRoot), "") << saver.name;
        const fs::path byOperator = own / saver.name;
        MakeFile(byOperator, "old", kNobody, kOperatorGroup, 0664);
        EXPECT_EQ(SaveAsOperator(saver, byOperator), "") << saver.name;
        for (const auto& [file, group, mode] :
             {std::tuple{byRoot, kDaemonGroup, mode_t{0640}},
              std::tuple{byOperator, kOperatorGroup, mode_t{0664}}}) {
            const FileState after = StateOf(file);
            EXPECT_NE(after.bytes, "old") << file;
            EXPECT_EQ(after.owner, kNobody) << file;
            EXPECT_EQ(after.group, group) << file;
            EXPECT_EQ(after.mode, mode) << file;
        }
    }
}

}  // namespace
}  // namespace orvalt::test

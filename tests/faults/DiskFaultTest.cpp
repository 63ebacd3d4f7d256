// Every file the station saves for the operator (Save Test Data, SAV, the
// settings at exit) on a disk that is full or fails to flush, or in a folder
// that refuses writing: the save says which file failed and why, and leaves the
// folder exactly as it was.

#include <sched.h>
#include <sys/mount.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>

#include "config/RegistryStore.h"
#include "config/SettingsTable.h"
#include "diaglink/DiagSave.h"
#include "faults/PlanRun.h"
#include "faults/SyncFault.h"
#include "results/TestDataExport.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

// Sizes around the limit a full disk is given below.
constexpr long kDiskLimit = 4096;
constexpr std::size_t kBigText = 3 * kDiskLimit;

// One way the station saves: into `file`, a small content or one too big for
// the limited disk. Returns the error texts, with what a failure kept.
struct Saver {
    const char* name;
    const char* fileName;
    std::string (*save)(const fs::path& file, bool big);
};

std::string SaveTestDataTo(const fs::path& file, bool big) {
    SummaryLines summary;
    summary.Append({"12-06-26", false, FaultRunUnit(), "2.51"});
    summary.Append({"12-06-26", true, FaultRunUnit(), "0.00"});
    const std::vector<std::string> log(big ? kBigText / 40 : 2, std::string(38, 'L'));
    const SaveResult saved = SaveTestData(file, FaultRunUnit(), log, summary);
    std::string outcome;
    for (const std::string& error : saved.errors) {
        outcome += error + "\n";
    }
    return saved.Ok() ? outcome : outcome + "kept " + std::to_string(summary.Count()) + "\n";
}

std::string SaveDiagRowsTo(const fs::path& file, bool big) {
    const std::deque<std::string> rows(big ? kBigText / 10 : 3, "200 2 3");
    const Result<void> saved = SaveDiagRows(file, rows);
    return saved ? "" : saved.Error() + "\n";
}

std::string SaveSettingsTo(const fs::path& file, bool big) {
    SettingsRecord record;
    record.Manufacturer = big ? std::string(kBigText, 'M') : "Acme";
    RegistryStore store(file);
    const RegStatus saved = SaveStationSettings(record, store);
    return saved.Ok() ? "" : saved.message + "\n";
}

const Saver kSavers[] = {
    {"Save Test Data", "run.csv", SaveTestDataTo},
    {"SAV", "diag.txt", SaveDiagRowsTo},
    {"settings", "Orvalt.reg", SaveSettingsTo},
};

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        files[entry.path().filename().string()] = ReadBytes(entry.path());
    }
    return files;
}

// In a child: a save that works, then the fault, then a save that must fail.
// Reports the failure's texts and whether the folder kept what it held.
std::string SaveUnderFault(const Saver& saver, const fs::path& folder,
                           const std::function<void()>& fault) {
    const fs::path file = folder / saver.fileName;
    if (const std::string first = saver.save(file, false); !first.empty()) {
        return "the first save failed: " + first;
    }
    fault();
    const auto before = Snapshot(folder);
    const std::string failure = saver.save(file, true);
    return failure + (Snapshot(folder) == before ? "folder unchanged" : "folder changed");
}

::testing::AssertionResult ReportedAndUnchanged(const Saver& saver, const fs::path& folder,
                                                const std::string& outcome, int error) {
    const std::string named = (folder / saver.fileName).string();
    const bool ok = outcome.find(named) != std::string::npos &&
                    outcome.find(std::strerror(error)) != std::string::npos &&
                    outcome.ends_with("folder unchanged");
    const bool keepsLines =
        saver.save != SaveTestDataTo || outcome.find("kept 2\n") != outcome.npos;
    if (ok && keepsLines) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << saver.name << " gave:\n" << outcome;
}

TEST(DiskFaults, AFullDiskFailsEverySaveWithoutTouchingTheFolder) {
    for (const Saver& saver : kSavers) {
        TempFolder folder;
        const std::string outcome = RunInChild([&] {
            return SaveUnderFault(saver, folder.Path(), [] { LimitFileSize(kDiskLimit); });
        });
        EXPECT_TRUE(ReportedAndUnchanged(saver, folder.Path(), outcome, EFBIG));
    }
}

TEST(DiskFaults, AReadOnlyFolderFailsEverySaveWithoutTouchingIt) {
    for (const Saver& saver : kSavers) {
        TempFolder folder;
        const std::string outcome = RunInChild([&] {
            return SaveUnderFault(saver, folder.Path(), [&] {
                fs::permissions(folder.Path(), fs::perms(0555));
                DropRoot();
            });
        });
        EXPECT_TRUE(ReportedAndUnchanged(saver, folder.Path(), outcome, EACCES));
    }
}

// A save is complete only once the file and then its folder have reached the
// disk; a flush that fails at either step must not leave the new file behind.
TEST(DiskFaults, AFailingFlushOfTheFileOrItsFolderFailsEverySaveWithoutTouchingTheFolder) {
    for (const SyncFault fault : {SyncFault::File, SyncFault::Folder}) {
        for (const Saver& saver : kSavers) {
            TempFolder folder;
            const std::string outcome = RunInChild(
                [&] { return SaveUnderFault(saver, folder.Path(), [&] { ArmSyncFault(fault); }); });
            EXPECT_TRUE(ReportedAndUnchanged(saver, folder.Path(), outcome, EIO))
                << (fault == SyncFault::File ? "the file's flush" : "the folder's flush");
        }
    }
}

// Fills the disk the folder lies on up to its last block.
void FillDisk(const fs::path& folder) {
    std::ofstream filler(folder / "filler", std::ios::binary);
    const std::string block(512, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())).flush()) {
    }
}

// A real disk that runs out of space: a small memory file system of its own,
// mounted where only the child sees it. Where mounting is not allowed (no
// privilege, no tmpfs) the test is skipped.
TEST(DiskFaults, ARealFullDiskFailsEverySaveWithoutTouchingTheFolder) {
    for (const Saver& saver : kSavers) {
        TempFolder folder;
        const fs::path disk = folder / "disk";
        fs::create_directory(disk);
        const std::string outcome = RunInChild([&]() -> std::string {
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
                return std::string("no small disk: ") + std::strerror(errno);
            }
            return SaveUnderFault(saver, disk, [&] { FillDisk(disk); });
        });
        if (outcome.starts_with("no small disk")) {
            GTEST_SKIP() << outcome;
        }
        EXPECT_TRUE(ReportedAndUnchanged(saver, disk, outcome, ENOSPC));
    }
}

}  // namespace
}  // namespace orvalt::test

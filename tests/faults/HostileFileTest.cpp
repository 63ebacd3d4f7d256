// Files that are not what a save or a load expects: a pipe, a device, a folder
// or a link to one where a result should go; a pipe, /dev/zero or a huge file
// given as a plan or unit profile; the leftovers of a killed save; another
// program's lock on the totals. Nothing is replaced, nothing blocks, and the
// permissions of what is written are those any program would give.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "config/RegistryStore.h"
#include "config/SettingsTable.h"
#include "config/TestPlanFile.h"
#include "diaglink/DiagSave.h"
#include "faults/PlanRun.h"
#include "faults/Savers.h"
#include "platform/SafeFile.h"
#include "results/TestDataExport.h"
#include "sim/UnitProfileJson.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

using Saver = std::string (*)(const fs::path&);
constexpr Saver kSavers[] = {SaveTestDataTo, SaveDiagRowsTo, SaveSettingsTo};

mode_t ModeOf(const fs::path& file) {
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0 ? info.st_mode : 0;
}

std::size_t EntriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class HostileFiles : public ::testing::Test {
  protected:
    // Special files to save onto: a pipe, a folder, a link to the pipe, and a
    // device node of our own (a second /dev/null) where we may make one.
    std::vector<fs::path> SpecialTargets() {
        std::vector<fs::path> targets{folder / "pipe", folder / "folder", folder / "link"};
        ::mkfifo(targets[0].c_str(), 0666);
        fs::create_directory(targets[1]);
        fs::create_symlink(targets[0], targets[2]);
        if (::mknod((folder / "device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
            targets.push_back(folder / "device");
        }
        return targets;
    }

    TempFolder folder;
};

TEST_F(HostileFiles, ASaveOntoAnythingButARegularFileIsRefusedAndTouchesNothing) {
    const std::vector<fs::path> targets = SpecialTargets();
    const std::size_t entries = EntriesIn(folder.Path());
    for (const Saver save : kSavers) {
        for (const fs::path& target : targets) {
            const mode_t before = ModeOf(fs::canonical(target));
            // The settings store says so before it writes: it could not read the file.
            EXPECT_TRUE(save(target).ends_with(target.string() + ": not a regular file"))
                << save(target);
            EXPECT_EQ(ModeOf(fs::canonical(target)), before) << target;
        }
    }
    EXPECT_EQ(EntriesIn(folder.Path()), entries);  // no _Sum, no totals, no temporary file
}

// Known before anything is written: the test data and "_Sum" files are not
// written either.
TEST_F(HostileFiles, ATotalsFileThatIsAPipeIsRefusedAndTheLinesAreKept) {
    ::mkfifo((folder / "totalsums.csv").c_str(), 0666);
    SummaryLines summary;
    summary.Append({"12-06-26", false, FaultRunUnit(), "2.51"});
    const SaveResult saved = SaveTestData(folder / "run.csv", FaultRunUnit(), {"log"}, summary);
    ASSERT_EQ(saved.errors.size(), 1u);
    EXPECT_EQ(saved.errors[0],
              "Can't write " + (folder / "totalsums.csv").string() + ": not a regular file");
    EXPECT_EQ(summary.Count(), 1u);
    EXPECT_EQ(EntriesIn(folder.Path()), 1u);
}

TEST_F(HostileFiles, APlanOrUnitProfileThatIsAPipeADeviceOrHugeIsRefusedAtOnce) {
    ::mkfifo((folder / "pipe").c_str(), 0666);
    for (const fs::path& file : {folder / "pipe", fs::path("/dev/zero")}) {
        EXPECT_EQ(LoadTestPlanFile(file).Error(),
                  "Can't open test parameters file\n" + file.string() + ": not a regular file");
        EXPECT_EQ(LoadUnitProfile(file).Error(),
                  "unit profile: can't open " + file.string() + ": not a regular file");
    }
    const fs::path huge = folder / "huge";
    WriteBytes(huge, "");
    fs::resize_file(huge, std::uintmax_t{256} * 1024 * 1024 + 1);  // sparse: no disk used
    EXPECT_NE(LoadTestPlanFile(huge).Error().find("larger than 268435456 bytes"),
              std::string::npos);
    fs::resize_file(huge, 1024 * 1024 + 1);
    EXPECT_NE(LoadUnitProfile(huge).Error().find("larger than 1048576 bytes"), std::string::npos);

    const std::atomic<bool> stopped{true};
    WriteBytes(folder / "plan.csv", "h\nh\nA,1,2,3,4\n");
    EXPECT_NE(LoadTestPlanFile(folder / "plan.csv", &stopped).Error().find("stopped"),
              std::string::npos);
}

TEST_F(HostileFiles, AnUnknownUnitProfileKeyIsNamedCutShort) {
    const std::string key(10 * 1024 * 1024, 'k');
    const std::string error = ParseUnitProfile("{\"" + key + "\": 1}").Error();
    EXPECT_EQ(error, "unit profile: unknown key \"" + key.substr(0, 80) + "...\"");
}

// What a killed save left is removed by the next save of the same file; a
// temporary file another save still holds (locked) is not, nor is another file's.
TEST_F(HostileFiles, ASaveRemovesTheTemporaryFilesAKilledSaveLeft) {
    const fs::path file = folder / "diag.txt";
    WriteBytes(folder / ".diag.txt.Ab3xZ9", "half a fi");
    WriteBytes(folder / ".diag.txt.Held01", "being written");
    WriteBytes(folder / ".other.txt.Ab3xZ9", "another file's");
    const int holder = ::open((folder / ".diag.txt.Held01").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    EXPECT_EQ(SaveDiagRowsTo(file), "");
    ::close(holder);
    EXPECT_FALSE(fs::exists(folder / ".diag.txt.Ab3xZ9"));
    EXPECT_TRUE(fs::exists(folder / ".diag.txt.Held01"));
    EXPECT_TRUE(fs::exists(folder / ".other.txt.Ab3xZ9"));
    EXPECT_EQ(EntriesIn(folder.Path()), 3u);
}

// New files get 0666 narrowed by the umask, as any program's; a replaced file
// keeps the mode it had.
TEST_F(HostileFiles, NewFilesFollowTheUmaskAndAReplacedFileKeepsItsMode) {
    for (const mode_t mask : {mode_t{022}, mode_t{077}}) {
        TempFolder saves;
        WriteBytes(saves / "kept.csv", "old");
        fs::permissions(saves / "kept.csv", fs::perms(0640));
        const std::string modes = RunInChild([&] {
            ::umask(mask);
            SaveTestDataTo(saves / "run.csv");
            SaveDiagRowsTo(saves / "diag.txt");
            SaveDiagRowsTo(saves / "kept.csv");
            std::string text;
            for (const char* name : {"run.csv", "run_Sum.csv", "totalsums.csv", "diag.txt"}) {
                text += std::to_string(ModeOf(saves / name) & 0777) + " ";
            }
            return text + std::to_string(ModeOf(saves / "kept.csv") & 0777);
        });
        const std::string fresh = std::to_string(0666 & ~mask) + " ";
        EXPECT_EQ(modes, fresh + fresh + fresh + fresh + std::to_string(0640)) << mask;
    }
}

TEST_F(HostileFiles, StopEndsTheWaitForAnotherProgramsLockOnTheTotals) {
    const fs::path totals = folder / "totalsums.csv";
    WriteBytes(totals, "line 1\r\n");
    const int holder = ::open(totals.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    std::atomic<bool> stop{false};
    SummaryLines summary;
    summary.Append({"12-06-26", false, FaultRunUnit(), "2.51"});
    const auto start = std::chrono::steady_clock::now();
    std::thread operatorStops([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    const SaveResult saved =
        SaveTestData(folder / "run.csv", FaultRunUnit(), {"log"}, summary, &stop);
    operatorStops.join();
    ::close(holder);
    ASSERT_EQ(saved.errors.size(), 1u);
    EXPECT_EQ(saved.errors[0],
              "Can't write " + totals.string() + ": stopped while another program kept it locked");
    EXPECT_LT(std::chrono::steady_clock::now() - start, kSharedFileLockWait / 2);
    EXPECT_EQ(ReadBytes(totals), "line 1\r\n");
    EXPECT_EQ(summary.Count(), 1u);
}

}  // namespace
}  // namespace orvalt::test

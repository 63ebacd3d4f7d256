// Every file orvalt-cli writes, by every command that writes one (export -o,
// report --out, spc --out, the settings of spc --baseline, the runner's
// --save), where another user of the PC has been first: a link planted in a
// folder anyone may write, a file made read-only. The program runs as it would
// for its user, as root or as an operator without root (a uid the test takes:
// no account is needed); the other user is `nobody`.

#include <unistd.h>

#include <gtest/gtest.h>

#include "cli/ExitStatus.h"
#include "records/SqlConnection.h"
#include "support/ChildProcess.h"
#include "support/OtherUsers.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(ORVALT_SOURCE_DIR) / "examples";

// A file the commands could take as their own: a settings file too.
constexpr std::string_view kTargetText =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Location]\r\n"
    "\"VoltageOn\"=\"2.0\"\r\n";

// One command that writes a file: its words, given the file and the records.
// The settings of spc --baseline are the file of XDG_CONFIG_HOME/Kestrune.
struct Writer {
    const char* name;
    std::vector<std::string> (*words)(const std::string& file, const std::string& db);
    bool settings = false;
};

const Writer kWriters[] = {
    {"export",
     [](const std::string& file, const std::string& db) {
         return std::vector<std::string>{"export", "--since", "2000-01-01", "--format", "json",
                                         "-o",     file,      "--db",       db};
     }},
    {"report",
     [](const std::string& file, const std::string& db) {
         return std::vector<std::string>{"report", "--last", "--out", file, "--db", db};
     }},
    {"spc --out",
     [](const std::string& file, const std::string& db) {
         return std::vector<std::string>{"spc", "--model", "X100", "--out", file, "--db", db};
     }},
    {"spc --baseline",
     [](const std::string&, const std::string& db) {
         return std::vector<std::string>{"spc", "--model", "X100", "--baseline", "--db", db};
     },
     true},
    {"--save",
     [](const std::string& file, const std::string&) {
         return std::vector<std::string>{"--simulate",
                                         "--fast",
                                         "--no-record",
                                         "--quiet",
                                         "--save",
                                         file,
                                         (kExamples / "TestCfg.csv").string()};
     }},
};

class OutputFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "only root can act as the other users of these cases";
        }
        RecordALot();
        Own(db, 0, 0, 0644);  // the operator reads it too
    }

    // 25 units of model X100, enough to freeze a baseline.
    void RecordALot() {
        const ProgramEnd ended =
            Run({"--simulate", "--fast", "--model", "X100", "--lot-profile",
                 (kExamples / "lot-steady.json").string(), "--units", "25", "--quiet", "--db",
                 db.string(), (kExamples / "TestCfg.csv").string()},
                folder.Path(), 0);
        ASSERT_EQ(ended.exitStatus, 0) << err;
        // Read without a shared-memory index, which an operator could not make here.
        auto opened = OpenSqlConnection(db.string());
        ASSERT_TRUE(opened.Ok()) << opened.Error();
        ASSERT_TRUE((*opened)->Run("PRAGMA journal_mode=DELETE").Ok());
    }

    // orvalt-cli with `words`, as `user` (0: root), its settings and data in
    // `home`; its standard output in `out`, its error in `err`.
    ProgramEnd Run(const std::vector<std::string>& words, const fs::path& home, uid_t user) {
        std::vector<std::string> all{ORVALT_CLI_PATH};
        all.insert(all.end(), words.begin(), words.end());
        ProgramSaid said = RunProgram({all,
                                       {"XDG_CONFIG_HOME=" + home.string(),
                                        "XDG_DATA_HOME=" + home.string(), "HOME=" + home.string()},
                                       -1,
                                       -1,
                                       [user] {
                                           if (user != 0) {
                                               BecomeUser(user, user);
                                           }
                                       }},
                                      std::chrono::seconds(60));
        out = std::move(said.out);
        err = std::move(said.err);
        return said.end;
    }

    // Runs `writer` so that its file is `file`: a settings file must be
    // Kestrune/Orvalt.reg below the configuration folder it is given.
    ProgramEnd RunWriter(const Writer& writer, const fs::path& file, uid_t user) {
        const fs::path home = writer.settings ? file.parent_path().parent_path() : folder.Path();
        return Run(writer.words(file.string(), db.string()), home, user);
    }

    // The place each writer writes to in `parent`, in a folder `Kestrune` of
    // its own, with `mode` and `owner`.
    fs::path PlaceFor(const Writer& writer, const fs::path& parent, uid_t owner, mode_t mode) {
        const fs::path kestrune = parent / writer.name / "Kestrune";
        fs::create_directories(kestrune);
        Own(kestrune.parent_path(), owner, owner, 0755);
        Own(kestrune, owner, owner, mode);
        return kestrune / (writer.settings ? "Orvalt.reg" : "out.file");
    }

    TempFolder folder;
    const fs::path db = folder / "results.sqlite";
    std::string out, err;
};

// nobody plants a link to the victim's file where the victim then writes:
// root's file is root-only (group daemon), the operator's its own. Every
// command refuses it (a result not written: 4) and the file keeps its bytes,
// owner, group and mode.
TEST_F(OutputFiles, ALinkAnotherUserPlantedIsFollowedByNoCommand) {
    for (const uid_t victim : {uid_t{0}, kOperator}) {
        const fs::path targets = folder / ("targets of " + std::to_string(victim));
        fs::create_directory(targets);
        Own(targets, victim, victim, 0755);
        for (const Writer& writer : kWriters) {
            const fs::path target = targets / writer.name;
            WriteBytes(target, kTargetText);
            Own(target, victim, victim == 0 ? kDaemonGroup : victim, victim == 0 ? 0640 : 0644);
            const FileState before = StateOf(target);
            const fs::path link = PlaceFor(writer, folder / std::to_string(victim), 0, 01777);
            PlantLink(link, target, kNobody);
            const ProgramEnd ended = RunWriter(writer, link, victim);
            EXPECT_EQ(ended.exitStatus, kExitNotSaved) << writer.name << " as " << victim << err;
            EXPECT_NE(err.find("symbolic link another user owns"), std::string::npos) << err;
            EXPECT_EQ(StateOf(target), before) << writer.name << " as " << victim;
        }
    }
}

// The operator's own file, which it made read-only in its own folder: the
// folder would let a new file take its place, but no command does that.
TEST_F(OutputFiles, AFileMadeReadOnlyIsReplacedByNoCommand) {
    for (const Writer& writer : kWriters) {
        const fs::path file = PlaceFor(writer, folder / "operator", kOperator, 0755);
        WriteBytes(file, kTargetText);
        Own(file, kOperator, kOperator, 0444);
        const FileState before = StateOf(file);
        const ProgramEnd ended = RunWriter(writer, file, kOperator);
        EXPECT_EQ(ended.exitStatus, kExitNotSaved) << writer.name << ": " << err;
        EXPECT_NE(err.find("Can't write " + file.string() + ": Permission denied"),
                  std::string::npos)
            << writer.name << ": " << err;
        EXPECT_EQ(StateOf(file), before) << writer.name;
    }
}

// An empty name names no file: standard output is export's default, not
// what -o '' asks for.
TEST_F(OutputFiles, AnEmptyFileNameIsAUsageError) {
    for (const Writer& writer : kWriters) {
        if (writer.settings) {
            continue;
        }
        const ProgramEnd ended = Run(writer.words("", db.string()), folder.Path(), 0);
        EXPECT_EQ(ended.exitStatus, kExitUsage) << writer.name << ": " << err;
        EXPECT_TRUE(out.empty()) << writer.name << ": " << out.substr(0, 80);
        EXPECT_NE(err.find("nothing given"), std::string::npos) << writer.name << ": " << err;
    }
}

// The "_Sum" file's place holds a folder: --save says so and writes none of
// its three files, neither the test data file nor a line of the totals.
TEST_F(OutputFiles, ASaveWhoseSumFileIsAFolderWritesNothing) {
    const fs::path saves = folder / "saves";
    fs::create_directories(saves / "X_Sum.csv");
    const ProgramEnd ended =
        Run(kWriters[4].words((saves / "X.csv").string(), ""), folder.Path(), 0);
    EXPECT_EQ(ended.exitStatus, kExitNotSaved) << err;
    EXPECT_NE(err.find("Can't write " + (saves / "X_Sum.csv").string() + ": not a regular file"),
              std::string::npos)
        << err;
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(saves)) {
        entries.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(entries, std::vector<std::string>{"X_Sum.csv"});
}

// A settings file with lines the station skips, as 8-bit text or as a UTF-8
// export: spc --baseline changes none of it, names the line to mend and ends
// as `settings set` does (2); the same file mended takes the baselines.
TEST_F(OutputFiles, ABaselineIsFrozenOnlyIntoASettingsFileThatReadsWhole) {
    const fs::path home = folder / "config";
    const fs::path settings = home / "Kestrune" / "Orvalt.reg";
    const std::string lines =
        "REGEDIT4\r\n\r\n; kept by hand\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\"
        "Location]\r\n\"VoltageOn\"=\"2.0\"\r\n";
    for (const std::string& text :
         {lines + "no line the station reads\r\n", "\xEF\xBB\xBF" + lines}) {
        WriteBytes(settings, text);
        const ProgramEnd ended = Run(kWriters[3].words("", db.string()), home, 0);
        EXPECT_EQ(ended.exitStatus, kExitUsage) << err;
        EXPECT_NE(err.find("was left as it is"), std::string::npos) << err;
        EXPECT_EQ(ReadBytes(settings), text);
    }
    WriteBytes(settings, lines);
    const ProgramEnd ended = Run(kWriters[3].words("", db.string()), home, 0);
    EXPECT_EQ(ended.exitStatus, kExitRanToEnd) << err;
    EXPECT_TRUE(ReadBytes(settings).starts_with(lines + "\r\n[HKEY_CURRENT_USER\\Software\\"
                                                        "Kestrune\\Orvalt\\Drift\\X100]\r\n"))
        << ReadBytes(settings);
}

}  // namespace
}  // namespace orvalt::test

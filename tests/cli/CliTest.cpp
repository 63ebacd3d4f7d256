#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "cli/PortListing.h"
#include "platform/HostIdentity.h"
#include "platform/PseudoTerminal.h"
#include "reading/RunLoad.h"
#include "recording/RecordStore.h"
#include "records/ResultsSetting.h"
#include "sim/SimulatedSerialNumber.h"
#include "sim/UnitProfileJson.h"
#include "support/ChildProcess.h"
#include "support/PortHolder.h"
#include "support/RecordsKit.h"

namespace orvalt {
namespace {

namespace fs = std::filesystem;

TEST(CliOptions, ReadsEveryOptionAndRefusesWhatCannotWork) {
    const auto ok =
        ParseCliOptions({"--simulate", "--fast", "--option", "7", "--trace", "--manufacturer",
                         "Acme", "--model", "", "--save", "out.csv", "plan.csv"});
    ASSERT_TRUE(ok.options) << ok.error;
    EXPECT_EQ(ok.options->planPath, "plan.csv");
    EXPECT_EQ(ok.options->ttoOption, 7);
    EXPECT_EQ(ok.options->manufacturer, "Acme");
    EXPECT_EQ(ok.options->model, "");  // given empty: not the setting
    EXPECT_FALSE(ok.options->type.has_value());

    for (const std::vector<std::string>& bad : {std::vector<std::string>{},
                                                {"--fast", "p.csv"},
                                                {"--option", "x7", "p.csv"},
                                                {"--option"},
                                                {"--bogus", "p.csv"},
                                                {"a.csv", "b.csv"},
                                                {"--unit", "u.json", "p.csv"},
                                                {"--serial", std::string(128, 'x'), "p.csv"},
                                                {"--operator", std::string(128, 'o'), "p.csv"},
                                                {"--lot", std::string(128, 'l'), "p.csv"},
                                                {"--db", "", "p.csv"},
                                                {"--db", "r.sqlite", "--no-record", "p.csv"}}) {
        EXPECT_FALSE(ParseCliOptions(bad).options) << (bad.empty() ? "" : bad[0]);
    }
    EXPECT_TRUE(ParseCliOptions({"--help"}).helpRequested);
    // Neither needs a plan.
    EXPECT_TRUE(ParseCliOptions({"--version"}).versionRequested);
    EXPECT_TRUE(ParseCliOptions({"--list-ports"}).listPortsRequested);
    // At most 127 characters, however many bytes each takes; a byte that is
    // no character's counts as one.
    const auto repeated = [](std::string_view character, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) {
            text += character;
        }
        return text;
    };
    for (const std::string_view character :
         {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x92\xA1", "\xFF"}) {
        for (const char* option : {"--serial", "--operator", "--lot"}) {
            EXPECT_TRUE(ParseCliOptions({option, repeated(character, 127), "p.csv"}).options)
                << option << " " << character.size() << "-byte characters";
            EXPECT_FALSE(ParseCliOptions({option, repeated(character, 128), "p.csv"}).options)
                << option << " " << character.size() << "-byte characters";
        }
    }
    const auto recorded =
        ParseCliOptions({"--serial", std::string(127, 's'), "--db", "postgresql://x", "p.csv"});
    ASSERT_TRUE(recorded.options) << recorded.error;
    EXPECT_EQ(recorded.options->serial.size(), 127u);
    EXPECT_EQ(recorded.options->db, "postgresql://x");
    EXPECT_FALSE(recorded.options->noRecord);
    EXPECT_TRUE(ParseCliOptions({"--no-record", "p.csv"}).options->noRecord);
}

// A rejected value is repeated as a terminal can take it; a database URL is
// not repeated at all, since it may hold a password.
TEST(CliOptions, ARejectedValueIsShownEscapedAndCut) {
    EXPECT_EQ(ParseCliOptions({"--option", std::string(5000, '9'), "p.csv"}).error,
              "bad value for --option: " + std::string(64, '9') + "... (5000 bytes)");
    EXPECT_EQ(ParseCliOptions({"--option", "\x1b]0;owned\a", "p.csv"}).error,
              "bad value for --option: \\x1b]0;owned\\x07");
    EXPECT_EQ(ParseCliOptions({"--bogus\nforged", "p.csv"}).error,
              "unexpected argument: --bogus\\nforged");
    for (const char* typo :
         {"PostgreSQL://op:Qpw@db/orvalt", "postgresql:/db/Qorvalt", "postgres//db/Qorvalt"}) {
        const auto parsed = ParseCliOptions({"--db", typo, "p.csv"});
        EXPECT_FALSE(parsed.options) << typo;
        EXPECT_NE(parsed.error.find("bad value for --db: not a valid postgresql:// URL"),
                  std::string::npos)
            << parsed.error;
        EXPECT_EQ(parsed.error.find('Z'), std::string::npos) << parsed.error;
    }
}

// One parser reads the run and the records commands. The run's words keep
// their meaning: the last of a repeated option counts, the word after an
// option is its value whatever it looks like, and only a first word names a
// records command.
TEST(CliOptions, OneParserKeepsTheRunsWordsAndNamesTheRecordsCommandsFirst) {
    const auto run = ParseCliOptions({"--option", "3", "--simulate", "--option", "-1", "--simulate",
                                      "--manufacturer", "--fast", "--serial", "-12", "history"});
    ASSERT_TRUE(run.options) << run.error;
    EXPECT_EQ(run.options->ttoOption, -1);
    EXPECT_EQ(run.options->manufacturer, "--fast");
    EXPECT_FALSE(run.options->fast);
    EXPECT_EQ(run.options->serial, "-12");
    EXPECT_EQ(run.options->planPath, "history");
    EXPECT_FALSE(run.records);
    EXPECT_EQ(ParseCliOptions({"--simulate", "--option"}).error, "--option needs a value");
    EXPECT_EQ(ParseCliOptions({"p.csv", "yield"}).error, "unexpected argument: yield");
    EXPECT_TRUE(ParseCliOptions({"--version", "p.csv"}).versionRequested);

    const auto history = ParseCliOptions({"history", "--limit", "3"});
    EXPECT_TRUE(history.records) << history.error;
    EXPECT_EQ(history.command, "history");
    EXPECT_FALSE(history.options);
    const auto mixed = ParseCliOptions({"history", "--simulate"});
    EXPECT_FALSE(mixed.records);
    EXPECT_EQ(mixed.command, "history");
    EXPECT_NE(mixed.error.find("--simulate"), std::string::npos) << mixed.error;
}

// The help names every command and every exit status, once each; a
// command's help has its own options and the statuses it ends with.
TEST(CliOptions, TheHelpListsTheCommandsAndOneTableOfExitStatuses) {
    const auto parsed = ParseCliOptions({"--simulate", "--help"});
    ASSERT_TRUE(parsed.helpRequested);
    std::ostringstream out, err;
    EXPECT_EQ(AnswerHelpOrError(parsed, out, err), kExitRanToEnd);
    const std::string help = out.str();
    for (const char* command :
         {"\n  history ", "\n  yield ", "\n  report ", "\n  rejudge ", "--limits FILE"})
        EXPECT_EQ(test::CountOf(help, command), 1u) << command << "\n" << help;
    for (int status = kExitRanToEnd; status <= kExitRecordsDisagree; ++status)
        EXPECT_EQ(test::CountOf(help, "\n  " + std::to_string(status) + "  "), 1u) << status;
    // Every command that ends with 0 and with 7 is named on their lines.
    const auto statusLine = [&help](int status) {
        const std::size_t begin = help.find("\n  " + std::to_string(status) + "  ");
        return begin == std::string::npos ? std::string()
                                          : help.substr(begin, help.find('\n', begin + 1) - begin);
    };
    for (const char* command :
         {"history", "yield", "report", "export", "spc", "alarms", "settings"})
        EXPECT_NE(statusLine(kExitRanToEnd).find(command), std::string::npos) << command;
    for (const char* command : {"history", "yield", "report", "export", "rejudge", "spc", "alarms"})
        EXPECT_NE(statusLine(kExitRecordsUnreadable).find(command), std::string::npos) << command;
    EXPECT_EQ(test::CountOf(help, "\n  9  "), 0u);

    const std::string yield = ParseCliOptions({"yield", "-h"}).help;
    EXPECT_NE(yield.find("--by"), std::string::npos) << yield;
    EXPECT_EQ(yield.find("--simulate"), std::string::npos) << yield;
    EXPECT_NE(yield.find("\n  7  "), std::string::npos) << yield;
    EXPECT_EQ(yield.find("\n  5  "), std::string::npos) << yield;

    std::ostringstream none, said;
    EXPECT_EQ(AnswerHelpOrError(ParseCliOptions({"--bogus"}), none, said), kExitUsage);
    EXPECT_EQ(said.str(),
              "orvalt-cli: unexpected argument: --bogus\n"
              "orvalt-cli --help shows the options and the exit statuses.\n");
    EXPECT_EQ(none.str(), "");
}

TEST(PortListing, ShowsThePortsAsTheWindowDoesWithTheNumberThatChoosesEach) {
    const std::vector<DiagPort> offered{
        {"/dev/ttyS0", "/dev/ttyS0", 1},
        {"/dev/ttyUSB0", "/dev/ttyUSB0 (FT232R USB UART)", 17},
        {"/dev/pts/3", "/dev/pts/3 (simulated driver)", kSimulatorCommPort},
        {"/dev/ttyXRUSB0", "/dev/ttyXRUSB0", 0},
    };
    EXPECT_EQ(PortListing(offered),
              "  1  /dev/ttyS0\n"
              " 17  /dev/ttyUSB0 (FT232R USB UART)\n"
              " 64  /dev/pts/3 (simulated driver)\n"
              "  -  /dev/ttyXRUSB0\n");

    // On this machine: each number printed, given to --diag, opens that port.
    const std::vector<DiagPort> ports = ListDiagPorts();
    std::istringstream lines(PortListing(ports));
    std::string number, label;
    for (const DiagPort& port : ports) {
        ASSERT_TRUE(lines >> number && std::getline(lines, label)) << port.path;
        EXPECT_EQ(label, "  " + port.label);
        if (number != "-") {
            EXPECT_EQ(ResolvePortArgument(number, ports)->path, port.path) << number;
        }
    }
    EXPECT_FALSE(lines >> number);
}

TEST(UnitProfile, EveryKeyIsOptionalAndABadOneIsNamed) {
    const auto defaults = ParseUnitProfile("{}");
    ASSERT_TRUE(defaults.Ok());
    EXPECT_DOUBLE_EQ(defaults->levels[3], UnitProfile{}.levels[3]);

    const auto full = ParseUnitProfile(
        R"({"levels":[1,2,3,4.5],"startMs":10,"setupPattern":[1,2,3,4],"cycling":false,)"
        R"("noiseMv":2.5,"seed":9,"failReadAfter":0,"diagSilent":true})");
    ASSERT_TRUE(full.Ok()) << full.Error();
    EXPECT_DOUBLE_EQ(full->levels[3], 4.5);
    EXPECT_EQ(full->failReadAfter, 0);
    EXPECT_FALSE(full->cycling);

    struct Case {
        const char* json;
        const char* named;
    };
    for (const Case c :
         {Case{"{\"levels\": [1,2,3]}", "\"levels\""}, Case{"{\"startMs\": \"5\"}", "\"startMs\""},
          Case{"{\"levelMs\": 0}", "\"levelMs\""}, Case{"{\"cycling\": 1}", "\"cycling\""},
          Case{"{\"seed\": -1}", "\"seed\""}, Case{"{\"nosuch\": 1}", "\"nosuch\""},
          Case{"{\"startMs\": 1e99}", "\"startMs\""}, Case{"[1]", "object"},
          Case{"{\"levels\": [1,2,", "JSON"}}) {
        const auto result = ParseUnitProfile(c.json);
        ASSERT_FALSE(result.Ok()) << c.json;
        EXPECT_NE(result.Error().find(c.named), std::string::npos) << result.Error();
    }
}

// The runner reads the settings file like the station; each test gets its own.
class HeadlessRun : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("orvalt-cli-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        ::setenv("XDG_DATA_HOME", folder.c_str(), 1);  // the run records
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path Write(const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
        return folder / name;
    }

    int Run(std::vector<std::string> args) {
        const auto parsed = ParseCliOptions(args);
        EXPECT_TRUE(parsed.options) << parsed.error;
        std::ostringstream o, e;
        const int status = RunHeadless(*parsed.options, o, e, stop);
        out = o.str();
        err = e.str();
        return status;
    }

    fs::path folder;
    StopRequest stop;
    std::string out, err;
    const std::string plan = "header\nheader\nA,1.5,2,0.25,3,6\n\nB,0,5,5,2.0,5000,2\n";
};

TEST_F(HeadlessRun, SimulatedFastRunPrintsTheSameBytesEveryTimeAndSaves) {
    const auto planFile = Write("plan.csv", plan);
    const std::vector<std::string> args{
        "--simulate",     "--fast", "--extra-log", "--trace",
        "--manufacturer", "Acme",   "--save",      (folder / "run.csv").string(),
        planFile.string()};
    ASSERT_EQ(Run(args), kExitRanToEnd) << err;
    const std::string first = out;
    EXPECT_NE(first.find("wait[0]: Wait 20.00 secs for to ensure OFF\n"), std::string::npos);
    EXPECT_NE(first.find(">>Diag: 512 1 2\n"), std::string::npos);
    EXPECT_NE(first.find("Pass, 2.6,2.6\n"), std::string::npos);
    ASSERT_EQ(Run(args), kExitRanToEnd) << err;
    EXPECT_EQ(out, first);

    std::ifstream totals(folder / "totalsums.csv", std::ios::binary);
    std::string totalsText((std::istreambuf_iterator<char>(totals)), {});
    // Two saves of two completed tests each.
    EXPECT_EQ(std::count(totalsText.begin(), totalsText.end(), '\n'), 4);
    EXPECT_NE(totalsText.find(", 1, 0,Acme, "), std::string::npos);
}

TEST_F(HeadlessRun, ExitStatusTellsHowTheRunEnded) {
    const auto planFile = Write("plan.csv", plan);
    EXPECT_EQ(Run({"--simulate", "--fast", (folder / "missing.csv").string()}), kExitUsage);
    EXPECT_EQ(err, "Can't open test parameters file\n" + (folder / "missing.csv").string() +
                       ": No such file or directory\n");

    Write("unit.json", R"({"failOutputAfter": 3})");
    EXPECT_EQ(Run({"--simulate", "--fast", "--trace", "--unit", (folder / "unit.json").string(),
                   planFile.string()}),
              kExitAbandonedOrStopped);
    EXPECT_NE(out.find("status[0]: LabJack control output failed. Code 1008\n"), std::string::npos);
    // Said without --trace too, and then that the unit may still be powered.
    EXPECT_EQ(err,
              "LabJack control output failed. Code 1008\n"
              "The unit may still be powered: switching it off failed. Code 1008\n");

    Write("bad.json", R"({"levels": "high"})");
    EXPECT_EQ(Run({"--simulate", "--unit", (folder / "bad.json").string(), planFile.string()}),
              kExitUsage);
    EXPECT_NE(err.find("\"levels\""), std::string::npos);

    EXPECT_EQ(Run({"--simulate", "--fast", "--diag", "/dev/no-such-port", planFile.string()}),
              kExitUsage);
    EXPECT_NE(err.find("Comm port open failed"), std::string::npos);

    stop.Request();  // Ctrl-C before anything ran
    EXPECT_EQ(Run({"--simulate", "--fast", planFile.string()}), kExitAbandonedOrStopped);
}

TEST_F(HeadlessRun, ThePlansTextIsCheckedAndTheUnitIsLeftOff) {
    EXPECT_EQ(Run({"--simulate", "--fast", Write("empty.csv", "h\nh\n\n").string()}), kExitUsage);
    EXPECT_EQ(err, "The plan holds no tests.\n");
    EXPECT_EQ(out, "");

    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    EXPECT_EQ(Run({"--simulate", "--fast", Write("picture.csv", png).string()}), kExitUsage);
    EXPECT_EQ(err, "Line 2: control character 0x1A; this is not a test plan\n");

    const auto words = Write("words.csv", "h\nh\nA,0,0.1,0.1,1.0,5000,two\n");
    EXPECT_EQ(Run({"--simulate", "--fast", words.string()}), kExitRanToEnd);
    EXPECT_EQ(err,
              "These fields hold no number and are read as 0: line 3 column 7.\n"
              "Unit power switched off\n");
    EXPECT_EQ(out.rfind("Pass, \n", 0), 0u) << out;  // no repetitions: the word reads as 0
}

TEST_F(HeadlessRun, APortAnotherProgramHoldsIsRefusedNamingIt) {
    const auto planFile = Write("plan.csv", plan);
    auto pty = PseudoTerminal::Open();
    ASSERT_TRUE(pty);
    test::PortHolder holder(pty->SlavePath());
    EXPECT_EQ(Run({"--simulate", "--fast", "--diag", pty->SlavePath(), planFile.string()}),
              kExitUsage);
    EXPECT_EQ(err, "Comm port open failed\nopen " + pty->SlavePath() + ": also open in process " +
                       std::to_string(holder.Pid()) + " (sleep)\n");
}

std::map<std::string, std::string> FilesIn(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] =
            std::string((std::istreambuf_iterator<char>(in)), {});
    }
    return files;
}

// The serial, the operator, the lot and the record change nothing the runner
// prints or saves; without --operator the record names the login.
TEST_F(HeadlessRun, ARecordedRunKeepsItsSerialAndLeavesOutputAndFilesAsTheyWere) {
    const auto planFile = Write("plan.csv", plan);
    fs::create_directories(folder / "plain");
    fs::create_directories(folder / "recorded");
    ASSERT_EQ(Run({"--simulate", "--fast", "--no-record", "--save",
                   (folder / "plain" / "run.csv").string(), planFile.string()}),
              kExitRanToEnd)
        << err;
    const std::string plainOut = out;
    EXPECT_FALSE(fs::exists(folder / "Kestrune"));
    const fs::path db = folder / "records.sqlite";
    ASSERT_EQ(Run({"--simulate", "--fast", "--serial", "SN 7", "--operator", "Ann Lee", "--lot",
                   "WO-88", "--db", db.string(), "--save",
                   (folder / "recorded" / "run.csv").string(), planFile.string()}),
              kExitRanToEnd)
        << err;
    EXPECT_EQ(out, plainOut);
    EXPECT_EQ(err, "Unit power switched off\n");
    const auto plainFiles = FilesIn(folder / "plain");
    EXPECT_EQ(plainFiles.size(), 3u);
    EXPECT_EQ(FilesIn(folder / "recorded"), plainFiles);

    auto opened = OpenSqlConnection(db.string());
    ASSERT_TRUE(opened.Ok()) << opened.Error();
    const auto uuid = LastRunUuid(**opened);
    ASSERT_TRUE(uuid.Ok()) << uuid.Error();
    const auto run = LoadRun(**opened, *uuid);
    ASSERT_TRUE(run.Ok()) << run.Error();
    ASSERT_TRUE(run->has_value());
    EXPECT_EQ((*run)->start.unit.serial, "SN 7");
    EXPECT_EQ((*run)->start.operatorName, "Ann Lee");
    EXPECT_EQ((*run)->start.lot, "WO-88");
    EXPECT_EQ((*run)->start.login, OperatorLoginName());
    EXPECT_EQ((*run)->start.planName, "plan.csv");
    EXPECT_EQ((*run)->tests.size(), 2u);

    ASSERT_EQ(Run({"--simulate", "--fast", "--db", db.string(), planFile.string()}), kExitRanToEnd)
        << err;
    const auto second = LoadRun(**opened, *LastRunUuid(**opened));
    ASSERT_TRUE(second.Ok() && second->has_value());
    EXPECT_EQ((*second)->start.operatorName, OperatorLoginName());
    EXPECT_EQ((*second)->start.lot, "");

    // Without --db, into the data folder (this test's own).
    ASSERT_EQ(Run({"--simulate", "--fast", planFile.string()}), kExitRanToEnd) << err;
    EXPECT_TRUE(fs::exists(folder / "Kestrune" / "Orvalt" / "results.sqlite"));
}

// A unit that completes eight in a row above the centre of its model's
// Time To OFF A: the alarm is one line on stderr after the run's own, and
// standard output, the exit status and the saved files are as without it.
TEST_F(HeadlessRun, ADriftAlarmIsOneLineOnStderrAndNothingElseChanges) {
    const auto planFile = Write("one.csv", "h\nh\nCycle 1 @ Level 3,1.5,2,0.25,3,2\n");
    fs::create_directories(folder / "plain");
    fs::create_directories(folder / "alarmed");
    ASSERT_EQ(Run({"--simulate", "--fast", "--no-record", "--model", "X100", "--save",
                   (folder / "plain" / "run.csv").string(), planFile.string()}),
              kExitRanToEnd)
        << err;
    const std::string plainOut = out;
    const std::string db = (folder / "records.sqlite").string();
    {
        auto opened = OpenRecordDatabase(db);
        ASSERT_TRUE(opened.Ok()) << opened.Error();
        std::vector<double> history;
        for (int i = 0; i < 25; ++i) {
            history.push_back(i % 2 == 0 ? 0.35 : 0.55);  // centre 0.45
        }
        history.insert(history.end(), 7, 0.50);  // the simulated unit's own
        ASSERT_TRUE(test::RecordFigureHistory(**opened, "X100", 0, "TimeToOffA", history));
    }
    ASSERT_EQ(Run({"--simulate", "--fast", "--model", "X100", "--db", db, "--save",
                   (folder / "alarmed" / "run.csv").string(), planFile.string()}),
              kExitRanToEnd)
        << err;
    EXPECT_EQ(out, plainOut);
    EXPECT_EQ(err,
              "Unit power switched off\n"
              "Drift: TimeToOffA on X100: 8 units in a row above the centre (rule 4)\n");
    EXPECT_EQ(FilesIn(folder / "alarmed"), FilesIn(folder / "plain"));
}

// A database that can't be written is said once on stderr; the run and its
// files are as without it.
TEST_F(HeadlessRun, ADatabaseThatCannotBeWrittenIsSaidOnceAndTheRunGoesOn) {
    const auto planFile = Write("plan.csv", plan);
    Write("blocker", "a file where a folder should be");
    ASSERT_EQ(Run({"--simulate", "--fast", "--db", (folder / "blocker" / "r.sqlite").string(),
                   "--save", (folder / "run.csv").string(), planFile.string()}),
              kExitRanToEnd);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;  // and the unit's power
    EXPECT_TRUE(fs::exists(folder / "run.csv"));
    EXPECT_TRUE(fs::exists(DefaultResultsSpool((folder / "blocker" / "r.sqlite").string())));
}

// Neither the database nor the spool takes the run: a spool folder that is a
// file, a file-size limit, a read-only folder. Each time the runner says that
// the run's record was lost and why, and ends with a status of its own.
TEST_F(HeadlessRun, ARecordNeitherTheDatabaseNorTheSpoolTakesIsLostAndSaidSo) {
    const auto planFile = Write("plan.csv", plan);
    const std::string db = Write("broken.sqlite", std::string(8192, 'x')).string();
    const std::vector<std::string> args{"--simulate", "--fast", "--db", db, planFile.string()};
    const fs::path spoolFolder = DefaultResultsSpool(db).parent_path();
    const auto expectLost = [&](const std::string& outcome, const std::string& cause) {
        EXPECT_EQ(outcome.substr(0, 2), std::to_string(kExitRecordLost) + "|") << outcome;
        EXPECT_NE(outcome.find("The record of run "), std::string::npos) << outcome;
        EXPECT_NE(outcome.find(" was lost: Results database " + db + ": file is not a database"),
                  std::string::npos)
            << outcome;
        EXPECT_NE(outcome.find(cause), std::string::npos) << outcome;
        EXPECT_EQ(outcome.find("Records are kept in"), std::string::npos) << outcome;
    };
    fs::create_directories(spoolFolder.parent_path());
    Write(fs::relative(spoolFolder, folder).string(), "a file where the spool's folder belongs");
    expectLost(std::to_string(Run(args)) + "|" + err, "unable to open database file");

    fs::remove(spoolFolder);
    fs::create_directories(spoolFolder);
    expectLost(test::RunInChild([&] {
                   test::LimitFileSize(2048);
                   return std::to_string(Run(args)) + "|" + err;
               }),
               "disk I/O error");

    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(spoolFolder, fs::perms::owner_read | fs::perms::owner_exec |
                                     fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    expectLost(test::RunInChild([&] {
                   test::DropRoot();
                   return std::to_string(Run(args)) + "|" + err;
               }),
               "attempt to write a readonly database");
    fs::permissions(spoolFolder, fs::perms::owner_all);
}

// A setting that only looks like a server URL would record into a local file
// named after it: the run is refused before it starts.
TEST_F(HeadlessRun, AMistypedDatabaseSettingIsRefusedBeforeTheRun) {
    const auto planFile = Write("plan.csv", plan);
    fs::create_directories(folder / "Kestrune");
    Write("Kestrune/Orvalt.reg",
          "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Results]\r\n"
          "\"ResultsDatabase\"=\"PostgreSQL://op:s3cr3t@db/orvalt\"\r\n");
    EXPECT_EQ(Run({"--simulate", "--fast", planFile.string()}), kExitUsage);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("not a valid postgresql:// URL"), std::string::npos) << err;
    EXPECT_EQ(err.find("s3cr3t"), std::string::npos) << err;
}

TEST_F(HeadlessRun, AResultFileThatCannotBeWrittenIsReported) {
    const auto planFile = Write("plan.csv", plan);
    EXPECT_EQ(Run({"--simulate", "--fast", "--save", (folder / "no/such/folder/run.csv").string(),
                   planFile.string()}),
              kExitNotSaved);
    EXPECT_NE(err.find("run.csv"), std::string::npos);
}

// A fixture runs on its own settings, and its simulated U3 answers only to the
// number derived from its name.
TEST_F(HeadlessRun, AFixtureRunsOnItsOwnSettingsAndItsOwnSimulatedU3) {
    const auto planFile = Write("plan.csv", plan);
    fs::create_directories(folder / "Kestrune");
    const auto settings = [&](const std::string& serial) {
        Write("Kestrune/Orvalt.reg",
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Location]\r\n"
              "\"Manufacturer\"=\"LocationCo\"\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Fixtures\\Bay 2]\r\n"
              "\"Manufacturer\"=\"BayCo\"\r\n\"U3SerialNumber\"=\"" +
                  serial + "\"\r\n");
    };
    settings(std::to_string(SimulatedSerialNumber("Bay 2")));
    const std::string save = (folder / "run.csv").string();
    ASSERT_EQ(
        Run({"--simulate", "--fast", "--fixture", "Bay 2", "--save", save, planFile.string()}),
        kExitRanToEnd)
        << err;
    std::ifstream totals(folder / "totalsums.csv", std::ios::binary);
    const std::string totalsText((std::istreambuf_iterator<char>(totals)), {});
    EXPECT_NE(totalsText.find(",BayCo, "), std::string::npos) << totalsText;
    EXPECT_EQ(totalsText.find("LocationCo"), std::string::npos);

    settings("320000001");  // the unnamed station's simulated U3, not this fixture's
    EXPECT_EQ(Run({"--simulate", "--fast", "--fixture", "Bay 2", planFile.string()}),
              kExitDeviceNotOpened);
    EXPECT_EQ(err,
              "Can't open LabJack for voltage measurement. Code 1007\n"
              "The U3 looked for has serial number 320000001.\n"
              "Check its cable and that it has power; orvalt-cli --list-devices lists the U3s "
              "present.\n");
}

// With --limits the log is the same bytes as without, followed by the verdicts.
TEST_F(HeadlessRun, LimitsAddVerdictLinesAfterTheUnchangedLogAndExitFiveOnAFailedLimit) {
    const auto planFile = Write("plan.csv", plan);
    ASSERT_EQ(Run({"--simulate", "--fast", planFile.string()}), kExitRanToEnd) << err;
    const std::string plainLog = out;

    const auto passing =
        Write("pass.csv", "measurement,min,max\r\nV1,2.5,2.7\r\nRepetitionsFailed,,0\r\n");
    ASSERT_EQ(Run({"--simulate", "--fast", "--limits", passing.string(), planFile.string()}),
              kExitRanToEnd)
        << err;
    EXPECT_EQ(out, plainLog + "VERDICT TEST 1: PASS\nVERDICT TEST 2: PASS\nVERDICT UNIT: PASS\n");

    const auto failing = Write("fail.csv", "measurement,min,max\nV1,,2.00\nCT,,\n");
    EXPECT_EQ(Run({"--simulate", "--fast", "--limits", failing.string(), planFile.string()}),
              kExitLimitFailed);
    EXPECT_EQ(out, plainLog +
                       "VERDICT TEST 1: FAIL V1 2.60 > 2.00\n"
                       "VERDICT TEST 2: NOT JUDGED no limit applies to its measurements\n"
                       "VERDICT UNIT: FAIL\n");
}

// Limits that judge a diagnostic figure need the driver's line: without it
// Start is refused before anything runs, rather than a unit failed (or, as it
// was, passed) on figures nobody measured. Limits without one need no line.
TEST_F(HeadlessRun, DiagnosticLimitsWithoutTheDiagnosticLineAreRefusedBeforeTheRun) {
    const auto planFile = Write("plan.csv", plan);
    const auto diagnostic =
        Write("diag.csv", "measurement,min,max\nV1,2.5,2.7\nDelay,,1000\nSaveNotAsExpected,,0\n");
    EXPECT_EQ(Run({"--simulate", "--fast", "--no-diag", "--limits", diagnostic.string(),
                   planFile.string()}),
              kExitUsage);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err,
              "Open the Diag Comm Port first: the limits judge Delay and SaveNotAsExpected from "
              "the driver's diagnostic line. Give --diag PORT.\n");
    EXPECT_EQ(Run({"--simulate", "--fast", "--limits", diagnostic.string(), planFile.string()}),
              kExitRanToEnd)
        << err;
    EXPECT_NE(out.find("VERDICT TEST 1: PASS\n"), std::string::npos) << out;

    const auto levels = Write("levels.csv", "measurement,min,max\nV1,2.5,2.7\n");
    EXPECT_EQ(
        Run({"--simulate", "--fast", "--no-diag", "--limits", levels.string(), planFile.string()}),
        kExitRanToEnd)
        << err;
}

// The example plan, limits and slow unit as the package installs them: the
// slow decay after power cut fails the level-4 test's Time To OFF A.
TEST_F(HeadlessRun, TheSlowExampleUnitFailsTheExamplePlansPassingLimits) {
    const std::string examples = ORVALT_SOURCE_DIR "/examples/";
    const std::vector<std::string> run{"--simulate",
                                       "--fast",
                                       "--no-record",
                                       "--limits",
                                       examples + "limits-pass.csv",
                                       examples + "TestCfg.csv"};
    ASSERT_EQ(Run(run), kExitRanToEnd) << err;
    std::vector<std::string> slow = run;
    slow.insert(slow.begin() + 2, {"--unit", examples + "unit-slow-off.json"});
    ASSERT_EQ(Run(slow), kExitLimitFailed) << err;
    EXPECT_NE(out.find("VERDICT TEST 2: FAIL TimeToOffA 1.25 > 1.00\n"), std::string::npos) << out;
    EXPECT_TRUE(out.ends_with("VERDICT UNIT: FAIL\n")) << out;
}

// The simulated unit reads 2.6 V: outside a 3.0..5.0 V window every repetition
// fails, the station logs "Fail, " and the verdict agrees.
TEST_F(HeadlessRun, AnOnOffTestThatTheStationFailsFailsItsLimit) {
    const auto planFile = Write("onoff.csv", "header\nheader\nB,0,5,5,3.0,5000,2\n");
    const auto limits = Write("limits.csv", "measurement,min,max\nRepetitionsFailed,,0\n");
    EXPECT_EQ(Run({"--simulate", "--fast", "--limits", limits.string(), planFile.string()}),
              kExitLimitFailed);
    EXPECT_NE(out.find("Fail, 2.6,2.6\n"), std::string::npos);
    EXPECT_NE(out.find("VERDICT TEST 1: FAIL RepetitionsFailed 2 > 0\nVERDICT UNIT: FAIL\n"),
              std::string::npos)
        << out;
}

TEST_F(HeadlessRun, AnAbandonedRunIsAnErrorNotALimitFailure) {
    const auto planFile = Write("plan.csv", plan);
    const auto limits = Write("limits.csv", "measurement,min,max\nV1,,2.00\n");
    Write("unit.json", R"({"failOutputAfter": 3})");
    EXPECT_EQ(Run({"--simulate", "--fast", "--unit", (folder / "unit.json").string(), "--limits",
                   limits.string(), planFile.string()}),
              kExitAbandonedOrStopped);
    EXPECT_TRUE(out.ends_with("VERDICT TEST 1: ERROR abandoned\nVERDICT UNIT: ERROR\n")) << out;
}

TEST_F(HeadlessRun, ABadLimitsFileIsRefusedNamingItsLineBeforeAnythingRuns) {
    const auto planFile = Write("plan.csv", plan);
    const auto limits = Write("limits.csv", "measurement,min,max\nV1,1,2\nV5,,1\n");
    EXPECT_EQ(Run({"--simulate", "--fast", "--limits", limits.string(), planFile.string()}),
              kExitUsage);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("Line 3: "), std::string::npos) << err;
    EXPECT_FALSE(ParseCliOptions({"--limits", "", "p.csv"}).options);
}

}  // namespace
}  // namespace orvalt

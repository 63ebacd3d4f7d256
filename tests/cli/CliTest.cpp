#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "cli/PortListing.h"
#include "platform/PseudoTerminal.h"
#include "sim/UnitProfileJson.h"
#include "support/PortHolder.h"

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
                                                {"--unit", "u.json", "p.csv"}}) {
        EXPECT_FALSE(ParseCliOptions(bad).options) << (bad.empty() ? "" : bad[0]);
    }
    EXPECT_TRUE(ParseCliOptions({"--help"}).helpRequested);
    // Neither needs a plan.
    EXPECT_TRUE(ParseCliOptions({"--version"}).versionRequested);
    EXPECT_TRUE(ParseCliOptions({"--list-ports"}).listPortsRequested);
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
    std::atomic<bool> stop{false};
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

    stop = true;  // Ctrl-C before anything ran
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

TEST_F(HeadlessRun, AResultFileThatCannotBeWrittenIsReported) {
    const auto planFile = Write("plan.csv", plan);
    EXPECT_EQ(Run({"--simulate", "--fast", "--save", (folder / "no/such/folder/run.csv").string(),
                   planFile.string()}),
              kExitNotSaved);
    EXPECT_NE(err.find("run.csv"), std::string::npos);
}

}  // namespace
}  // namespace orvalt

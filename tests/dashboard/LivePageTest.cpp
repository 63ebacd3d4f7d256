// The line page live in a browser while stations record, on a SQLite file
// and on a PostgreSQL server: four orvalt-cli lots, each its own process,
// record into the database one orvalt-dashboard serves, and headless Chromium
// keeps the page open as a PC of the line would. What the page shows is read
// back from its DOM: every fixture's last unit soon after its station ended, a
// serial number made of markup shown as those characters, and the page losing
// the dashboard and finding a new one on the same port by itself.

#include <fcntl.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "DashboardChild.h"
#include "platform/UniqueFd.h"
#include "support/ChildProcess.h"
#include "support/ChromiumPage.h"
#include "support/HeadlessChromium.h"
#include "support/PgCluster.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

const fs::path kExamples = fs::path(ORVALT_SOURCE_DIR) / "examples";

// How soon a station's last unit must show on an open page once the station
// ended; how soon the page must notice the dashboard going and coming back
// (it asks again each second); how long a lot may take at most. The
// sanitizers slow the dashboard and the stations several times over.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr auto kShownWithin = 8s;
constexpr auto kReconnectedWithin = 30s;
constexpr auto kLotsEndWithin = 300s;
#else
constexpr auto kShownWithin = 2s;
constexpr auto kReconnectedWithin = 5s;
constexpr auto kLotsEndWithin = 120s;
#endif

// A serial number's prefix made of markup, as a barcode reader that was fed
// anything might type it. The page must show these characters.
const std::string kMarkup = "<script>alert(1)</script><img src=x onerror=alert(2)>-";

// Each card on the page: its fixture and state, the text of its serial
// number and last serial number, and how many elements those hold.
constexpr const char* kCards = R"js(
Array.from(document.querySelectorAll("#page article.card")).map(function (card) {
  function text(selector) {
    var found = card.querySelector(selector);
    return found ? found.textContent : null;
  }
  return {
    fixture: card.getAttribute("data-fixture"),
    state: card.getAttribute("data-state"),
    serial: text(".serial"),
    last: text(".last-serial"),
    elements: card.querySelectorAll(".serial *, .last-serial *").length
  };
}))js";

// The value of `expression` in the page, or the text of why there is none
// (which no check takes for a right value).
json Read(ChromiumPage& page, const std::string& expression) {
    Result<json> value = page.Evaluate(expression);
    return value ? *value : json("no value: " + value.Error());
}

// The card of `fixture` as kCards reads it; an empty object when there is none.
json CardOf(const json& cards, const std::string& fixture) {
    for (const json& card : cards.is_array() ? cards : json::array()) {
        if (card.is_object() && card.value("fixture", std::string()) == fixture) {
            return card;
        }
    }
    return json::object();
}

// The fixture's card shows its run of `serial` ended.
bool ShowsEnded(const json& cards, const std::string& fixture, const std::string& serial) {
    const json card = CardOf(cards, fixture);
    return card.value("state", json()) == "idle" && card.value("last", json()) == serial;
}

bool WaitUntilShownEnded(ChromiumPage& page, const std::string& fixture, const std::string& serial,
                         std::chrono::seconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!ShowsEnded(Read(page, kCards), fixture, serial)) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// One station recording a simulated lot of X100s in virtual time, in a
// process of its own with settings and a spool of its own.
class StationLot {
  public:
    StationLot(const std::string& fixture, const std::string& prefix, int units,
               const std::string& database)
        : fixture_(fixture) {
        const std::vector<std::string> words{ORVALT_CLI_PATH,
                                             "--simulate",
                                             "--fast",
                                             "--lot-profile",
                                             (kExamples / "lot-steady.json").string(),
                                             "--units",
                                             std::to_string(units),
                                             "--serial-prefix",
                                             prefix,
                                             "--fixture",
                                             fixture,
                                             "--model",
                                             "X100",
                                             "--limits",
                                             (kExamples / "limits-pass.csv").string(),
                                             "--db",
                                             database,
                                             (kExamples / "TestCfg.csv").string()};
        const UniqueFd out(::open(OutPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        pid_ = StartProgram(ProgramLaunch{words,
                                          {"XDG_CONFIG_HOME=" + (home_ / "config").string(),
                                           "XDG_DATA_HOME=" + (home_ / "data").string()},
                                          out.Get(),
                                          out.Get(),
                                          {}});
    }
    ~StationLot() { Wait(0s); }
    StationLot(const StationLot&) = delete;
    StationLot& operator=(const StationLot&) = delete;

    // Looks whether it ended, and notes the moment it first saw it so.
    bool Ended() {
        if (!end_ && pid_ > 0 && (end_ = ProgramEnded(pid_, false))) {
            endedAt_ = Clock::now();
        }
        return end_.has_value();
    }
    // Waits up to `patience` for it to end (killed after that).
    ProgramEnd Wait(std::chrono::milliseconds patience) {
        if (!Ended() && pid_ > 0) {
            end_ = ProgramEndedWithin(pid_, patience);
            endedAt_ = Clock::now();
        }
        return end_.value_or(ProgramEnd{});
    }
    Clock::time_point EndedAt() const { return endedAt_; }

    const std::string& Fixture() const { return fixture_; }
    // What the station printed, the unit lines and the lot's tally among it.
    std::string Output() const { return ReadBytes(OutPath()); }
    // The serial number of the lot's last unit, as the station announced it
    // ("UNIT 5 of 5: SN-0005").
    std::string LastSerial() const {
        const std::string output = std::string("\n").append(Output());
        const std::size_t line = output.rfind("\nUNIT ");
        const std::size_t colon = output.find(": ", line);
        const std::size_t end = output.find('\n', colon);
        if (line == std::string::npos || colon == std::string::npos || end == std::string::npos) {
            return {};
        }
        return output.substr(colon + 2, end - colon - 2);
    }

  private:
    fs::path OutPath() const { return home_ / "out.txt"; }

    TempFolder home_;
    std::string fixture_;
    pid_t pid_ = -1;
    std::optional<ProgramEnd> end_;
    Clock::time_point endedAt_{};
};

// The page as it was drawn, saved beside the test program when the test
// failed: what a failed check saw is then there to look at.
class PictureWhenFailed {
  public:
    PictureWhenFailed(ChromiumPage& page, std::string name) : page_(page), name_(std::move(name)) {}
    ~PictureWhenFailed() {
        if (!::testing::Test::HasFailure() || !page_.Problem().empty()) {
            return;
        }
        if (const Result<std::string> png = page_.Screenshot()) {
            const fs::path file = fs::current_path() / (name_ + ".png");
            WriteBytes(file, *png);
            std::cout << "the page as it stood: " << file.string() << "\n";
        }
    }
    PictureWhenFailed(const PictureWhenFailed&) = delete;
    PictureWhenFailed& operator=(const PictureWhenFailed&) = delete;

  private:
    ChromiumPage& page_;
    std::string name_;
};

class LivePage : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        if (GetParam() == "postgres") {
            cluster_ = std::make_unique<PgCluster>();
            ORVALT_NEED_CLUSTER(*cluster_);
            database_ = cluster_->Url();
        } else {
            database_ = (folder_ / "results.sqlite").string();
        }
    }

    // The dashboard's arguments: on the cluster its login is the stations'
    // own, the owner, which it serves only when told.
    std::vector<std::string> DashboardArgs(int port) const {
        std::vector<std::string> args{"--db", database_, "--listen",
                                      "127.0.0.1:" + std::to_string(port)};
        if (cluster_) {
            args.push_back("--allow-writer");
        }
        return args;
    }

    // The generation of the line the dashboard serves, from /health.
    static std::string HealthGeneration(int port) {
        httplib::Client client("127.0.0.1", port);
        client.set_connection_timeout(kReconnectedWithin);
        client.set_read_timeout(kReconnectedWithin);
        const auto answer = client.Get("/health");
        if (!answer || !answer->body.starts_with("ok ")) {
            return "none";
        }
        return answer->body.substr(3, answer->body.find_first_of("\r\n") - 3);
    }

    TempFolder folder_;
    std::unique_ptr<PgCluster> cluster_;
    std::string database_;
};

// Watches the page until every station's last unit shows on its card, and
// returns how long after the station ended each one did (none when it never
// did before `timeout`).
std::vector<std::optional<Clock::duration>> WatchLastUnitsArrive(
    ChromiumPage& page, std::vector<std::unique_ptr<StationLot>>& stations,
    std::chrono::seconds timeout) {
    std::vector<std::optional<Clock::duration>> delays(stations.size());
    const auto deadline = Clock::now() + timeout;
    std::size_t shown = 0;
    while (shown < stations.size() && Clock::now() < deadline) {
        for (auto& station : stations) {
            station->Ended();
        }
        const json cards = Read(page, kCards);
        const auto now = Clock::now();
        for (std::size_t i = 0; i < stations.size(); ++i) {
            StationLot& station = *stations[i];
            if (!delays[i] && station.Ended() &&
                ShowsEnded(cards, station.Fixture(), station.LastSerial())) {
                delays[i] = std::max(Clock::duration::zero(), now - station.EndedAt());
                ++shown;
            }
        }
        std::this_thread::sleep_for(10ms);
    }
    return delays;
}

TEST_P(LivePage, StationsShowAsTheyRecordAndThePageOutlivesTheDashboard) {
    ChromiumPage page(Chromium());
    ORVALT_NEED_PAGE(page);
    DashboardChild dashboard;
    const PictureWhenFailed picture(page, "live-page-" + GetParam());
    const int port = dashboard.Start(DashboardArgs(0));
    ASSERT_GT(port, 0) << dashboard.Log();
    const std::string line = "http://127.0.0.1:" + std::to_string(port) + "/";
    const Result<void> loaded = page.Navigate(line);
    ASSERT_TRUE(loaded) << loaded.Error();

    constexpr int kUnits = 5;
    std::vector<std::unique_ptr<StationLot>> stations;
    for (const std::string prefix : {"A-", "B-", "C-", kMarkup.c_str()}) {
        const std::string fixture = std::string("F").append(std::to_string(stations.size() + 1));
        stations.push_back(std::make_unique<StationLot>(fixture, prefix, kUnits, database_));
    }
    const auto delays = WatchLastUnitsArrive(page, stations, kLotsEndWithin);
    for (std::size_t i = 0; i < stations.size(); ++i) {
        const StationLot& station = *stations[i];
        ASSERT_TRUE(delays[i]) << station.Fixture() << " never showed its last unit "
                               << station.LastSerial() << "; the station said:\n"
                               << station.Output() << "the page shows "
                               << Read(page, kCards).dump();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(*delays[i]);
        std::cout << GetParam() << " " << station.Fixture() << ": its last unit showed "
                  << ms.count() << " ms after the station ended" << std::endl;
        EXPECT_LE(*delays[i], kShownWithin) << station.Fixture();
    }

    // The whole line, read once all stations are done.
    const json cards = Read(page, kCards);
    EXPECT_EQ(cards.size(), stations.size()) << cards.dump();
    for (const auto& station : stations) {
        EXPECT_EQ(station->Wait(0s).exitStatus, 0) << station->Output();
        const json card = CardOf(cards, station->Fixture());
        EXPECT_EQ(card.value("serial", json()), station->LastSerial()) << cards.dump();
        EXPECT_EQ(card.value("last", json()), station->LastSerial()) << cards.dump();
        EXPECT_EQ(card.value("elements", json()), 0) << cards.dump();
    }
    EXPECT_TRUE(stations.back()->LastSerial().starts_with(kMarkup)) << stations.back()->Output();
    EXPECT_EQ(Read(page, "document.querySelectorAll('#page script, #page img').length"), 0);
    EXPECT_EQ(page.DialogsOpened(), 0);
    EXPECT_EQ(
        Read(page, "document.querySelector('#yield-today tbody td:nth-child(2)').textContent"),
        std::to_string(kUnits * stations.size()));

    // The dashboard goes: the page says so. A station records meanwhile, and
    // a new dashboard on the same port brings the page up to date.
    EXPECT_EQ(dashboard.Stop().exitStatus, 0) << dashboard.Log();
    EXPECT_TRUE(
        page.WaitUntil("!document.getElementById('connection').hidden", kReconnectedWithin));
    StationLot late("F2", "LATE-", 1, database_);
    ASSERT_EQ(late.Wait(kLotsEndWithin).exitStatus, 0) << late.Output();
    ASSERT_EQ(dashboard.Start(DashboardArgs(port)), port) << dashboard.Log();
    EXPECT_TRUE(page.WaitUntil("document.getElementById('connection').hidden", kReconnectedWithin));
    EXPECT_TRUE(WaitUntilShownEnded(page, "F2", late.LastSerial(), kReconnectedWithin))
        << Read(page, kCards).dump();
    EXPECT_EQ(Read(page, "document.body.getAttribute('data-generation')"), HealthGeneration(port));
    const json after = Read(page, kCards);
    for (const auto& station : stations) {
        const std::string last =
            station->Fixture() == "F2" ? late.LastSerial() : station->LastSerial();
        EXPECT_TRUE(ShowsEnded(after, station->Fixture(), last)) << after.dump();
    }
    EXPECT_EQ(page.DialogsOpened(), 0);
}

INSTANTIATE_TEST_SUITE_P(OnBothDatabases, LivePage, ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace orvalt::test

// orvalt-dashboard, run as a line PC runs it, over a SQLite file that is
// moved away while it serves and replaced by a copy of another database, by
// random bytes or by a folder: it says so once in its log and on the pages,
// and shows the new file (on a page left open too) or says it can't be read,
// and when it can again. A pipe, a device or a folder named as the database
// is refused at start, at once and in words.

#include <sys/stat.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <random>
#include <thread>

#include "DashboardChild.h"
#include "DashboardRuns.h"
#include "EventListener.h"
#include "recording/RecordStore.h"
#include "support/ChromiumPage.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

namespace fs = std::filesystem;

constexpr auto kPatience = std::chrono::seconds(15);

// A file of one run, kept without a write-ahead log so that the file alone
// is the database, whatever is done to it.
void MakeDatabase(const fs::path& file, const RunPlan& run) {
    auto db = OpenRecordDatabase(file.string());
    ASSERT_TRUE(db.Ok()) << db.Error();
    AddRun(**db, run);
    ASSERT_TRUE((*db)->Run("PRAGMA journal_mode=DELETE").Ok());
}

std::string RandomBytes(std::size_t count) {
    std::mt19937 random(20261209);
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes += static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

class ReplacedDatabase : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeDatabase(path_, {"run-old", "bench-old", "F1", "SN-OLD", "X100"});
        MakeDatabase(other_, {"run-new", "bench-new", "F1", "SN-NEW", "X100"});
        port_ = dashboard_.Start({"--db", path_.string(), "--listen", "127.0.0.1:0"});
        ASSERT_GT(port_, 0) << dashboard_.Log();
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
        page_ = std::make_unique<EventListener>(port_);
        ASSERT_TRUE(page_->WaitFor("event: change")) << page_->Received();
        ASSERT_NE(Get("/").find("data-host=\"bench-old\""), std::string::npos);
    }

    void MoveAway() { fs::rename(path_, moved_); }
    int Port() const { return port_; }

    std::string Get(const std::string& target, int status = 200) {
        const auto answer = client_->Get(target.c_str());
        if (!answer) {
            ADD_FAILURE() << target << ": no answer";
            return {};
        }
        EXPECT_EQ(answer->status, status) << target << ": " << answer->body;
        return answer->body;
    }

    // Whether the log came to hold `text`.
    bool LogSays(const std::string& text) {
        const auto until = std::chrono::steady_clock::now() + kPatience;
        while (dashboard_.Log().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() >= until) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    // The page once it holds `text`, or as it stood when patience ran out.
    std::string PageHolding(const std::string& target, const std::string& text) {
        const auto until = std::chrono::steady_clock::now() + kPatience;
        std::string body = Get(target);
        while (body.find(text) == std::string::npos && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            body = Get(target);
        }
        return body;
    }

    std::string Said(const std::string& how) const {
        return "orvalt-dashboard: the results database " + path_.string() +
               " was replaced under the dashboard: " + how +
               "; the pages show what stands at its path from now on\n";
    }

    std::string Unreadable(const std::string& why) const {
        return "orvalt-dashboard: the results database " + path_.string() +
               " can't be read; the pages show what it said last: Results database " +
               path_.string() + ": " + why + "\n";
    }

    std::string ReadAgain() const {
        return "orvalt-dashboard: the results database " + path_.string() + " can be read again\n";
    }

    TempFolder folder_;
    const fs::path path_ = folder_ / "results.sqlite";
    const fs::path other_ = folder_ / "other.sqlite";
    const fs::path moved_ = folder_ / "moved.sqlite";
    DashboardChild dashboard_;
    int port_ = 0;
    std::unique_ptr<httplib::Client> client_;
    std::unique_ptr<EventListener> page_;
};

constexpr const char* kReplacedBanner =
    "<div id=\"database-replaced\">The results database was "
    "replaced at <time datetime=\"";
constexpr const char* kAwayBanner = "<div id=\"database-away\">";

TEST_F(ReplacedDatabase, ACopyOfAnotherDatabaseIsToldOnceAndShown) {
    EXPECT_NE(Get("/").find("<div id=\"database-replaced\" hidden>"), std::string::npos);
    const std::size_t heard = page_->Received().size();
    MoveAway();
    fs::copy_file(other_, path_);
    ASSERT_TRUE(LogSays(Said("another file stands at its path"))) << dashboard_.Log();
    EXPECT_TRUE(page_->WaitFor("event: replaced\ndata: 20", heard)) << page_->Received();

    const std::string line = PageHolding("/", "data-host=\"bench-new\"");
    EXPECT_NE(line.find("data-host=\"bench-new\""), std::string::npos) << line;
    EXPECT_EQ(line.find("bench-old"), std::string::npos);
    EXPECT_NE(line.find(kReplacedBanner), std::string::npos);
    EXPECT_EQ(line.find(kAwayBanner), std::string::npos);
    EXPECT_NE(Get("/unit?serial=SN-NEW").find("href=\"/run/run-new\""), std::string::npos);
    EXPECT_NE(Get("/unit?serial=SN-OLD").find("No run of this unit is recorded."),
              std::string::npos);
    Get("/run/run-old", 404);

    std::this_thread::sleep_for(std::chrono::seconds(2));  // a few polls more
    const std::string log = dashboard_.Log();
    EXPECT_EQ(CountOf(log, " was replaced under the dashboard"), 1u) << log;
    EXPECT_EQ(log.find("can't be read"), std::string::npos) << log;
}

// A page left open in a browser: its script shows the banner with the time in
// the viewer's zone, and the new file's line, without being reloaded.
TEST_F(ReplacedDatabase, AnOpenPageShowsTheBannerAndTheNewLineByItself) {
    ChromiumPage page(Chromium());
    ORVALT_NEED_PAGE(page);
    const Result<void> loaded = page.Navigate("http://127.0.0.1:" + std::to_string(Port()) + "/");
    ASSERT_TRUE(loaded) << loaded.Error();
    ASSERT_TRUE(
        page.WaitUntil("document.querySelector('[data-host=\"bench-old\"]') !== null", kPatience));
    ASSERT_EQ(*page.Evaluate("document.getElementById('database-replaced').hidden"), true);
    MoveAway();
    fs::copy_file(other_, path_);
    EXPECT_TRUE(
        page.WaitUntil("!document.getElementById('database-replaced').hidden &&"
                       " document.querySelector('[data-host=\"bench-new\"]') !== null &&"
                       " document.querySelector('[data-host=\"bench-old\"]') === null",
                       kPatience));
    const auto when = page.Evaluate("document.querySelector('#database-replaced time').title");
    ASSERT_TRUE(when) << when.Error();
    EXPECT_TRUE(when->get<std::string>().ends_with(" UTC")) << when->dump();  // the server's words
    EXPECT_EQ(page.DialogsOpened(), 0);
}

TEST_F(ReplacedDatabase, RandomBytesAreUnreadableUntilADatabaseIsThereAgain) {
    MoveAway();
    WriteBytes(path_, RandomBytes(64 * 1024));
    ASSERT_TRUE(LogSays(Said("another file that holds no SQLite database stands at its path")))
        << dashboard_.Log();
    ASSERT_TRUE(LogSays(Unreadable("file is not a database"))) << dashboard_.Log();
    EXPECT_TRUE(page_->WaitFor("event: database\ndata: away")) << page_->Received();
    EXPECT_NE(Get("/unit?serial=SN-OLD", 503).find("The results database can't be read"),
              std::string::npos);
    const std::string line = Get("/");
    EXPECT_NE(line.find(kAwayBanner), std::string::npos);
    EXPECT_NE(line.find(kReplacedBanner), std::string::npos);

    fs::remove(path_);
    fs::copy_file(other_, path_);
    ASSERT_TRUE(LogSays(ReadAgain())) << dashboard_.Log();
    EXPECT_NE(PageHolding("/", "data-host=\"bench-new\"").find("data-host=\"bench-new\""),
              std::string::npos);
    EXPECT_EQ(Get("/").find(kAwayBanner), std::string::npos);
    EXPECT_EQ(CountOf(dashboard_.Log(), "can't be read"), 1u) << dashboard_.Log();
}

TEST_F(ReplacedDatabase, AFolderIsUnreadableUntilTheFileIsBack) {
    MoveAway();
    fs::create_directory(path_);
    ASSERT_TRUE(LogSays(Said("a folder stands at its path"))) << dashboard_.Log();
    ASSERT_TRUE(LogSays(Unreadable("not a regular file"))) << dashboard_.Log();
    EXPECT_NE(Get("/models", 503).find("not a regular file"), std::string::npos);

    fs::remove(path_);
    fs::rename(moved_, path_);
    ASSERT_TRUE(LogSays(ReadAgain())) << dashboard_.Log();
    EXPECT_NE(Get("/unit?serial=SN-OLD").find("href=\"/run/run-old\""), std::string::npos);
}

// SQLite would wait in open() on the pipe until something wrote to it, and
// read the device as an empty database.
TEST(DashboardStart, APipeADeviceOrAFolderAsTheDatabaseIsRefusedAtOnce) {
    TempFolder folder;
    const fs::path pipe = folder / "pipe.sqlite";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const fs::path inFolder = folder / "folder.sqlite";
    fs::create_directory(inFolder);
    for (const fs::path& target : {pipe, fs::path("/dev/zero"), inFolder}) {
        DashboardChild dashboard;
        EXPECT_EQ(dashboard.Start({"--db", target.string(), "--listen", "127.0.0.1:0"}), 0);
        ASSERT_TRUE(dashboard.Ended()) << target << " still runs: " << dashboard.Log();
        EXPECT_EQ(dashboard.Ended()->exitStatus, 7) << target;
        EXPECT_EQ(dashboard.Log(), "orvalt-dashboard: the results database " + target.string() +
                                       " can't be read: Results database " + target.string() +
                                       ": not a regular file\n");
    }
}

}  // namespace
}  // namespace orvalt::test

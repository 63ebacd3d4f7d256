#pragma once
// A page that stays open in headless Chromium, for the tests that watch a page
// follow a server: the browser is driven over the DevTools protocol on a pipe
// (it reads commands on its descriptor 3 and writes replies and events on its
// descriptor 4, each a JSON message ending in a NUL byte). Unlike a one-shot
// --dump-dom, the page goes on running its scripts while the test changes
// what they show, and is read back whenever the test asks.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>

#include "base/Result.h"
#include "platform/UniqueFd.h"
#include "support/HeadlessChromium.h"
#include "support/TempFolder.h"

namespace orvalt::test {

class ChromiumPage {
  public:
    // Starts `browser` (Chromium()) with a profile of its own and opens one
    // blank page; Problem() tells why when it could not.
    explicit ChromiumPage(const std::string& browser);
    // Asks the browser to close, waits for it a while (and kills it only
    // when it does not end), and joins the thread that reads its replies.
    ~ChromiumPage();
    ChromiumPage(const ChromiumPage&) = delete;
    ChromiumPage& operator=(const ChromiumPage&) = delete;

    // Empty while the page is open.
    const std::string& Problem() const { return problem_; }

    // Loads `url` in the page and returns once its load event fired.
    Result<void> Navigate(const std::string& url);
    // The value of a JavaScript expression evaluated in the page (null when
    // it is undefined); what it threw is the error.
    Result<nlohmann::json> Evaluate(const std::string& expression);
    // Evaluates `expression` until it is true; false when `timeout` passed
    // first (an expression that throws counts as not yet true).
    bool WaitUntil(const std::string& expression, std::chrono::milliseconds timeout);
    // The page as it is drawn now, as the bytes of a PNG file.
    Result<std::string> Screenshot();

    // How many JavaScript dialogs (alert, confirm, prompt) the page opened
    // since it started; each was dismissed at once, so none blocks the page.
    int DialogsOpened() const;
    // What the browser wrote on its standard error.
    std::string Log() const;

  private:
    Result<void> Launch(const std::string& browser);
    Result<void> OpenPage();
    // Sends a command (to the page's session unless `toBrowser`) and waits
    // for its reply's result.
    Result<nlohmann::json> Command(const std::string& method, nlohmann::json params = {},
                                   bool toBrowser = false,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(20));
    bool Write(const nlohmann::json& message);
    void ReadMessages();
    void Take(const std::string& text);
    int EventsHeard(const std::string& method) const;
    bool WaitForEvent(const std::string& method, int heardBefore,
                      std::chrono::milliseconds timeout);
    void CloseBrowser();

    TempFolder folder_;  // the profile and the log; outlives the browser
    std::string problem_;
    pid_t pid_ = -1;
    UniqueFd commands_;  // our end of the browser's descriptor 3
    UniqueFd replies_;   // our end of the browser's descriptor 4
    std::string sessionId_;
    void (*oldPipeHandler_)(int) = nullptr;

    std::mutex writing_;
    std::atomic<int> nextId_{1};
    mutable std::mutex mutex_;
    std::condition_variable heard_;
    std::set<int> awaited_;
    std::map<int, nlohmann::json> answers_;
    std::map<std::string, int> events_;
    bool browserGone_ = false;
    std::atomic<bool> stopReading_{false};
    std::thread reader_;
};

}  // namespace orvalt::test

// In a GoogleTest test: stops it unless the page opened, with a skip where
// Chromium may be missing (not in CI) and a failure otherwise.
#define ORVALT_NEED_PAGE(page)                                    \
    if (!(page).Problem().empty()) {                              \
        if (orvalt::test::ChromiumTestsMaySkip()) {               \
            GTEST_SKIP() << "Debian's chromium is not installed"; \
        }                                                         \
        FAIL() << (page).Problem();                               \
    }

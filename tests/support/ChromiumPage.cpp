#include "support/ChromiumPage.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <csignal>
#include <string_view>
#include <vector>

#include "support/ChildProcess.h"

extern char** environ;

namespace orvalt::test {

namespace {

using nlohmann::json;
using namespace std::chrono_literals;

// The browser's descriptors 3 and 4 are made from ours with dup2 in the
// child: ours lie at 10 or above, so that making 3 never overwrites the one
// that becomes 4, nor the log that becomes standard error. They close on exec.
UniqueFd AboveTheBrowsersOwn(int fd) {
    UniqueFd moved(fd < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 10));
    if (fd >= 0) {
        ::close(fd);
    }
    return moved;
}

struct Pipe {
    UniqueFd readEnd, writeEnd;
};

Pipe MakePipe() {
    int fds[2] = {-1, -1};
    if (::pipe(fds) != 0) {
        return {};
    }
    return {AboveTheBrowsersOwn(fds[0]), AboveTheBrowsersOwn(fds[1])};
}

std::vector<std::string> ThisEnvironment() {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        entries.emplace_back(*entry);
    }
    return entries;
}

std::string Base64Decoded(std::string_view text) {
    constexpr std::string_view kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    unsigned bits = 0;
    int held = 0;
    for (const char c : text) {
        const std::size_t digit = kDigits.find(c);
        if (digit == std::string_view::npos) {
            continue;  // the padding
        }
        bits = (bits << 6) | static_cast<unsigned>(digit);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes.push_back(static_cast<char>((bits >> held) & 0xFFu));
            bits &= (1u << held) - 1u;
        }
    }
    return bytes;
}

// What an evaluation threw, as the page's console would show it.
std::string Thrown(const json& details) {
    if (details.contains("exception") && details["exception"].contains("description")) {
        return details["exception"]["description"].get<std::string>();
    }
    return details.value("text", std::string("an exception"));
}

}  // namespace

ChromiumPage::ChromiumPage(const std::string& browser) {
    oldPipeHandler_ = std::signal(SIGPIPE, SIG_IGN);  // a browser gone fails a write instead
    if (Result<void> launched = Launch(browser); !launched) {
        problem_ = launched.Error();
        return;
    }
    reader_ = std::thread([this] { ReadMessages(); });
    if (Result<void> opened = OpenPage(); !opened) {
        problem_ = opened.Error() + "; the browser said: " + Log();
    }
}

ChromiumPage::~ChromiumPage() {
    CloseBrowser();
    stopReading_ = true;
    if (reader_.joinable()) {
        reader_.join();
    }
    std::signal(SIGPIPE, oldPipeHandler_);
}

Result<void> ChromiumPage::Launch(const std::string& browser) {
    if (browser.empty()) {
        return Fail(std::string("Chromium is not installed"));
    }
    Pipe toBrowser = MakePipe();
    Pipe fromBrowser = MakePipe();
    const UniqueFd log = AboveTheBrowsersOwn(
        ::open((folder_ / "chromium.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!toBrowser.writeEnd.Valid() || !fromBrowser.writeEnd.Valid() || !log.Valid()) {
        return Fail(std::string("no pipe or log file for the browser"));
    }
    const int browserReads = toBrowser.readEnd.Get();
    const int browserWrites = fromBrowser.writeEnd.Get();
    ProgramLaunch launch;
    launch.words = {browser,
                    "--headless",
                    "--no-sandbox",
                    "--disable-gpu",
                    "--remote-debugging-pipe",
                    "--user-data-dir=" + (folder_ / "profile").string(),
                    "--no-first-run",
                    "--disable-background-networking",
                    "--disable-component-update",
                    "--disable-sync",
                    "--hide-scrollbars",
                    "--window-size=1280,1000",
                    "about:blank"};
    launch.environment = ThisEnvironment();
    launch.outFd = log.Get();
    launch.errFd = log.Get();
    launch.inChild = [browserReads, browserWrites] {
        ::dup2(browserReads, 3);
        ::dup2(browserWrites, 4);
    };
    pid_ = StartProgram(launch);
    if (pid_ < 0) {
        return Fail(std::string("the browser could not be started"));
    }
    commands_ = std::move(toBrowser.writeEnd);
    replies_ = std::move(fromBrowser.readEnd);
    return {};  // the browser's own ends close here: its end alone keeps the pipes open
}

Result<void> ChromiumPage::OpenPage() {
    // The browser's first answer also waits for it to start.
    const Result<json> target =
        Command("Target.createTarget", {{"url", "about:blank"}}, true, std::chrono::seconds(60));
    if (!target) {
        return Fail(target.Error());
    }
    const Result<json> session =
        Command("Target.attachToTarget",
                {{"targetId", target->value("targetId", std::string())}, {"flatten", true}}, true);
    if (!session) {
        return Fail(session.Error());
    }
    sessionId_ = session->value("sessionId", std::string());
    const Result<json> events = Command("Page.enable");
    if (!events) {
        return Fail(events.Error());
    }
    return {};
}

Result<void> ChromiumPage::Navigate(const std::string& url) {
    const int loadsBefore = EventsHeard("Page.loadEventFired");
    const Result<json> answer = Command("Page.navigate", {{"url", url}});
    if (!answer) {
        return Fail(answer.Error());
    }
    if (answer->contains("errorText")) {
        return Fail(url + ": " + (*answer)["errorText"].get<std::string>());
    }
    if (!WaitForEvent("Page.loadEventFired", loadsBefore, std::chrono::seconds(20))) {
        return Fail(url + " did not finish loading");
    }
    return {};
}

Result<json> ChromiumPage::Evaluate(const std::string& expression) {
    const Result<json> answer =
        Command("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}});
    if (!answer) {
        return Fail(answer.Error());
    }
    if (answer->contains("exceptionDetails")) {
        return Fail(Thrown((*answer)["exceptionDetails"]));
    }
    return answer->value("result", json::object()).value("value", json());
}

bool ChromiumPage::WaitUntil(const std::string& expression, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        const Result<json> value = Evaluate(expression);
        if (value && *value == true) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

Result<std::string> ChromiumPage::Screenshot() {
    const Result<json> answer = Command("Page.captureScreenshot", {{"format", "png"}});
    if (!answer) {
        return Fail(answer.Error());
    }
    return Base64Decoded(answer->value("data", std::string()));
}

int ChromiumPage::DialogsOpened() const {
    return EventsHeard("Page.javascriptDialogOpening");
}

std::string ChromiumPage::Log() const {
    return ReadBytes(folder_ / "chromium.log");
}

Result<json> ChromiumPage::Command(const std::string& method, json params, bool toBrowser,
                                   std::chrono::milliseconds timeout) {
    const int id = nextId_++;
    json message = {{"id", id}, {"method", method}, {"params", json::object()}};
    if (params.is_object()) {
        message["params"] = std::move(params);
    }
    if (!toBrowser) {
        message["sessionId"] = sessionId_;
    }
    {
        const std::scoped_lock lock(mutex_);
        awaited_.insert(id);
    }
    const bool sent = Write(message);
    std::unique_lock lock(mutex_);
    if (sent) {
        heard_.wait_for(lock, timeout, [&] { return answers_.contains(id) || browserGone_; });
    }
    awaited_.erase(id);
    auto answer = answers_.extract(id);
    if (answer.empty()) {
        return Fail(method + (browserGone_ || !sent ? ": the browser has ended" : ": no answer"));
    }
    const json& reply = answer.mapped();
    if (reply.contains("error")) {
        return Fail(method + ": " + reply["error"].value("message", reply["error"].dump()));
    }
    return reply.value("result", json::object());
}

bool ChromiumPage::Write(const json& message) {
    std::string text = message.dump(-1, ' ', false, json::error_handler_t::replace);
    text.push_back('\0');
    const std::scoped_lock lock(writing_);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = ::write(commands_.Get(), text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

// Polls, so that the destructor's stop is seen even when a child process of
// the browser still holds the pipe open after the browser ended.
void ChromiumPage::ReadMessages() {
    std::string pending;
    std::vector<char> buffer(1 << 16);
    while (!stopReading_) {
        pollfd watched{replies_.Get(), POLLIN, 0};
        const int ready = ::poll(&watched, 1, 100);
        if (ready <= 0) {
            if (ready < 0 && errno != EINTR) {
                break;
            }
            continue;
        }
        const ssize_t count = ::read(replies_.Get(), buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        pending.append(buffer.data(), static_cast<std::size_t>(count));
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\0', start)) != std::string::npos;) {
            Take(pending.substr(start, end - start));
            start = end + 1;
        }
        pending.erase(0, start);
    }
    const std::scoped_lock lock(mutex_);
    browserGone_ = true;
    heard_.notify_all();
}

// A reply nobody waits for any more, and any event but those counted, is
// dropped here.
void ChromiumPage::Take(const std::string& text) {
    json message = json::parse(text, nullptr, false);
    if (message.is_discarded() || !message.is_object()) {
        return;
    }
    if (message.contains("id") && message["id"].is_number_integer()) {
        const int id = message["id"].get<int>();
        const std::scoped_lock lock(mutex_);
        if (awaited_.contains(id)) {
            answers_[id] = std::move(message);
            heard_.notify_all();
        }
        return;
    }
    const std::string method = message.value("method", std::string());
    if (method.empty()) {
        return;
    }
    if (method == "Page.javascriptDialogOpening") {
        // Dismissed unanswered: an open dialog stops the page's scripts and
        // every evaluation after it.
        Write({{"id", nextId_++},
               {"sessionId", message.value("sessionId", std::string())},
               {"method", "Page.handleJavaScriptDialog"},
               {"params", {{"accept", true}}}});
    }
    const std::scoped_lock lock(mutex_);
    ++events_[method];
    heard_.notify_all();
}

int ChromiumPage::EventsHeard(const std::string& method) const {
    const std::scoped_lock lock(mutex_);
    const auto found = events_.find(method);
    return found == events_.end() ? 0 : found->second;
}

bool ChromiumPage::WaitForEvent(const std::string& method, int heardBefore,
                                std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return heard_.wait_for(lock, timeout, [&] {
        const auto found = events_.find(method);
        return (found != events_.end() && found->second > heardBefore) || browserGone_;
    }) && !browserGone_;
}

void ChromiumPage::CloseBrowser() {
    if (pid_ <= 0) {
        return;
    }
    static_cast<void>(Command("Browser.close", {}, true, std::chrono::seconds(5)));
    ProgramEndedWithin(pid_, std::chrono::seconds(10));
    pid_ = -1;
}

}  // namespace orvalt::test

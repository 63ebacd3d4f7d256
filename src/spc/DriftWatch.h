#pragma once
// The station's end-of-run drift check, one more consumer of a session's
// events: when a run ends it checks the unit on a thread of its own, so
// neither the worker nor the handler thread waits for the records. An alarm
// judges nothing: verdicts never see it. Why it keeps the last units itself
// and how it reads the records: docs/design/spc-watch.md.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "domain/Messages.h"
#include "domain/SessionObserver.h"
#include "recording/RunRecorder.h"
#include "records/SqlConnection.h"
#include "spc/SpcCheck.h"

namespace orvalt {

class SpcWatch final : public SessionObserver {
  public:
    // `database`: the one the session records to; `settingsFile`: where
    // frozen baselines and the pooling are kept (empty: none); `fixture`:
    // the session's, whose units (on this station) make its series unless
    // pooled; `recorder` names each run and keeps its alarms; the outcome of
    // each check is posted to `post`.
    SpcWatch(std::string database, std::filesystem::path settingsFile, std::string fixture,
               RunRecorder& recorder, WindowHandle post);
    // Stops a check going at its next read and drops those waiting.
    ~SpcWatch();
    SpcWatch(const SpcWatch&) = delete;
    SpcWatch& operator=(const SpcWatch&) = delete;

    // Handler thread, at Start: the model the next run tests, from its
    // unit description.
    void Prepare(std::string model);
    // Waits at most `most` until every run ended so far is checked and its
    // outcome posted; false when the time ran out first.
    bool WaitUntilChecked(std::chrono::milliseconds most);

    void RunStarted(int runNumber) override;
    void TestEnded(const TestEnd& test) override;
    void RunEnded(int runNumber, RunEnd how) override;

  private:
    void CheckerLoop();
    SpcCheckedMessage Check(const FinishedUnit& unit);
    void Record(const FinishedUnit& unit, const SpcCheckResult& result, bool pooled);
    void Keep(FinishedUnit unit);

    std::string database_;
    std::filesystem::path settingsFile_;
    SeriesStation station_;
    RunRecorder& recorder_;
    WindowHandle post_;

    // The worker's own, between a run's start and its end.
    FinishedUnit running_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable checked_;
    std::string preparedModel_;
    std::deque<FinishedUnit> waiting_;
    std::size_t ended_ = 0;  // runs handed to the checker
    std::size_t done_ = 0;   // of them, checked and posted
    std::atomic<bool> stopping_{false};

    // The checker's own.
    std::unique_ptr<SqlConnection> db_;
    // By model, the units checked last, oldest first: enough for the rules'
    // window before a unit, and the one before that window.
    std::map<std::string, std::vector<FinishedUnit>> recent_;

    std::thread checker_;
};

}  // namespace orvalt

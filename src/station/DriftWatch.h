#pragma once
// The station's end-of-run drift check, as one more consumer of a session's
// events: it gathers the figures of a run's completed tests as the station
// computed them and, when the run ends, checks the unit on a thread of its
// own (DriftCheck.h), so neither the worker nor the handler thread ever waits
// for the records. Each alarm is recorded with its run through the recorder,
// which spools it like any row while the database is away, and the outcome is
// posted to the handler thread. An alarm judges nothing: verdicts never see it.
//
// The records land behind the runs (the recorder's writer, a slow server, the
// spool), so the watch keeps the last units it checked of each model and
// gives them to each check as the station's own: the rules' window then holds
// the units as they were tested, whether their records have landed or not.
//
// The records are read through a connection opened to read only, kept open
// from one check to the next and opened again after a failure. A database
// that can't be read, or too few units, means no check, and no word of it
// beyond the posted message's reason.

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
#include "station/DriftCheck.h"

namespace orvalt {

class DriftWatch final : public SessionObserver {
  public:
    // `database`: the one the session records to; `settingsFile`: where
    // frozen baselines and the pooling are kept (empty: none); `fixture`:
    // the session's, whose units (on this station) make its series unless
    // pooled; `recorder` names each run and keeps its alarms; the outcome of
    // each check is posted to `post`.
    DriftWatch(std::string database, std::filesystem::path settingsFile, std::string fixture,
               RunRecorder& recorder, WindowHandle post);
    // Stops a check going at its next read and drops those waiting.
    ~DriftWatch();
    DriftWatch(const DriftWatch&) = delete;
    DriftWatch& operator=(const DriftWatch&) = delete;

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
    DriftCheckedMessage Check(const FinishedUnit& unit);
    void Record(const FinishedUnit& unit, const DriftCheckResult& result, bool pooled);
    void Keep(FinishedUnit unit);

    std::string database_;
    std::filesystem::path settingsFile_;
    DriftStation station_;
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

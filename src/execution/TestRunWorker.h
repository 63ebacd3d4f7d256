#pragma once
// The test worker: one thread per run that walks the plan, runs each test and
// keeps its summary line. The window talks to it only through the run flag.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "execution/RunRecord.h"

namespace orvalt {

// The thread procedure. Posts RunDoneMessage at the end of the plan or after an
// abandoned test, carrying `runNumber` so the window can tell the end of this
// run from that of an earlier one. Returns 0.
int TestRunWorker(RunRecord& run, int runNumber);

// The worker thread object: it outlives the thread and is disposed of by the
// window (next Start, Stop, close), never by the worker itself.
class WorkerThread {
  public:
    WorkerThread(RunRecord record, int runNumber);
    ~WorkerThread();  // joins: the thread has ended or is waited for here
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    bool Ended() const;
    // True when the thread ended within `timeout`.
    bool WaitForEnd(std::chrono::milliseconds timeout);
    // Nothing this run posts from now on reaches the window.
    void CutOff();

  private:
    void Run(int runNumber);

    RunRecord record_;
    mutable std::mutex mutex_;
    std::condition_variable endedSignal_;
    bool ended_ = false;
    std::thread thread_;
};

}  // namespace orvalt

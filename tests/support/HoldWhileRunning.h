#pragma once
// In virtual time the worker runs ahead of the handler thread by a batch of
// posts. A test that stops the run where a certain message was posted keeps
// the worker there, on its own thread, until the stop lowers the run flag.

#include <chrono>

#include "platform/RunFlag.h"

namespace orvalt::test {

// Returns once `runFlag` is down, or after `limit` so a test that never stops
// ends anyway (and fails on what it then sees).
void HoldWhileRunning(const RunFlag& runFlag,
                      std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace orvalt::test

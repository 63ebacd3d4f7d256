#pragma once
// Waiting on several file descriptors at once with a time-out: how the link's
// threads wait for their port, their wake-up events and their stop signal.

#include <cstddef>
#include <initializer_list>

namespace orvalt {

struct PollOutcome {
    enum Kind { Ready, TimedOut, Failed };
    Kind kind = TimedOut;
    // Ready: the first descriptor in the order given that has something to
    // report, so that an earlier one (the stop signal) takes precedence.
    std::size_t index = 0;
    short revents = 0;
    // Failed: the errno of poll.
    int error = 0;
};

// Waits until one of `fds` is readable, has hung up or has failed, for at most
// timeoutMs (negative: no limit). An interrupted wait resumes.
PollOutcome WaitForAny(std::initializer_list<int> fds, int timeoutMs);

}  // namespace orvalt

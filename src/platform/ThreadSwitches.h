#pragma once
// How often the calling thread has given up the processor: of its own accord
// (it waited: a lock, a page from disk) or because the scheduler preempted it;
// and how often it touched memory the system had to map for it first.
// Lets a benchmark tell a slow piece of code from one that was merely
// interrupted by other programs.

namespace orvalt {

struct ThreadSwitches {
    long voluntary = 0;
    long involuntary = 0;
    long pageFaults = 0;  // minor and major
};

ThreadSwitches ThreadContextSwitches();

}  // namespace orvalt

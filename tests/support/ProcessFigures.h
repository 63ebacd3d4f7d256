#pragma once
// What the station's own process holds at a moment: memory, threads and open
// descriptors. Soak runs compare them before and after many runs, so that a
// leak shows as growth.

#include <sys/types.h>

#include <cstddef>

namespace orvalt {

struct ProcessFigures {
    std::size_t residentBytes = 0;   // pages in memory
    std::size_t heapInUseBytes = 0;  // bytes the allocator has handed out
    std::size_t threads = 0;
    std::size_t openDescriptors = 0;
};

ProcessFigures MeasureProcess();

// Another process's resident memory, now and at its most so far (from
// /proc/PID/status); zeros when it can't be read.
struct ResidentMemory {
    std::size_t nowBytes = 0;
    std::size_t peakBytes = 0;
};
ResidentMemory ResidentMemoryOf(pid_t pid);

}  // namespace orvalt

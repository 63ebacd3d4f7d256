#include "platform/ThreadSwitches.h"

#include <sys/resource.h>

namespace orvalt {

ThreadSwitches ThreadContextSwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {usage.ru_nvcsw, usage.ru_nivcsw, usage.ru_minflt + usage.ru_majflt};
}

}  // namespace orvalt

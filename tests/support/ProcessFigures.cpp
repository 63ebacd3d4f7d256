#include "support/ProcessFigures.h"

#include <malloc.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace orvalt {

namespace {

std::size_t EntriesIn(const char* folder) {
    std::error_code error;
    const std::filesystem::directory_iterator entries(folder, error);
    return error ? 0
                 : static_cast<std::size_t>(
                       std::distance(entries, std::filesystem::directory_iterator()));
}

// statm's second field: resident pages.
std::size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t sizePages = 0;
    std::size_t residentPages = 0;
    statm >> sizePages >> residentPages;
    return residentPages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

// A "VmRSS:   1234 kB" line's figure, in bytes.
std::size_t KbLine(const std::string& line, const std::string& name) {
    return line.starts_with(name) ? std::stoul(line.substr(name.size())) * 1024 : 0;
}

}  // namespace

ResidentMemory ResidentMemoryOf(pid_t pid) {
    ResidentMemory memory;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        memory.nowBytes += KbLine(line, "VmRSS:");
        memory.peakBytes += KbLine(line, "VmHWM:");
    }
    return memory;
}

ProcessFigures MeasureProcess() {
    ProcessFigures figures;
    figures.residentBytes = ResidentBytes();
    figures.heapInUseBytes = ::mallinfo2().uordblks;
    figures.threads = EntriesIn("/proc/self/task");
    // The listing's own descriptor is counted every time alike.
    figures.openDescriptors = EntriesIn("/proc/self/fd");
    return figures;
}

}  // namespace orvalt

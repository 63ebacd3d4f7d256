#include "support/HoldWhileRunning.h"

#include <thread>

namespace orvalt::test {

void HoldWhileRunning(const RunFlag& runFlag, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (runFlag.Up() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace orvalt::test

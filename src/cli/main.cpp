// orvalt-cli: the station's headless runner, for production scripts and the
// simulator. See HeadlessRunner.h for the exit statuses.

#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "cli/RecordsCommands.h"

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void OnInterrupt(int) {
    stopRequested = true;
}

void StopOnCtrlC() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (const auto status = orvalt::RunRecordsCommand(args, std::cout, std::cerr))
        return *status;
    const orvalt::CliParseResult parsed = orvalt::ParseCliOptions(args);
    if (parsed.helpRequested) {
        std::cout << orvalt::kCliUsage;
        return 0;
    }
    if (!parsed.options) {
        std::cerr << "orvalt-cli: " << parsed.error << '\n' << orvalt::kCliUsage;
        return orvalt::kExitUsage;
    }
    StopOnCtrlC();
    std::ios::sync_with_stdio(false);
    const int status = orvalt::RunHeadless(*parsed.options, std::cout, std::cerr, stopRequested);
    std::cout.flush();
    return status;
}

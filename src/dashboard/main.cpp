// orvalt-dashboard: the line at a glance, served as web pages from the
// results database, which it only reads. DashboardExit.h has its exit
// statuses.

#include <iostream>
#include <string>
#include <vector>

#include "dashboard/DashboardExit.h"
#include "dashboard/DashboardLog.h"
#include "dashboard/DashboardOptions.h"
#include "dashboard/DashboardServer.h"
#include "domain/DatabaseUrl.h"
#include "platform/PollWait.h"
#include "platform/ProcessSignals.h"
#include "platform/StandardDescriptors.h"
#include "platform/TerminationEvent.h"

namespace {

orvalt::DashboardSettings SettingsOf(const orvalt::DashboardOptions& options) {
    orvalt::DashboardSettings settings;
    settings.database = options.db;
    settings.host = options.host;
    settings.port = options.port;
    settings.allowWriter = options.allowWriter;
    settings.notSeenAfter = std::chrono::minutes(options.notSeenMinutes);
    return settings;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    orvalt::MaskPasswordsInArguments(argc, argv);
    orvalt::KeepStandardDescriptorsTaken();
    orvalt::IgnoreWriteSignals();
    const orvalt::DashboardParse parsed = orvalt::ParseDashboardOptions(args);
    if (const auto answered = orvalt::AnswerWithoutServing(parsed, std::cout, std::cerr)) {
        return *answered;
    }
    // Before any thread starts, so that a signal during the start is kept too.
    orvalt::TerminationEvent termination;
    orvalt::DashboardLog log(std::cerr);
    orvalt::DashboardServer server(SettingsOf(*parsed.options), log);
    if (const int status = server.Start(); status != orvalt::kDashboardStopped) {
        return status;
    }
    orvalt::WaitForAny({termination.Fd()}, -1);
    termination.LetGo();  // a second signal ends the program at once
    server.Stop();
    log.Say("stopped");
    return orvalt::kDashboardStopped;
}

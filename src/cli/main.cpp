// orvalt-cli: the station's headless runner, for production scripts and the
// simulator, and its looks back at the records. ExitStatus.h has the exit
// statuses of both.

#include <atomic>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/HeadlessRunner.h"
#include "cli/ListDevices.h"
#include "cli/PortListing.h"
#include "cli/RecordsCommands.h"
#include "domain/DatabaseUrl.h"
#include "platform/FdStreamBuf.h"
#include "platform/ProcessSignals.h"
#include "platform/StandardDescriptors.h"
#include "platform/Terminal.h"
#include "station/ProgramVersion.h"

namespace {

void ReportOutputFailure(int error) {
    std::cerr << "Can't write standard output: " << std::strerror(error) << '\n';
}

// A reader that went away (`| head`) is its own choice; any other failure of
// the output (a full disk) is a result that did not reach its file.
int WithOutputFailure(int status, std::optional<int> outputError) {
    const bool lost = outputError && *outputError != EPIPE;
    return lost && status == orvalt::kExitRanToEnd ? orvalt::kExitNotSaved : status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    orvalt::MaskPasswordsInArguments(argc, argv);  // a --db URL's password
    orvalt::KeepStandardDescriptorsTaken();
    orvalt::IgnoreWriteSignals();
    orvalt::FdStreamBuf output(orvalt::kStandardOutputFd, ReportOutputFailure);
    std::ostream out(&output);
    if (const auto status = orvalt::RunRecordsCommand(args, out, std::cerr)) {
        out.flush();
        return WithOutputFailure(*status, output.Error());
    }
    const orvalt::CliParseResult parsed = orvalt::ParseCliOptions(args);
    if (const auto answered = orvalt::AnswerHelpOrError(parsed, out, std::cerr)) {
        out.flush();
        return WithOutputFailure(*answered, output.Error());
    }
    if (parsed.versionRequested) {
        std::cout << orvalt::kVersionText << '\n';
        return 0;
    }
    if (parsed.listPortsRequested) {
        std::cout << orvalt::PortListing(orvalt::ListDiagPorts());
        return 0;
    }
    if (parsed.options->listDevices) {
        return orvalt::ListDevices(*parsed.options, std::cout);
    }
    orvalt::CliOptions options = *parsed.options;
    options.statusLine = !options.quiet && orvalt::IsTerminal(orvalt::kStandardErrorFd);
    // Made only now, so its event never takes the number of a closed standard
    // descriptor; static, because the signal handler keeps it to the end.
    static orvalt::StopRequest stopRequested;
    orvalt::StopOnTerminationSignals(stopRequested);
    const int status = orvalt::RunHeadless(options, out, std::cerr, stopRequested);
    out.flush();
    return WithOutputFailure(status, output.Error());
}

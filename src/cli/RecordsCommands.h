#pragma once
// orvalt-cli's looks back at the recorded runs: "history", "yield" and
// "report". Each reads the results database named by --db, else by the
// ResultsDatabase setting, else the embedded default.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace orvalt {

// Runs the command when args[0] names one and returns its exit status (the
// table of ExitStatus.h); nothing when args name no such command.
std::optional<int> RunRecordsCommand(const std::vector<std::string>& args, std::ostream& out,
                                     std::ostream& err);

}  // namespace orvalt

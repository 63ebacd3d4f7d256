#pragma once
// The command line of orvalt-dashboard:
//   orvalt-dashboard --db URL [--listen ADDRESS:PORT] [--allow-writer]
//                    [--not-seen-minutes N]

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace orvalt {

struct DashboardOptions {
    std::string db;  // a SQLite file or a postgresql:// URL, as given
    std::string host = "127.0.0.1";
    int port = 8080;  // 0: any free port
    bool allowWriter = false;
    int notSeenMinutes = 10;
};

struct DashboardParse {
    std::optional<DashboardOptions> options;  // set when the dashboard is to run
    std::string error;                        // set for a command line that is wrong
    bool versionRequested = false;
    bool helpRequested = false;
    std::string help;
};

DashboardParse ParseDashboardOptions(const std::vector<std::string>& args);

// A command line that asks for help or the version or is wrong is answered
// here: on `out` (exit status 0), or the error and where the help is on `err`
// (2). Nothing for one that asks the dashboard to run.
std::optional<int> AnswerWithoutServing(const DashboardParse& parsed, std::ostream& out,
                                        std::ostream& err);

// "ADDRESS:PORT" ("[::1]:8080" for an IPv6 address); false when it is none.
bool ReadListenAddress(const std::string& text, std::string& host, int& port);

// The address as a browser is sent to it: "http://127.0.0.1:8080/",
// "http://[::1]:8080/".
std::string ServedUrl(const std::string& host, int port);

}  // namespace orvalt

#pragma once
// The exit statuses of orvalt-dashboard: a service manager or a script tells
// by the number alone why the dashboard is not serving.

#include <string>

namespace orvalt {

enum DashboardExit : int {
    kDashboardStopped = 0,     // stopped by SIGTERM or SIGINT (or SIGHUP)
    kDashboardUsage = 2,       // bad usage, or a database URL that is none
    kDashboardNoListen = 3,    // the address can't be listened on
    kDashboardUnreadable = 7,  // the results database can't be read at start
    kDashboardWriter = 9,      // the login may write the records; --allow-writer not given
};

// The table as the help shows it.
std::string DashboardExitTable();

}  // namespace orvalt

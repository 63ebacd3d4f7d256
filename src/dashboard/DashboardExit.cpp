#include "dashboard/DashboardExit.h"

namespace orvalt {

std::string DashboardExitTable() {
    return "Exit statuses:\n"
           "  0  stopped by SIGTERM or SIGINT\n"
           "  2  bad usage; a results database URL that can't be used\n"
           "  3  the address can't be listened on\n"
           "  7  the results database can't be read at start\n"
           "  9  the login may write to the records and --allow-writer was not given\n";
}

}  // namespace orvalt

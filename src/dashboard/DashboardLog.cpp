#include "dashboard/DashboardLog.h"

namespace orvalt {

void DashboardLog::Say(const std::string& line) {
    const std::scoped_lock lock(mutex_);
    out_ << "orvalt-dashboard: " << line << '\n' << std::flush;
}

}  // namespace orvalt

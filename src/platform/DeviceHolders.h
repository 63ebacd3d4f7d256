#pragma once
// Which other processes have a device open. The terminal layer lets any number
// of programs open a serial port unless one of them asks for it alone
// (TIOCEXCL, flock); a terminal program that does not ask still reads the same
// bytes, and the two readers split the driver's lines between them. So after
// opening a port the station looks through /proc for another holder. Only the
// processes this user may look into are seen (all of them for root); where
// none is seen, nothing is known.

#include <sys/types.h>
#include <string>
#include <vector>

namespace orvalt {

struct DeviceHolder {
    pid_t pid = 0;
    std::string name;  // the process's command name, as /proc/PID/comm gives it
};

// The processes other than this one with a descriptor on the same device (or
// file) as `fd`, in process-number order, at most `limit` of them.
std::vector<DeviceHolder> OtherHoldersOf(int fd, std::size_t limit = 3);

// "process 1234 (minicom)", several joined by ", ".
std::string DescribeHolders(const std::vector<DeviceHolder>& holders);

}  // namespace orvalt

#pragma once
// Who and where a run happens: the station's host name and the operator's login
// name, as the records keep them.

#include <string>

namespace orvalt {

// The host name; "unknown" when the system gives none.
std::string StationHostName();

// The login name of the user running the station: the account of the process's
// real user, else $USER, else "unknown".
std::string OperatorLoginName();

}  // namespace orvalt

#include "platform/HostIdentity.h"

#include <unistd.h>

#include <array>
#include <cstdlib>

#include "platform/UserAccount.h"

namespace orvalt {

std::string StationHostName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0')
        return "unknown";
    return name.data();
}

std::string OperatorLoginName() {
    const auto account = ProcessUserAccount();
    if (account && !account->login.empty())
        return account->login;
    const char* user = std::getenv("USER");
    return user && *user ? user : "unknown";
}

}  // namespace orvalt

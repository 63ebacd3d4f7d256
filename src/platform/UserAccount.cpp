#include "platform/UserAccount.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace orvalt {

std::optional<UserAccount> ProcessUserAccount() {
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return std::nullopt;
    }
    return UserAccount{found->pw_name ? found->pw_name : "", found->pw_dir ? found->pw_dir : ""};
}

std::string AccountHome() {
    const auto account = ProcessUserAccount();
    return account ? account->home : std::string();
}

}  // namespace orvalt

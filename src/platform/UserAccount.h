#pragma once
// The account entry of the process's real user, where its home folder and login
// name come from when the environment does not say.

#include <optional>
#include <string>

namespace orvalt {

struct UserAccount {
    std::string login;
    std::string home;  // may be empty
};

// Empty when the user has no account entry (a container's unnamed user).
std::optional<UserAccount> ProcessUserAccount();

// The account's home folder; empty when it has none.
std::string AccountHome();

}  // namespace orvalt

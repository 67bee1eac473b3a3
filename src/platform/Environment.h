// The process environment and the user's home folder as the platform layer
// reads them. Internal to src/platform/; any thread; nothing is cached.
#pragma once
#include <string>

namespace platform {
namespace environment {

// The variable's value; "" when it is unset.
std::string GetEnv(const char* name);
// $HOME when set and not empty, else the home folder the password database
// gives the real user, else "/". Trailing slashes are left as they are.
std::string HomeFolder();

}  // namespace environment
}  // namespace platform

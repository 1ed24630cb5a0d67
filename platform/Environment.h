// Setting the process's environment variables (read by libraries loaded later, and inherited by
// child processes).
#pragma once

#include <string>

namespace platform {

// Sets a variable, replacing any earlier value. True on success.
bool SetEnv(const std::string& name, const std::string& value);
// Removes a variable; true also when it was not set.
bool UnsetEnv(const std::string& name);

} // namespace platform

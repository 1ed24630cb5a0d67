#include "Environment.h"

#include <cstdlib>

namespace platform {

#if defined(_WIN32)

bool SetEnv(const std::string& name, const std::string& value) {
    return _putenv_s(name.c_str(), value.c_str()) == 0;
}

bool UnsetEnv(const std::string& name) {
    // An empty value removes the variable.
    return _putenv_s(name.c_str(), "") == 0;
}

#else

bool SetEnv(const std::string& name, const std::string& value) {
    return setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool UnsetEnv(const std::string& name) {
    return unsetenv(name.c_str()) == 0;
}

#endif

} // namespace platform

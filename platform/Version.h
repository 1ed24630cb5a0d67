// The program's own version information (product name and file version).
#pragma once

#include <string>

namespace platform {

// A string of the running program's version information, or an empty string when the
// information lacks it. Keys: "ProductName", "FileVersion".
std::string VersionString(const std::string& key);

} // namespace platform

// Folder paths as the platform writes them.
#pragma once

#include <string>

namespace platform {

#if defined(_WIN32)
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The folder with the platform's separator appended, unless it already ends in one.
inline std::string WithTrailingSeparator(const std::string& folder) {
    if (!folder.empty() && folder.back() == kPathSeparator) return folder;
    return folder + kPathSeparator;
}

} // namespace platform

// Folder paths as the platform writes them.
#pragma once

#include <string>

namespace platform {

#if defined(_WIN32)
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// True for a character that ends a folder's part of a path ('/' everywhere, '\' on Windows too).
inline bool IsPathSeparator(char c) {
#if defined(_WIN32)
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// The folder with the platform's separator appended, unless it already ends in one (on Windows
// also "E:", which names the current folder of drive E, stays as it is).
inline std::string WithTrailingSeparator(const std::string& folder) {
    if (!folder.empty() && IsPathSeparator(folder.back())) return folder;
#if defined(_WIN32)
    if (folder.size() == 2 && folder[1] == ':') return folder;
#endif
    return folder + kPathSeparator;
}

// The last part of a path: the file's name without its folder.
inline std::string FileNameOf(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i)
        if (IsPathSeparator(path[i])) start = i + 1;
    return path.substr(start);
}

} // namespace platform

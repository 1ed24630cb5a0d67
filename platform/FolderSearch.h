// Enumeration of a folder's entries that match a wildcard.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct FolderEntry {
    std::string name;
    bool isDirectory = false;
};

// Entries of the folder whose names match the pattern ('?' one character, '*' any run),
// compared without regard to letter case, in the order the file system returns them.
// "." and ".." are never returned. A folder that cannot be read gives no entries.
std::vector<FolderEntry> FindEntries(const std::string& folder, const std::string& pattern);

// The matching rule used by FindEntries (ASCII case folding).
bool WildcardMatch(const std::string& pattern, const std::string& name);

} // namespace platform

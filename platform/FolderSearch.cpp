#include "FolderSearch.h"

#include <cctype>

#include "Files.h"
#include "Path.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace platform {

namespace {
char Fold(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
} // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name) {
    size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

#if defined(_WIN32)

std::vector<FolderEntry> FindEntries(const std::string& folder, const std::string& pattern) {
    std::vector<FolderEntry> out;
    const std::wstring query = SystemPath(WithTrailingSeparator(folder) + pattern);
    WIN32_FIND_DATAW data;
    // Long names only: the 8.3 short names that the plain search also matches are left out.
    HANDLE h =
        FindFirstFileExW(query.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        const std::string name = Utf8(data.cFileName);
        if (name == "." || name == "..") continue;
        // The system's '?' also matches nothing before a dot; keep the exact rule.
        if (!WildcardMatch(pattern, name)) continue;
        out.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return out;
}

#else

std::vector<FolderEntry> FindEntries(const std::string& folder, const std::string& pattern) {
    std::vector<FolderEntry> out;
    std::string base = folder.empty() ? std::string("./") : folder;
    if (base.back() != '/') base += '/';
    DIR* dir = opendir(base.c_str());
    if (!dir) return out;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (!WildcardMatch(pattern, name)) continue;
        struct stat st {};
        bool isDir = false;
        if (stat((base + name).c_str(), &st) == 0) isDir = S_ISDIR(st.st_mode);
        out.push_back({name, isDir});
    }
    closedir(dir);
    return out;
}

#endif

} // namespace platform

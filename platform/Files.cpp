#include "Files.h"

#include <system_error>

#include "WideText.h"

#if defined(_WIN32)
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>
#endif

namespace platform {

namespace {
std::string BinaryMode(const char* mode) {
    std::string m = mode;
    if (m.find('b') == std::string::npos) m += 'b';
    return m;
}
} // namespace

#if defined(_WIN32)

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return _wfopen(SystemPath(path).c_str(), Wide(BinaryMode(mode)).c_str());
}

bool SeekFile(std::FILE* f, int64_t offset, int whence) {
    return _fseeki64(f, offset, whence) == 0;
}

int64_t TellFile(std::FILE* f) {
    return _ftelli64(f);
}

bool MoveFileOver(const std::string& from, const std::string& to) {
    // In one step, and on the disk before it returns: a card may be pulled right after.
    return MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::filesystem::path FsPath(const std::string& path) {
    return std::filesystem::path(Wide(path));
}

std::string Utf8Path(const std::filesystem::path& path) {
    return Utf8(path.wstring());
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    std::vector<std::string> args;
    if (wide == nullptr) {
        for (int i = 0; i < argc; ++i)
            args.emplace_back(argv[i]);
        return args;
    }
    for (int i = 0; i < n; ++i)
        args.push_back(Utf8(wide[i]));
    LocalFree(wide);
    return args;
}

namespace {
// What the path names, followed through links: false when it names nothing that opens.
bool Examine(const std::string& path, bool& directory) {
    HANDLE h = CreateFileW(SystemPath(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    // Devices and pipes are neither files nor folders.
    const bool ok = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return ok;
}
} // namespace

bool IsRegularFile(const std::string& path) {
    bool directory = false;
    return Examine(path, directory) && !directory;
}

bool IsDirectory(const std::string& path) {
    bool directory = false;
    return Examine(path, directory) && directory;
}

bool RemoveFile(const std::string& path) {
    if (DeleteFileW(SystemPath(path).c_str())) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

#else

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), BinaryMode(mode).c_str());
}

bool SeekFile(std::FILE* f, int64_t offset, int whence) {
    return fseeko(f, static_cast<off_t>(offset), whence) == 0;
}

int64_t TellFile(std::FILE* f) {
    return static_cast<int64_t>(ftello(f));
}

bool MoveFileOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::filesystem::path FsPath(const std::string& path) {
    return std::filesystem::path(path);
}

std::string Utf8Path(const std::filesystem::path& path) {
    return path.string();
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

bool IsRegularFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(FsPath(path), ec);
}

bool IsDirectory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(FsPath(path), ec);
}

bool RemoveFile(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(FsPath(path), ec);
    return !ec;
}

#endif

} // namespace platform

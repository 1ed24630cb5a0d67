#include "Files.h"

#include <system_error>

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

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), s.data(), n,
                        nullptr, nullptr);
    return s;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return _wfopen(Wide(path).c_str(), Wide(BinaryMode(mode)).c_str());
}

bool SeekFile(std::FILE* f, int64_t offset, int whence) {
    return _fseeki64(f, offset, whence) == 0;
}

int64_t TellFile(std::FILE* f) {
    return _ftelli64(f);
}

bool MoveFileOver(const std::string& from, const std::string& to) {
    // In one step, and on the disk before it returns: a card may be pulled right after.
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
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

#endif

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

} // namespace platform

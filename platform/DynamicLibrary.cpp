#include "DynamicLibrary.h"

#include "Files.h"
#include "Path.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace platform {

namespace {
bool HasSeparator(const std::string& s) {
    return s.find('/') != std::string::npos || s.find(kPathSeparator) != std::string::npos;
}
} // namespace

#if defined(_WIN32)

const char* EngineLibraryFileName() {
    return "qmx.dll";
}

std::string ModuleFileName(const std::string& base) {
    return base + ".dll";
}

std::string ExecutableFolder() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        buf.resize(buf.size() * 2); // a long path: try again with room for it
    }
    const std::string p = Utf8(buf);
    const auto cut = p.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : p.substr(0, cut + 1);
}

bool DynamicLibrary::Load(const std::string& nameOrPath) {
    Unload();
    if (nameOrPath.empty()) return false;
    HMODULE h = nullptr;
    if (HasSeparator(nameOrPath)) {
        // The library's own dependencies are then looked for beside it; that search takes the
        // path in the system's own form.
        std::wstring path = SystemPath(nameOrPath);
        for (auto& c : path)
            if (c == L'/') c = L'\\';
        h = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    } else {
        // The executable's folder, then the system's folder, and nowhere else: never the current
        // folder or the PATH, where anyone may have put a file of that name.
        h = LoadLibraryExW(Wide(nameOrPath).c_str(), nullptr,
                           LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    handle_ = reinterpret_cast<void*>(h);
    return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (!handle_) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::Unload() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

#else

const char* EngineLibraryFileName() {
    return "libqmx.so";
}

std::string ModuleFileName(const std::string& base) {
    return "lib" + base + ".so";
}

std::string ExecutableFolder() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string p(buf, static_cast<size_t>(n));
    auto cut = p.rfind('/');
    return cut == std::string::npos ? std::string() : p.substr(0, cut + 1);
}

bool DynamicLibrary::Load(const std::string& nameOrPath) {
    Unload();
    if (nameOrPath.empty()) return false;
    if (!HasSeparator(nameOrPath)) {
        std::string beside = ExecutableFolder();
        if (!beside.empty()) handle_ = dlopen((beside + nameOrPath).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle_) handle_ = dlopen(nameOrPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (!handle_) return nullptr;
    return dlsym(handle_, name);
}

void DynamicLibrary::Unload() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
}

#endif

} // namespace platform

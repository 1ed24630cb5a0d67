// Loading a shared library at run time and finding its functions by name.
#pragma once

#include <string>

namespace platform {

// The engine library's file name on this platform ("qmx.dll" / "libqmx.so").
const char* EngineLibraryFileName();

// The file name of a loadable module of the program's own ("brelka-play.dll" /
// "libbrelka-play.so" for "brelka-play").
std::string ModuleFileName(const std::string& base);

// The folder of the running executable, with a trailing separator; empty when unknown.
std::string ExecutableFolder();

class DynamicLibrary {
  public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { Unload(); }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads a library by path (used as given) or, for a bare file name, first from the
    // executable's own folder and then by the system's search. True when loaded.
    bool Load(const std::string& nameOrPath);
    // The address of an exported symbol, or null.
    void* Symbol(const char* name) const;
    void Unload();
    bool IsLoaded() const { return handle_ != nullptr; }

  private:
    void* handle_ = nullptr;
};

} // namespace platform

// Files and folders by path. A path is UTF-8 text everywhere in the program: as the command line
// and the folder search deliver it, as messages show it and as every file call here takes it.
// Windows gets the wide-character form of the same text at each call, so a name in any script
// opens the file it names whatever the system's code page, and a path longer than the system's
// old limit of 260 characters in the long form (WideText.h); elsewhere the bytes go through as
// they are.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "WideText.h"

namespace platform {

// Opens a binary stream ("rb", "wb", "r+b", ...; a missing 'b' is added): no byte is ever
// translated. Null when the system refused.
std::FILE* OpenFile(const std::string& path, const char* mode);

// Seeks and tells with 64-bit offsets (files beyond 2 GB on every system). Seek returns true
// on success; Tell returns -1 on failure.
bool SeekFile(std::FILE* f, int64_t offset, int whence);
int64_t TellFile(std::FILE* f);

// A plain file, or a link to one (not a folder, pipe or device).
bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);

// Moves `from` over `to`, replacing an existing file in one step. False when the system refused
// (among others when another program holds `to` open on Windows); `from` is left then.
bool MoveFileOver(const std::string& from, const std::string& to);
// Removes a file; true also when there was none.
bool RemoveFile(const std::string& path);

// The same path for std::filesystem, and back.
std::filesystem::path FsPath(const std::string& path);
std::string Utf8Path(const std::filesystem::path& path);

// The program's arguments as UTF-8 (on Windows taken from the wide command line, since argv
// holds them in the code page, where other scripts' characters are lost).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

} // namespace platform

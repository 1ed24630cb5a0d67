// Small helpers shared by the tests: temporary folders, files as bytes, running commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const;

  private:
    std::string path_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);
int64_t FileSize(const std::string& path);

// Runs a shell command; returns its exit status and collects its standard output.
struct CommandResult {
    int status = -1;
    std::string out;
};
CommandResult Run(const std::string& command);
// Quotes a string for the shell.
std::string Quote(const std::string& s);

std::string CorpusDir(); // tests/data: files written by other programs
std::string CorpusFile(const std::string& relative);
std::string BinDir(); // where the built programs and the engine library are
// Every .wav/.aif/.aiff file of the corpus, recursively, sorted.
std::vector<std::string> CorpusAudioFiles();

// Signed 16-bit little-endian samples of a raw file.
std::vector<int16_t> ReadRawS16LE(const std::string& path);

} // namespace testsupport

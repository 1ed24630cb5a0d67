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
#if !defined(_WIN32)
CommandResult Run(const std::string& command);
// Quotes a string for the shell.
std::string Quote(const std::string& s);
#endif

// Runs a program with its arguments (UTF-8), no shell between, in `folder` when given; collects
// its standard output and error apart (Windows line ends made plain "\n"). Standard input is
// empty. status is the exit code, -1 when the program could not start or died by a signal.
struct ProgramResult {
    int status = -1;
    std::string out;
    std::string err;
};
ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& folder = "");

// A started program, for tests that act on it while it runs.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const std::string& folder = "");
    ~Child(); // waits for it
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool started() const;
    // Ctrl-C: SIGINT, or on Windows the console's Ctrl-C event (which this process then ignores).
    void Interrupt();
    // Waits for its end; its exit code (-1 by a signal).
    int Wait();
    // The file that receives its "out" or "err" stream.
    std::string OutputPath(const std::string& stream) const;

  private:
    struct State;
    State* state_;
};

// A built program of the project: BinDir() + "/" + name + ".exe" on Windows.
std::string Program(const std::string& name);

std::string CorpusDir(); // tests/data: files written by other programs
std::string CorpusFile(const std::string& relative);
std::string BinDir(); // where the built programs and the engine library are
// Every .wav/.aif/.aiff file of the corpus, recursively, sorted.
std::vector<std::string> CorpusAudioFiles();

// Signed 16-bit little-endian samples of a raw file.
std::vector<int16_t> ReadRawS16LE(const std::string& path);

} // namespace testsupport

// Source files for the job tests, made by sox from known samples, and slot files read back.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace jobtest {

// Writes interleaved samples as a 16-bit file of the given rate and channels through sox; the
// file type follows the extension (.wav, .aif). On Windows, where sox cannot run, these three go
// through the program's own audio file code instead.
void SoxWrite(const std::string& path, const std::vector<int16_t>& samples, int rate, int channels);

// Samples of a file as sox decodes them to 16-bit (interleaved).
std::vector<int16_t> SoxRead(const std::string& path);
// sox --i of one field ("-r", "-c", "-s", "-b").
std::string SoxInfo(const std::string& path, const std::string& field);

// The samples of a device sample file after its 512-byte header area.
std::vector<int16_t> SlotSamples(const std::string& path);
// A device sample file with the given samples.
void WriteSlot(const std::string& path, const std::vector<int16_t>& samples);

std::vector<int16_t> Noise(size_t n, unsigned seed, int amplitude = 20000);

// Runs job in a child process whose files may grow to at most `bytes` (writes beyond fail, as
// on a full card); true when the child ran to its end and job returned true.
// POSIX only.
bool InChildWithFileSizeLimit(long bytes, const std::function<bool()>& job);

// The bytes of every file of a card that its actions may change: its slot files by path, and
// its names file as "names".
std::map<std::string, std::vector<uint8_t>> CardFiles(const std::string& folder);

// Folder listing, for checks that nothing was left behind.
std::vector<std::string> FolderNames(const std::string& folder);

} // namespace jobtest

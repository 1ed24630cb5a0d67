// The drum machine's sample file: "SAMPLE%02u.BIN", a 512-byte header area, then mono 16-bit
// big-endian PCM at 31250 Hz. Slot n (1 ... 60) lives in the file numbered n - 1.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace brelka {

constexpr int kDeviceRate = 31250;
constexpr int kHeaderArea = 512;
constexpr int kHeaderBlock = 48;
constexpr int kSlotCount = 60;
constexpr int kPaddingUnit = 512;   // samples
constexpr int kExportBlock = 4096;  // samples
constexpr int kPlaybackBlock = 512; // samples
extern const char kHeaderText[44];  // 43 characters and the terminating 0x00

// The slot number typed or picked in the slot combo: an integer (1 for text that is not a
// number), limited to 1 ... 60.
int ParseSlotNumber(const std::string& text);

// Folder, the platform's separator when the folder does not end in one, "SAMPLE%02u.BIN".
std::string SlotFileName(const std::string& folder, int slot);

// The 48-byte header block and 464 zero bytes; leaves the stream at offset 512.
// Returns false when the stream refused the bytes.
bool WriteSampleHeader(std::FILE* out);

// The first 44 bytes are the header text and its 0x00 terminator.
bool HasSampleHeader(const std::string& path);

// "%3u:%02u:%03u" (minutes, seconds, milliseconds) of the file's N = (size - 512) / 2
// samples at 31250 Hz; "---:--:---" when the file cannot be opened or is shorter than 512 bytes.
std::string SlotLengthText(const std::string& path);
// The same text for a slot file of `size` bytes (-1: not opened).
std::string SlotLengthTextOfSize(int64_t size);

// The slot texts ("01" ... "60") of the folder's sample files that pass the header test, in
// the order the file system returns them. folder may lack its trailing separator.
std::vector<std::string> ScanSampleFolder(const std::string& folder);

// Opens a slot file for binary reading; nullptr when it cannot be opened or is no plain file
// (a folder, a named pipe or a device at the slot's name).
std::FILE* OpenSlotForReading(const std::string& path);

// Reads up to count samples from f, big-endian words, into native order; returns how many
// whole samples were read.
int32_t ReadSlotSamples(std::FILE* f, int32_t count, int16_t* samples);
// Writes count samples to f as big-endian words; false when the stream refused them.
bool WriteSlotSamples(std::FILE* f, const int16_t* samples, int32_t count);

// Size of a file in bytes, or -1 when it cannot be opened.
int64_t FileSizeOf(const std::string& path);

} // namespace brelka

// The three lines that describe an audio file: rate, frames with channel mode and duration,
// and sample size, as the open dialog's preview panel shows them.
#pragma once

#include <cstdint>
#include <string>

class AudioFile;

namespace brelka {

struct FileInfoLines {
    std::string rate;   // "Sampling Rate : %.2fHz"
    std::string frames; // "Sampling Frames : %u (mono)  h:mm:ss:mmm"
    std::string bits;   // "Bits / Word : %u"
    bool known = false; // false: the bare captions of an unreadable file
};

// The bare captions shown for a file that cannot be read.
FileInfoLines BareFileInfo();

// The lines for an opened reader; the bare captions when it is not a usable source (see
// UsableSource).
FileInfoLines DescribeAudioFile(const AudioFile& file);

// Opens the path, describes it and closes it again.
FileInfoLines DescribeAudioPath(const std::string& path);

// How loud a file is, measured over all of its samples.
struct FileLevels {
    double peak = 0.0;      // the largest magnitude of any channel, in 16-bit steps, unrounded
    int64_t mixLimited = 0; // frames whose mix (L + R) × 0.75 an import limits to 16 bits
    double PeakDb() const;  // dBFS; −inf for silence
};

// Reads the whole of an opened source from its first frame (it is left at its end).
FileLevels MeasureLevels(AudioFile& file);

// "h:mm:ss:mmm" of frames at the rate (truncated milliseconds), in 64-bit arithmetic.
std::string DurationText(uint32_t frames, double rate);

} // namespace brelka

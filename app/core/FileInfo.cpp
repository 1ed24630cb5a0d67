#include "FileInfo.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "AudioFile.h"
#include "JobCommon.h"
#include "SoundPrep.h"

namespace brelka {

namespace {

// The value with two decimals and a point, whatever the locale: the C library's "%.2f" would
// follow the one the window toolkit adopts from the environment ("22050,50" under German).
std::string FixedTwoDecimals(double value) {
    char text[400]; // the longest double in fixed notation
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string();
}

} // namespace

FileInfoLines BareFileInfo() {
    FileInfoLines lines;
    lines.rate = "Sampling Rate : ";
    lines.frames = "Sampling Frames : ";
    lines.bits = "Bits / Word : ";
    return lines;
}

std::string DurationText(uint32_t frames, double rate) {
    if (!(rate >= 1.0)) return {};
    // Above 2^42 Hz every part of 2^32 frames is 0, so faster rates (up to infinity) are held
    // there, where the products below stay far inside 64 bits.
    constexpr double kFastest = 4398046511104.0;
    const auto r = static_cast<int64_t>(std::trunc(std::min(rate, kFastest)));
    const auto f = static_cast<int64_t>(frames);
    // Every part comes from the truncated rate, so that the hours agree with the rest also at a
    // rate with a fraction (at 48000.9 Hz, 172800000 frames are 1:00:00:000, not 0:00:00:000).
    const int64_t hours = f / (r * 3600);
    int64_t rest = f % (r * 3600);
    const int64_t minutes = rest / (r * 60);
    rest %= r * 60;
    const int64_t seconds = rest / r;
    const int64_t millis = (rest % r) * 1000 / r;
    char text[64];
    std::snprintf(text, sizeof text, "%1u:%02u:%02u:%03u", static_cast<unsigned>(hours),
                  static_cast<unsigned>(minutes), static_cast<unsigned>(seconds),
                  static_cast<unsigned>(millis));
    return text;
}

FileInfoLines DescribeAudioFile(const AudioFile& file) {
    const AudioInfo& info = file.info();
    if (!UsableSource(info)) return BareFileInfo();
    const double rate = info.sampleRate.ToDouble();
    FileInfoLines lines;
    char text[128];
    lines.rate = "Sampling Rate : " + FixedTwoDecimals(rate) + "Hz";
    std::snprintf(text, sizeof text, "Sampling Frames : %u ", static_cast<unsigned>(info.frames));
    lines.frames = text;
    lines.frames += info.channels == 2 ? "(stereo)" : "(mono)";
    lines.frames += "  " + DurationText(info.frames, rate);
    std::snprintf(text, sizeof text, "Bits / Word : %u", static_cast<unsigned>(info.bitsPerSample));
    lines.bits = text;
    lines.known = true;
    return lines;
}

double FileLevels::PeakDb() const {
    return DbFromLevel(peak);
}

FileLevels MeasureLevels(AudioFile& file) {
    FileLevels levels;
    const AudioInfo& info = file.info();
    const auto channels = static_cast<size_t>(std::max(info.channels, 1));
    const int64_t frames = info.frames;
    const auto step = static_cast<int32_t>(std::min<int64_t>(kJobBlock, frames));
    std::vector<double> fine(static_cast<size_t>(step) * channels);
    file.seekFrame(0);
    for (int64_t at = 0; at < frames; at += step) {
        const auto n = static_cast<int32_t>(std::min<int64_t>(step, frames - at));
        file.readFramesFine(n, fine.data());
        for (size_t i = 0; i < static_cast<size_t>(n) * channels; ++i)
            levels.peak = std::max(levels.peak, std::fabs(fine[i]));
    }
    // The mix as an import without preparation takes it: from the 16-bit samples.
    if (info.channels < 2) return levels;
    std::vector<int16_t> words(static_cast<size_t>(step) * channels);
    file.seekFrame(0);
    for (int64_t at = 0; at < frames; at += step) {
        const auto n = static_cast<int32_t>(std::min<int64_t>(step, frames - at));
        file.readFrames(n, words.data());
        levels.mixLimited += CountMixLimited(words.data(), n, info.channels);
    }
    return levels;
}

FileInfoLines DescribeAudioPath(const std::string& path) {
    AudioFile file;
    OpenSource(file, path);
    return DescribeAudioFile(file);
}

} // namespace brelka

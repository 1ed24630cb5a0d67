#include "JobCommon.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "ReSampler.h"

namespace brelka {

const char* JobMessage(JobStatus status) {
    switch (status) {
    case JobStatus::SourceError:
        return "Source File error.";
    case JobStatus::CreateError:
        return "File create error.";
    case JobStatus::SampleError:
        return "Sample File error.";
    case JobStatus::WriteError:
        return "File write error.";
    case JobStatus::ConvertError:
        return "Rate conversion error.";
    case JobStatus::Done:
    case JobStatus::Aborted:
        break;
    }
    return "";
}

bool IsAiffName(const std::string& path) {
    size_t nameStart = path.find_last_of("/\\");
    std::string name = nameStart == std::string::npos ? path : path.substr(nameStart + 1);
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".aif";
}

JobStatus FlushConverter(CReSampler& resampler, int quality, double inRate, double outRate,
                         int32_t headroom, int64_t framesFed, int64_t& written,
                         std::vector<int16_t>& outBuffer,
                         const std::function<bool(const int16_t*, int32_t)>& sink) {
    if (framesFed <= 0) return JobStatus::Done;
    // Output frame j stands for input frame j * inRate / outRate - delay; the last input frame
    // has arrived once an output frame stands for it or later.
    const double delay = ConversionDelay(quality, inRate, outRate, headroom);
    const double lastFrame = static_cast<double>(framesFed - 1);
    const int64_t needed =
        static_cast<int64_t>(std::ceil((lastFrame + delay) * outRate / inRate)) + 1;
    static const std::vector<int16_t> silence(2 * kJobBlock, 0); // room for stereo
    // Each round feeds the silence the missing output needs, at least one frame, so a block
    // converter that holds its output back for a whole block still gets there.
    while (written < needed) {
        double want = std::ceil(static_cast<double>(needed - written) * inRate / outRate);
        int32_t frames = static_cast<int32_t>(std::clamp(want, 1.0, double{kJobBlock}));
        int32_t m = resampler.Exec(silence.data(), outBuffer.data(), frames);
        if (m < 0) return JobStatus::ConvertError;
        if (m > 0 && !sink(outBuffer.data(), m)) return JobStatus::WriteError;
        written += m;
    }
    return JobStatus::Done;
}

int16_t MixSamples(int16_t left, int16_t right) {
    const double v = std::trunc((static_cast<double>(left) + right) * 0.75);
    return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

std::string TemporaryNameFor(const std::string& path) {
    return path + ".tmp";
}

bool ReplaceWith(const std::string& temporary, const std::string& destination) {
    std::error_code ec;
    std::filesystem::rename(temporary, destination, ec);
    return !ec;
}

void RemoveQuietly(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

} // namespace brelka

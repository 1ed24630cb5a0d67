#include "JobCommon.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <utility>

#include "Files.h"
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
    case JobStatus::Cancelled:
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

namespace {

// Output frames one converter call may need room for, beyond its headroom.
constexpr double kMaxCallOutput = 1 << 18;

// The converter refused a call: the job ends with its code.
void Refused(PumpResult& run, int32_t code) {
    run.status = JobStatus::ConvertError;
    run.convertCode = code;
}

// Feeds silence after the last input frame until that frame has reached the output: output
// frame j stands for input frame j * inRate / outRate - delay.
void Flush(CReSampler& resampler, int quality, double inRate, double outRate, int32_t headroom,
           int channels, int32_t step, PumpResult& run, std::vector<int16_t>& output,
           const BlockSink& sink) {
    if (run.framesIn <= 0) return;
    const double delay = ConversionDelay(quality, inRate, outRate, headroom);
    const double lastFrame = static_cast<double>(run.framesIn - 1);
    const int64_t needed =
        static_cast<int64_t>(std::ceil((lastFrame + delay) * outRate / inRate)) + 1;
    const std::vector<int16_t> silence(static_cast<size_t>(kJobBlock * channels), 0);
    // Each round feeds the silence the missing output needs, at least one frame, so a block
    // converter that holds its output back for a whole block still gets there.
    while (run.framesOut < needed) {
        const double want =
            std::ceil(static_cast<double>(needed - run.framesOut) * inRate / outRate);
        const auto count = static_cast<int32_t>(std::clamp(want, 1.0, static_cast<double>(step)));
        const int32_t m = resampler.Exec(silence.data(), output.data(), count);
        if (m < 0) {
            Refused(run, m);
            return;
        }
        if (m > 0 && !sink(output.data(), m)) {
            run.status = JobStatus::WriteError;
            return;
        }
        run.framesOut += m;
    }
}

} // namespace

PumpResult PumpBlocks(CReSampler& resampler, int quality, double inRate, int32_t settingRate,
                      int32_t outRate, int channels, int64_t frames, const BlockReader& read,
                      const BlockSink& sink, const JobProgress& progress) {
    PumpResult run;
    int32_t headroom = 0;
    if (quality != 0) {
        const int32_t set =
            resampler.Setting(settingRate, outRate, channels == 2, static_cast<int8_t>(quality));
        headroom = set < 0 ? set : resampler.Begin();
        if (headroom < 0) Refused(run, headroom);
    }
    const size_t width = static_cast<size_t>(channels);
    // The converter takes a block in calls of `step` frames: the whole block, or fewer when the
    // rates go up so steeply (a source of a few hertz) that one block's output would not fit a
    // buffer of sensible size. The output buffer has room for one call's share of the output
    // rate plus the converter's headroom; without conversion there is none.
    int32_t step = kJobBlock;
    size_t outFrames = 0;
    if (quality != 0 && run.status == JobStatus::Done) {
        const double perFrame =
            static_cast<double>(outRate) / std::min<double>(inRate, settingRate);
        const double fit = (kMaxCallOutput - headroom) / perFrame;
        step = static_cast<int32_t>(std::clamp(fit, 1.0, double{kJobBlock}));
        outFrames = std::max<size_t>(
            static_cast<size_t>(step * perFrame + std::max(headroom, 0)) * 2 + 2, kJobBlock);
    }
    std::vector<int16_t> block(static_cast<size_t>(kJobBlock) * width);
    std::vector<int16_t> output(outFrames * width);

    const int blocks = static_cast<int>((frames + kJobBlock - 1) / kJobBlock);
    if (run.status == JobStatus::Done && progress.started) progress.started(blocks);
    for (int k = 0; k < blocks && run.status == JobStatus::Done; ++k) {
        const auto count =
            static_cast<int32_t>(std::min<int64_t>(kJobBlock, frames - int64_t{k} * kJobBlock));
        read(count, block.data());
        if (quality == 0) {
            if (!sink(block.data(), count)) run.status = JobStatus::WriteError;
            run.framesOut += count;
        }
        for (int32_t done = 0; quality != 0 && done < count; done += step) {
            const int32_t n = std::min(step, count - done);
            const int32_t m =
                resampler.Exec(block.data() + static_cast<size_t>(done) * width, output.data(), n);
            if (m < 0) {
                Refused(run, m);
                break;
            }
            if (!sink(output.data(), m)) {
                run.status = JobStatus::WriteError;
                break;
            }
            run.framesOut += m;
        }
        if (run.status == JobStatus::ConvertError) break;
        run.framesIn += count;
        if (progress.block && progress.block(k, blocks)) {
            run.aborted = true;
            break;
        }
        if (progress.cancel && progress.cancel()) {
            run.status = JobStatus::Cancelled;
            break;
        }
    }
    if (quality != 0 && run.status == JobStatus::Done && !run.aborted)
        Flush(resampler, quality, settingRate, outRate, headroom, channels, step, run, output,
              sink);
    if (progress.closing) progress.closing();
    if (quality != 0) resampler.End();
    return run;
}

void PickChannels(const int16_t* in, int32_t frames, int channels, int choice, int16_t* out) {
    if (channels < 2) {
        std::copy(in, in + frames, out);
        return;
    }
    const size_t stride = static_cast<size_t>(channels);
    for (int32_t i = 0; i < frames; ++i) {
        const int16_t* f = in + static_cast<size_t>(i) * stride;
        switch (choice) {
        case kChannelKeep:
            out[2 * i] = f[0];
            out[2 * i + 1] = f[1];
            break;
        case kChannelL:
            out[i] = f[0];
            break;
        case kChannelR:
            out[i] = f[1];
            break;
        default:
            out[i] = MixSamples(f[0], f[1]);
            break;
        }
    }
}

int64_t CountMixLimited(const int16_t* in, int32_t frames, int channels) {
    int64_t limited = 0;
    for (int32_t i = 0; i < frames; ++i) {
        const int16_t* f = in + static_cast<size_t>(i) * static_cast<size_t>(channels);
        const double v = (static_cast<double>(f[0]) + f[1]) * 0.75;
        if (v >= 32768.0 || v <= -32769.0) ++limited;
    }
    return limited;
}

std::string TemporaryNameFor(const std::string& path) {
    return path + ".tmp";
}

std::string AsideNameFor(const std::string& path) {
    return path + ".aside";
}

bool CopyFileBytes(const std::string& from, const std::string& to) {
    std::FILE* in = platform::OpenFile(from, "rb");
    if (!in) return false;
    std::FILE* out = platform::OpenFile(to, "wb");
    if (!out) {
        std::fclose(in);
        return false;
    }
    std::vector<unsigned char> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        const size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
        if (n > 0 && std::fwrite(buffer.data(), 1, n, out) != n) ok = false;
        if (n < buffer.size() || !ok) break;
    }
    if (std::ferror(in)) ok = false;
    std::fclose(in);
    if (std::fclose(out) != 0) ok = false;
    if (!ok) platform::RemoveFile(to);
    return ok;
}

bool ReplaceWith(const std::string& temporary, const std::string& destination) {
    return platform::MoveFileOver(temporary, destination);
}

JobStatus FinishOutput(JobStatus status, bool aborted, const std::string& temporary,
                       const std::string& destination) {
    if (status == JobStatus::Done && !ReplaceWith(temporary, destination))
        status = JobStatus::WriteError;
    if (status != JobStatus::Done) {
        RemoveQuietly(temporary);
        return status;
    }
    return aborted ? JobStatus::Aborted : JobStatus::Done;
}

void RemoveQuietly(const std::string& path) {
    platform::RemoveFile(path);
}

TemporaryOutput::TemporaryOutput(std::string path)
    : path_(std::move(path)), file_(platform::OpenFile(path_, "w+b")) {}

TemporaryOutput::~TemporaryOutput() {
    if (!file_) return;
    std::fclose(file_);
    RemoveQuietly(path_);
}

bool TemporaryOutput::Close() {
    if (!file_) return false;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
}

} // namespace brelka

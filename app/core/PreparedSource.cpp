#include "PreparedSource.h"

#include <algorithm>

#include "AudioFile.h"
#include "Jobs.h"

namespace brelka {

MonoReader::MonoReader(AudioFile& file, int choice)
    : file_(file), choice_(choice), channels_(file.info().channels),
      // Integers of one or two bytes read the same as 16-bit words as at their own precision.
      whole_(file.info().encoding == kEncodingPcm && file.bytesPerSample() <= 2) {}

void MonoReader::Read(int32_t count, double* mono) {
    const auto n = static_cast<size_t>(count);
    const auto stride = static_cast<size_t>(channels_);
    const int pick = channels_ < 2 || choice_ == kChannelL ? 0 : choice_ == kChannelR ? 1 : -1;
    const auto take = [&](const auto* frames) {
        if (pick >= 0) {
            for (size_t i = 0; i < n; ++i)
                mono[i] = static_cast<double>(frames[i * stride + static_cast<size_t>(pick)]);
            return;
        }
        for (size_t i = 0; i < n; ++i) {
            const auto* f = frames + i * stride;
            mono[i] = (static_cast<double>(f[0]) + static_cast<double>(f[1])) * 0.75;
        }
    };
    if (whole_) {
        words_.resize(n * stride);
        file_.readFrames(count, words_.data());
        take(words_.data());
    } else {
        fine_.resize(n * stride);
        file_.readFramesFine(count, fine_.data());
        take(fine_.data());
    }
}

SignalScan ScanSource(AudioFile& file, int choice, const PrepOptions& prep) {
    SignalScan scan(prep.trimDb ? LevelFromDb(*prep.trimDb) : 0.0);
    MonoReader mono(file, choice);
    const int64_t frames = file.info().frames;
    // Larger blocks than a job's: fewer reads from the system.
    const int64_t step = std::min<int64_t>(4 * kJobBlock, frames);
    std::vector<double> block(static_cast<size_t>(step));
    file.seekFrame(0);
    for (int64_t at = 0; at < frames; at += step) {
        const auto n = static_cast<int32_t>(std::min<int64_t>(step, frames - at));
        mono.Read(n, block.data());
        scan.Add(block.data(), static_cast<size_t>(n));
    }
    return scan;
}

namespace {

PrepPlan PlanFor(AudioFile& file, int choice, const PrepOptions& prep, double kitPeak) {
    return PlanPrep(ScanSource(file, choice, prep), prep, file.info().sampleRate.ToDouble(),
                    file.finerThan16(), prep.kit ? kitPeak : 0.0);
}

// The plan as the second pass sees it: from the first kept frame on.
PrepPlan FromBegin(PrepPlan plan) {
    plan.end -= plan.begin;
    plan.begin = 0;
    return plan;
}

} // namespace

PreparedSource::PreparedSource(AudioFile& file, int choice, const PrepOptions& prep, double kitPeak)
    : plan_(PlanFor(file, choice, prep, kitPeak)), processor_(FromBegin(plan_)),
      mono_(file, choice) {
    file.seekFrame(static_cast<uint32_t>(plan_.begin));
}

void PreparedSource::Read(int32_t count, int16_t* mono) {
    const auto n = static_cast<size_t>(count);
    block_.resize(n);
    mono_.Read(count, block_.data());
    const size_t written = processor_.Process(block_.data(), n, mono);
    std::fill(mono + written, mono + n, int16_t{0});
}

} // namespace brelka

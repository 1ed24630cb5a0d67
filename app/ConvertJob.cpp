// The general conversion: one WAV or AIFF file into another at any rate.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "AudioFile.h"
#include "JobCommon.h"
#include "Jobs.h"
#include "ReSampler.h"

namespace brelka {

namespace {

// Reduces a block of interleaved frames to the channels written: channels 0 and 1 as they
// are, or one of them, or their mix.
void PickChannels(const int16_t* in, int32_t frames, int channels, int choice, int16_t* out) {
    const size_t stride = static_cast<size_t>(channels);
    for (int32_t i = 0; i < frames; ++i) {
        const int16_t* f = in + static_cast<size_t>(i) * stride;
        const int16_t right = channels > 1 ? f[1] : f[0];
        switch (choice) {
        case kChannelKeep:
            if (channels > 1) {
                out[2 * i] = f[0];
                out[2 * i + 1] = right;
            } else {
                out[i] = f[0];
            }
            break;
        case kChannelL:
            out[i] = f[0];
            break;
        case kChannelR:
            out[i] = right;
            break;
        default:
            out[i] = channels > 1 ? MixSamples(f[0], right) : f[0];
            break;
        }
    }
}

} // namespace

ConvertOutcome RunConvert(const ConvertRequest& request, CReSampler& resampler,
                          const JobProgress& progress) {
    ConvertOutcome outcome;
    auto* source = new AudioFile();
    source->open(request.sourcePath, false);
    const double rate = source->sampleRate.ToDouble();
    if (source->fileType == kAudioFileNone || !(rate >= 1.0) || source->channels < 1 ||
        request.rate < 1) {
        source->close(1);
        outcome.status = JobStatus::SourceError;
        return outcome;
    }
    const int inChannels = source->channels;
    const int outChannels = (request.channel == kChannelKeep && inChannels > 1) ? 2 : 1;
    outcome.channels = outChannels;
    outcome.sourceRate =
        static_cast<int32_t>(std::min<uint32_t>(source->sampleRate.TruncToUInt32(), INT32_MAX));

    const std::string temporary = TemporaryNameFor(request.destPath);
    auto* dest = new AudioFile();
    dest->open(temporary, true);
    if (dest->writing != 1) {
        dest->close(1);
        source->close(1);
        outcome.status = JobStatus::CreateError;
        return outcome;
    }
    if (progress.preparing) progress.preparing();
    dest->channels = outChannels;
    dest->bitsPerSample = 16;
    dest->sampleRate = Extended80::FromUInt32(static_cast<uint32_t>(request.rate));
    JobStatus status = JobStatus::Done;
    if (dest->beginWrite(IsAiffName(request.destPath) ? kAudioFileAiff : kAudioFileWav) != 0)
        status = JobStatus::WriteError;

    const int quality = request.quality;
    int32_t headroom = 0;
    if (quality != 0) {
        resampler.Setting(outcome.sourceRate, request.rate, outChannels == 2,
                          static_cast<int8_t>(quality));
        headroom = resampler.Begin();
        if (headroom < 0) status = JobStatus::ConvertError;
    }
    source->seekFrame(0);

    const double perBlock = kJobBlock * static_cast<double>(request.rate) / rate;
    const auto outFrames =
        std::max<size_t>(static_cast<size_t>(perBlock + std::max(headroom, 0)) + 2, kJobBlock);
    std::vector<int16_t> input(static_cast<size_t>(kJobBlock) * static_cast<size_t>(inChannels));
    std::vector<int16_t> picked(static_cast<size_t>(kJobBlock) * 2);
    std::vector<int16_t> output(outFrames * 2);
    auto sink = [&](const int16_t* s, int32_t n) { return dest->writeFrames(s, n) == 0; };

    const int64_t frames = source->dataStart == 0 ? 0 : source->frames;
    const int blocks = static_cast<int>((frames + kJobBlock - 1) / kJobBlock);
    int64_t written = 0;
    bool aborted = false;
    if (status == JobStatus::Done && progress.started) progress.started(blocks);
    for (int k = 0; k < blocks && status == JobStatus::Done; ++k) {
        const auto count =
            static_cast<int32_t>(std::min<int64_t>(kJobBlock, frames - int64_t{k} * kJobBlock));
        source->readFrames(count, input.data());
        PickChannels(input.data(), count, inChannels, request.channel, picked.data());
        int32_t m = count;
        const int16_t* result = picked.data();
        if (quality != 0) {
            m = resampler.Exec(picked.data(), output.data(), count);
            result = output.data();
            if (m < 0) {
                status = JobStatus::ConvertError;
                break;
            }
        }
        if (!sink(result, m)) status = JobStatus::WriteError;
        written += m;
        outcome.framesRead += count;
        if (progress.block && progress.block(k, blocks)) {
            aborted = true;
            break;
        }
    }
    if (quality != 0 && status == JobStatus::Done && !aborted) {
        status = FlushConverter(resampler, quality, rate, request.rate, headroom,
                                outcome.framesRead, written, output, sink);
    }
    if (progress.closing) progress.closing();
    if (quality != 0) resampler.End();
    source->close(1);
    if (dest->close(1) != 0 && status == JobStatus::Done) status = JobStatus::WriteError;
    if (status == JobStatus::Done && !ReplaceWith(temporary, request.destPath))
        status = JobStatus::WriteError;
    if (status != JobStatus::Done) {
        RemoveQuietly(temporary);
        outcome.status = status;
        return outcome;
    }
    outcome.framesWritten = written;
    outcome.status = aborted ? JobStatus::Aborted : JobStatus::Done;
    return outcome;
}

} // namespace brelka

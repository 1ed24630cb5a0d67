// The general conversion: one WAV or AIFF file into another at any rate.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "AudioFile.h"
#include "AudioFileOwner.h"
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
    AudioFileOwner source;
    source->open(request.sourcePath, false);
    const double rate = source->sampleRate.ToDouble();
    if (source->fileType == kAudioFileNone || !(rate >= 1.0) || source->channels < 1 ||
        request.rate < 1) {
        outcome.status = JobStatus::SourceError;
        return outcome;
    }
    const int inChannels = source->channels;
    const int outChannels = (request.channel == kChannelKeep && inChannels > 1) ? 2 : 1;
    outcome.channels = outChannels;
    outcome.sourceRate =
        static_cast<int32_t>(std::min<uint32_t>(source->sampleRate.TruncToUInt32(), INT32_MAX));

    const std::string temporary = TemporaryNameFor(request.destPath);
    AudioFileOwner dest;
    dest->open(temporary, true);
    if (dest->writing != 1) {
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

    source->seekFrame(0);
    const int64_t frames = source->dataStart == 0 ? 0 : source->frames;
    // One block of frames, or all of them when there are fewer: the header's channel count
    // alone (up to 65535) does not size the buffer beyond what the file holds.
    const auto blockFrames = static_cast<size_t>(std::min<int64_t>(kJobBlock, frames));
    std::vector<int16_t> input(blockFrames * static_cast<size_t>(inChannels));
    PumpResult run;
    if (status == JobStatus::Done) {
        run = PumpBlocks(
            resampler, request.quality, rate, outcome.sourceRate, request.rate, outChannels, frames,
            [&](int32_t count, int16_t* block) {
                source->readFrames(count, input.data());
                PickChannels(input.data(), count, inChannels, request.channel, block);
            },
            [&](const int16_t* s, int32_t n) { return dest->writeFrames(s, n) == 0; }, progress);
        status = run.status;
    }
    source.Close();
    if (dest.Close() != 0 && status == JobStatus::Done) status = JobStatus::WriteError;
    outcome.status = FinishOutput(status, run.aborted, temporary, request.destPath);
    if (!JobFailed(outcome.status)) {
        outcome.framesRead = run.framesIn;
        outcome.framesWritten = run.framesOut;
    }
    return outcome;
}

} // namespace brelka

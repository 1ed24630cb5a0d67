// The general conversion: one WAV or AIFF file into another at any rate.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "AudioFile.h"
#include "AudioFileOwner.h"
#include "Files.h"
#include "JobCommon.h"
#include "Jobs.h"
#include "PreparedSource.h"
#include "ReSampler.h"

namespace brelka {

namespace {

// CorrectLevel on a mono 16-bit file the job wrote and closed.
bool CorrectWrittenLevel(const std::string& path, int64_t frames, double gain, const PrepPlan& plan,
                         int64_t& clipped) {
    AudioFile written;
    if (written.openRead(path) != kAudioFileOk) return false;
    const int64_t offset = written.info().dataStart;
    const bool littleEndian = written.info().type == kAudioFileWav;
    written.close();
    std::FILE* f = platform::OpenFile(path, "r+b");
    if (!f) return false;
    const bool ok = CorrectLevel(f, offset, frames, littleEndian, gain, plan, clipped);
    return std::fclose(f) == 0 && ok;
}

} // namespace

ConvertOutcome RunConvert(const ConvertRequest& request, CReSampler& resampler,
                          const JobProgress& progress) {
    ConvertOutcome outcome;
    AudioFileOwner source;
    if (OpenSource(*source, request.sourcePath) != kAudioFileOk || request.rate < 1) {
        outcome.status = JobStatus::SourceError;
        return outcome;
    }
    const AudioInfo& in = source->info();
    const double rate = in.sampleRate.ToDouble();
    const int inChannels = in.channels;
    const bool preparing = request.prep.Any();
    const int outChannels =
        (request.channel == kChannelKeep && inChannels > 1 && !preparing) ? 2 : 1;
    outcome.channels = outChannels;
    outcome.sourceRate =
        static_cast<int32_t>(std::min<uint32_t>(in.sampleRate.TruncToUInt32(), INT32_MAX));

    const std::string temporary = TemporaryNameFor(request.destPath);
    AudioFileOwner dest;
    const int32_t opened = dest->openWrite(
        temporary,
        WriterInfo(IsAiffName(request.destPath) ? kAudioFileAiff : kAudioFileWav, outChannels, 16,
                   Extended80::FromUInt32(static_cast<uint32_t>(request.rate))));
    if (opened == kAudioFileCannotOpen) {
        outcome.status = JobStatus::CreateError;
        return outcome;
    }
    if (progress.preparing) progress.preparing();
    JobStatus status = opened == kAudioFileOk ? JobStatus::Done : JobStatus::WriteError;

    std::unique_ptr<PreparedSource> prepared;
    if (preparing)
        prepared = std::make_unique<PreparedSource>(*source, MonoChoice(request.channel),
                                                    request.prep, 0.0, request.quality == 0);
    else
        source->seekFrame(0);
    const int64_t frames = prepared ? prepared->frames() : int64_t{in.frames};
    // One block of frames, or all of them when there are fewer: the header's channel count
    // alone (up to 65535) does not size the buffer beyond what the file holds.
    const auto blockFrames = static_cast<size_t>(std::min<int64_t>(kJobBlock, frames));
    std::vector<int16_t> input(prepared ? 0 : blockFrames * static_cast<size_t>(inChannels));
    const bool mixing = request.channel == kChannelMix && inChannels >= 2;
    int64_t clipped = 0;
    int32_t peak = 0;
    PumpResult run;
    if (status == JobStatus::Done) {
        run = PumpBlocks(
            resampler, request.quality, rate, outcome.sourceRate, request.rate, outChannels, frames,
            [&](int32_t count, int16_t* block) {
                if (prepared) {
                    prepared->Read(count, block);
                    return;
                }
                source->readFrames(count, input.data());
                PickChannels(input.data(), count, inChannels, request.channel, block);
                if (mixing) clipped += CountMixLimited(input.data(), count, inChannels);
            },
            [&](const int16_t* s, int32_t n) {
                if (request.quality != 0) clipped += CountAtLimits(s, n * outChannels);
                for (int32_t i = 0; prepared && i < n; ++i)
                    peak = std::max(peak, std::abs(static_cast<int32_t>(s[i])));
                return dest->writeFrames(s, n) == 0;
            },
            progress);
        status = run.status;
    }
    if (prepared) {
        prepared->Finish(); // before the source is closed
        clipped += prepared->clipped();
    }
    source.Close();
    if (dest.Close() != 0 && status == JobStatus::Done) status = JobStatus::WriteError;
    // As on import: the level asked for is met once more on what the converter gave.
    if (prepared && request.prep.normalizeDb && request.quality != 0 && status == JobStatus::Done &&
        !run.aborted && peak > 0) {
        const double target = std::min(LevelFromDb(*request.prep.normalizeDb), 32767.0);
        if (std::fabs(peak - target) > 0.5 &&
            !CorrectWrittenLevel(temporary, run.framesOut, target / peak, prepared->plan(),
                                 clipped))
            status = JobStatus::WriteError;
    }
    outcome.clipped = clipped;
    outcome.status = FinishOutput(status, run.aborted, temporary, request.destPath);
    outcome.convertCode = run.convertCode;
    if (!JobFailed(outcome.status)) {
        outcome.framesRead = run.framesIn;
        outcome.framesWritten = run.framesOut;
    }
    return outcome;
}

} // namespace brelka

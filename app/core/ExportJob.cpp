// The export job: the device sample file of a slot into a WAV or AIFF file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "AudioFile.h"
#include "AudioFileOwner.h"
#include "Files.h"
#include "JobCommon.h"
#include "Jobs.h"
#include "ReSampler.h"
#include "SampleFile.h"

namespace brelka {

namespace {
constexpr int kExportRate = 44100;
} // namespace

ExportOutcome RunExport(const ExportRequest& request, CReSampler& resampler,
                        const JobProgress& progress) {
    ExportOutcome outcome;
    outcome.slot = ParseSlotNumber(request.slotText);
    outcome.slotPath = SlotFileName(request.folder, outcome.slot);

    std::FILE* source = OpenSlotForReading(outcome.slotPath);
    if (!source) {
        outcome.status = JobStatus::SampleError;
        return outcome;
    }
    // The new file is written beside the destination and replaces it only when complete.
    const std::string temporary = TemporaryNameFor(request.destPath);
    const int quality = request.quality;
    outcome.outputRate = quality != 0 ? kExportRate : kDeviceRate;
    AudioFileOwner dest;
    const int32_t opened = dest->openWrite(
        temporary, WriterInfo(IsAiffName(request.destPath) ? kAudioFileAiff : kAudioFileWav, 1, 16,
                              Extended80::FromUInt32(static_cast<uint32_t>(outcome.outputRate))));
    if (opened == kAudioFileCannotOpen) {
        std::fclose(source);
        outcome.outputRate = 0;
        outcome.status = JobStatus::CreateError;
        return outcome;
    }
    if (progress.preparing) progress.preparing();
    JobStatus status = opened == kAudioFileOk ? JobStatus::Done : JobStatus::WriteError;

    int64_t size = -1;
    if (platform::SeekFile(source, 0, SEEK_END)) size = platform::TellFile(source);
    platform::SeekFile(source, kHeaderArea, SEEK_SET);
    const int64_t samples = size > kHeaderArea ? (size - kHeaderArea) / 2 : 0;
    PumpResult run;
    if (status == JobStatus::Done) {
        run = PumpBlocks(
            resampler, quality, kDeviceRate, kDeviceRate, outcome.outputRate, 1, samples,
            [&](int32_t count, int16_t* block) {
                const int32_t got = ReadSlotSamples(source, count, block);
                std::fill(block + got, block + count, int16_t{0});
            },
            [&](const int16_t* s, int32_t n) {
                if (quality != 0) outcome.clipped += CountAtLimits(s, n);
                return dest->writeFrames(s, n) == 0;
            },
            progress);
        status = run.status;
    }
    std::fclose(source);
    if (dest.Close() != 0 && status == JobStatus::Done) status = JobStatus::WriteError;
    outcome.status = FinishOutput(status, run.aborted, temporary, request.destPath);
    outcome.convertCode = run.convertCode;
    if (!JobFailed(outcome.status)) outcome.framesWritten = run.framesOut;
    return outcome;
}

} // namespace brelka

// The export job: the device sample file of a slot into a WAV or AIFF file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "AudioFile.h"
#include "JobCommon.h"
#include "Jobs.h"
#include "ReSampler.h"
#include "SampleFile.h"

namespace brelka {

namespace {
constexpr int kExportRate = 44100;

// Reads up to count big-endian samples into native order; returns how many were read.
int32_t ReadSlotSamples(std::FILE* f, int32_t count, int16_t* samples) {
    std::vector<unsigned char> bytes(static_cast<size_t>(count) * 2);
    const size_t got = std::fread(bytes.data(), 2, static_cast<size_t>(count), f);
    for (size_t i = 0; i < got; ++i)
        samples[i] = static_cast<int16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]);
    return static_cast<int32_t>(got);
}
} // namespace

ExportOutcome RunExport(const ExportRequest& request, CReSampler& resampler,
                        const JobProgress& progress) {
    ExportOutcome outcome;
    outcome.slot = ParseSlotNumber(request.slotText);
    outcome.slotPath = SlotFileName(request.folder, outcome.slot);

    std::FILE* source = std::fopen(outcome.slotPath.c_str(), "rb");
    if (!source) {
        outcome.status = JobStatus::SampleError;
        return outcome;
    }
    // The new file is written beside the destination and replaces it only when complete.
    const std::string temporary = TemporaryNameFor(request.destPath);
    auto* dest = new AudioFile();
    dest->open(temporary, true);
    if (dest->writing != 1) {
        dest->close(1);
        std::fclose(source);
        outcome.status = JobStatus::CreateError;
        return outcome;
    }
    if (progress.preparing) progress.preparing();

    const int quality = request.quality;
    outcome.outputRate = quality != 0 ? kExportRate : kDeviceRate;
    dest->channels = 1;
    dest->bitsPerSample = 16;
    dest->sampleRate = Extended80::FromUInt32(static_cast<uint32_t>(outcome.outputRate));
    JobStatus status = JobStatus::Done;
    if (dest->beginWrite(IsAiffName(request.destPath) ? kAudioFileAiff : kAudioFileWav) != 0)
        status = JobStatus::WriteError;

    int32_t headroom = 0;
    if (quality != 0) {
        resampler.Setting(kDeviceRate, kExportRate, false, static_cast<int8_t>(quality));
        headroom = resampler.Begin();
        if (headroom < 0) status = JobStatus::ConvertError;
    }

    int64_t size = -1;
    if (std::fseek(source, 0, SEEK_END) == 0) size = std::ftell(source);
    std::fseek(source, kHeaderArea, SEEK_SET);
    const int64_t samples = size > kHeaderArea ? (size - kHeaderArea) / 2 : 0;
    const int blocks = static_cast<int>((samples + kExportBlock - 1) / kExportBlock);

    std::vector<int16_t> block(kExportBlock);
    std::vector<int16_t> output(static_cast<size_t>(kExportBlock + std::max(headroom, 0)) * 2 + 2);
    auto sink = [&](const int16_t* s, int32_t n) { return dest->writeFrames(s, n) == 0; };

    int64_t written = 0;
    int64_t fed = 0;
    bool aborted = false;
    if (status == JobStatus::Done && progress.started) progress.started(blocks);
    for (int k = 0; k < blocks && status == JobStatus::Done; ++k) {
        const auto want = static_cast<int32_t>(
            std::min<int64_t>(kExportBlock, samples - int64_t{k} * kExportBlock));
        const int32_t count = ReadSlotSamples(source, want, block.data());
        if (count < want) std::fill(block.begin() + count, block.begin() + want, int16_t{0});
        int32_t m = want;
        const int16_t* result = block.data();
        if (quality != 0) {
            m = resampler.Exec(block.data(), output.data(), want);
            result = output.data();
            if (m < 0) {
                status = JobStatus::ConvertError;
                break;
            }
        }
        if (!sink(result, m)) status = JobStatus::WriteError;
        written += m;
        fed += want;
        if (progress.block && progress.block(k, blocks)) {
            aborted = true;
            break;
        }
    }
    if (quality != 0 && status == JobStatus::Done && !aborted) {
        status = FlushConverter(resampler, quality, kDeviceRate, kExportRate, headroom, fed,
                                written, output, sink);
    }

    if (progress.closing) progress.closing();
    if (quality != 0) resampler.End();
    std::fclose(source);
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

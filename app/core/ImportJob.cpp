// The import job: a WAV or AIFF file into the device sample file of a slot.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "AudioFile.h"
#include "AudioFileOwner.h"
#include "Files.h"
#include "JobCommon.h"
#include "Jobs.h"
#include "PreparedSource.h"
#include "ReSampler.h"
#include "SampleFile.h"

namespace brelka {

namespace {

// Appends samples to the slot file as big-endian words.
class SlotWriter {
  public:
    explicit SlotWriter(std::FILE* f) : file_(f) {}
    bool Write(const int16_t* samples, int32_t count) {
        if (!WriteSlotSamples(file_, samples, count)) failed_ = true;
        return !failed_;
    }
    bool failed() const { return failed_; }
    void Fail() { failed_ = true; }

  private:
    std::FILE* file_;
    bool failed_ = false;
};

} // namespace

double SourcePeak(const std::string& path, int channel, const PrepOptions& prep) {
    AudioFileOwner source;
    if (OpenSource(*source, path) != kAudioFileOk) return -1.0;
    return ScanSource(*source, MonoChoice(channel), prep).peak();
}

ImportOutcome RunImport(const ImportRequest& request, CReSampler& resampler,
                        const JobProgress& progress) {
    ImportOutcome outcome;
    outcome.slot = ParseSlotNumber(request.slotText);
    outcome.slotPath = SlotFileName(request.folder, outcome.slot);

    AudioFileOwner source;
    if (OpenSource(*source, request.sourcePath) != kAudioFileOk) {
        outcome.status = JobStatus::SourceError;
        return outcome;
    }
    const AudioInfo& in = source->info();
    const double rate = in.sampleRate.ToDouble();

    // The new slot is written beside the old one and replaces it only when complete.
    const std::string temporary = TemporaryNameFor(outcome.slotPath);
    TemporaryOutput output(temporary);
    std::FILE* out = output.get();
    if (!out) {
        outcome.status = JobStatus::CreateError;
        return outcome;
    }
    if (progress.preparing) progress.preparing();
    SlotWriter writer(out);
    if (!WriteSampleHeader(out)) writer.Fail();

    const int channels = in.channels;
    // The slot is mono: a request to keep the channels takes their mix.
    const int choice = MonoChoice(request.channel);
    outcome.sourceRate =
        static_cast<int32_t>(std::min<uint32_t>(in.sampleRate.TruncToUInt32(), INT32_MAX));
    // With any preparation asked for, a first pass finds what the second one does, and the
    // second reads the kept frames only, at the file's own precision, a few blocks ahead on a
    // thread of its own (unless a conversion keeps every core busy with threads of its own).
    std::unique_ptr<PreparedSource> prepared;
    if (request.prep.Any())
        prepared = std::make_unique<PreparedSource>(*source, choice, request.prep, request.kitPeak,
                                                    request.quality == 0);
    else
        source->seekFrame(0);
    const int64_t frames = prepared ? prepared->frames() : int64_t{in.frames};
    // One block of frames, or all of them when there are fewer: the header's channel count
    // alone (up to 65535) does not size the buffer beyond what the file holds.
    const auto blockFrames = static_cast<size_t>(std::min<int64_t>(kJobBlock, frames));
    std::vector<int16_t> input(prepared ? 0 : blockFrames * static_cast<size_t>(channels));
    int64_t clipped = 0;
    int32_t peak = 0;
    const PumpResult run = PumpBlocks(
        resampler, request.quality, rate, outcome.sourceRate, kDeviceRate, 1, frames,
        [&](int32_t count, int16_t* mono) {
            if (prepared) {
                prepared->Read(count, mono);
                return;
            }
            source->readFrames(count, input.data());
            PickChannels(input.data(), count, channels, choice, mono);
            if (choice == kChannelMix && channels >= 2)
                clipped += CountMixLimited(input.data(), count, channels);
        },
        [&](const int16_t* s, int32_t n) {
            for (int32_t i = 0; i < n; ++i) {
                const int32_t v = s[i];
                peak = std::max(peak, v < 0 ? -v : v);
            }
            if (request.quality != 0) clipped += CountAtLimits(s, n);
            return writer.Write(s, n);
        },
        progress);
    JobStatus status = run.status;
    int64_t written = run.framesOut;
    outcome.framesRead = run.framesIn;
    if (request.pad && written % kPaddingUnit != 0 && status == JobStatus::Done) {
        const std::vector<int16_t> zeros(
            static_cast<size_t>(kPaddingUnit - written % kPaddingUnit));
        writer.Write(zeros.data(), static_cast<int32_t>(zeros.size()));
        written += static_cast<int64_t>(zeros.size());
    }
    if (prepared) {
        prepared->Finish(); // before the source is closed
        clipped += prepared->clipped();
    }
    // A conversion moves a sound's peak a little: the level the user asked for is met once more
    // on what the converter gave (a kit keeps the one gain of its sources).
    if (prepared && request.prep.normalizeDb && !request.prep.kit && request.quality != 0 &&
        status == JobStatus::Done && !run.aborted && peak > 0) {
        const double target = std::min(LevelFromDb(*request.prep.normalizeDb), 32767.0);
        if (std::fabs(peak - target) > 0.5 &&
            !CorrectLevel(out, kHeaderArea, run.framesOut, false, target / peak, prepared->plan(),
                          clipped))
            writer.Fail();
    }
    outcome.clipped = clipped;
    source.Close();
    if (!output.Close() || writer.failed()) status = JobStatus::WriteError;
    outcome.status = FinishOutput(status, run.aborted, temporary, outcome.slotPath);
    outcome.convertCode = run.convertCode;
    if (!JobFailed(outcome.status)) outcome.samplesWritten = written;
    return outcome;
}

} // namespace brelka

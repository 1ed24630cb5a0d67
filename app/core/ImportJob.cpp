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

// The mono signal of a source at its own precision, block by block from a frame on.
class FineMono {
  public:
    FineMono(AudioFile& file, int choice) : file_(file), choice_(choice) {}
    void Read(int32_t count, double* mono) {
        const int channels = file_.info().channels;
        frames_.resize(static_cast<size_t>(count) * static_cast<size_t>(channels));
        file_.readFramesFine(count, frames_.data());
        for (int32_t i = 0; i < count; ++i) {
            const double* f = frames_.data() + static_cast<size_t>(i) * channels;
            if (channels < 2 || choice_ == kChannelL)
                mono[i] = f[0];
            else if (choice_ == kChannelR)
                mono[i] = f[1];
            else
                mono[i] = (f[0] + f[1]) * 0.75;
        }
    }

  private:
    AudioFile& file_;
    int choice_;
    std::vector<double> frames_;
};

int MonoChoice(int channel) {
    return channel == kChannelKeep ? kChannelMix : channel;
}

// The whole signal once: where it is loud and how loud.
SignalScan ScanSource(AudioFile& file, int choice, const PrepOptions& prep) {
    SignalScan scan(prep.trimDb ? LevelFromDb(*prep.trimDb) : 0.0);
    FineMono mono(file, choice);
    std::vector<double> block(kJobBlock);
    file.seekFrame(0);
    for (int64_t at = 0; at < file.info().frames; at += kJobBlock) {
        const auto n = static_cast<int32_t>(std::min<int64_t>(kJobBlock, file.info().frames - at));
        mono.Read(n, block.data());
        scan.Add(block.data(), static_cast<size_t>(n));
    }
    return scan;
}

// Brings a written slot's peak to `target` after a conversion moved it: one more rounding of
// its samples, in place.
bool CorrectLevel(std::FILE* f, int64_t samples, double gain, const PrepPlan& plan,
                  int64_t& clipped) {
    PrepPlan again = plan;
    again.begin = 0;
    again.end = samples;
    again.gain = gain;
    again.fadeIn = again.fadeOut = 0;
    again.finer = true;
    again.seed = plan.seed ^ 0x5DEECE66DULL;
    PrepProcessor processor(again);
    std::vector<int16_t> block(kJobBlock), out;
    std::vector<double> fine(kJobBlock);
    bool ok = true;
    for (int64_t at = 0; at < samples && ok; at += kJobBlock) {
        const auto n = static_cast<size_t>(std::min<int64_t>(kJobBlock, samples - at));
        const int64_t offset = kHeaderArea + 2 * at;
        const auto count = static_cast<int32_t>(n);
        ok = platform::SeekFile(f, offset, SEEK_SET) &&
             ReadSlotSamples(f, count, block.data()) == count;
        for (size_t i = 0; ok && i < n; ++i)
            fine[i] = block[i];
        out.clear();
        if (ok) processor.Process(fine.data(), n, out);
        ok = ok && platform::SeekFile(f, offset, SEEK_SET) &&
             WriteSlotSamples(f, out.data(), static_cast<int32_t>(out.size()));
    }
    clipped += processor.clipped();
    return ok && platform::SeekFile(f, 0, SEEK_END);
}

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
    int64_t frames = in.frames;
    // With any preparation asked for, a first pass finds what the second one does, and the
    // second reads the kept frames only, at the file's own precision.
    PrepPlan plan;
    std::unique_ptr<PrepProcessor> processor;
    if (request.prep.Any()) {
        const SignalScan scan = ScanSource(*source, choice, request.prep);
        plan = PlanPrep(scan, request.prep, rate, source->finerThan16(),
                        request.prep.kit ? request.kitPeak : 0.0);
        frames = plan.end - plan.begin;
        PrepPlan kept = plan;
        kept.begin = 0;
        kept.end = frames;
        processor = std::make_unique<PrepProcessor>(kept);
        source->seekFrame(static_cast<uint32_t>(plan.begin));
    } else {
        source->seekFrame(0);
    }
    // One block of frames, or all of them when there are fewer: the header's channel count
    // alone (up to 65535) does not size the buffer beyond what the file holds.
    const auto blockFrames = static_cast<size_t>(std::min<int64_t>(kJobBlock, frames));
    std::vector<int16_t> input(blockFrames * static_cast<size_t>(channels));
    FineMono fine(*source, choice);
    std::vector<double> fineBlock;
    std::vector<int16_t> prepared;
    int64_t clipped = 0;
    int32_t peak = 0;
    const PumpResult run = PumpBlocks(
        resampler, request.quality, rate, outcome.sourceRate, kDeviceRate, 1, frames,
        [&](int32_t count, int16_t* mono) {
            if (processor) {
                fineBlock.resize(static_cast<size_t>(count));
                fine.Read(count, fineBlock.data());
                prepared.clear();
                processor->Process(fineBlock.data(), static_cast<size_t>(count), prepared);
                std::copy(prepared.begin(), prepared.end(), mono);
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
                if (request.quality != 0 && (v == 32767 || v == -32768)) ++clipped;
            }
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
    if (processor) clipped += processor->clipped();
    // A conversion moves a sound's peak a little: the level the user asked for is met once more
    // on what the converter gave (a kit keeps the one gain of its sources).
    if (processor && request.prep.normalizeDb && !request.prep.kit && request.quality != 0 &&
        status == JobStatus::Done && !run.aborted && peak > 0) {
        const double target = std::min(LevelFromDb(*request.prep.normalizeDb), 32767.0);
        if (std::fabs(peak - target) > 0.5 &&
            !CorrectLevel(out, run.framesOut, target / peak, plan, clipped))
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

#include "PreparedSource.h"

#include <algorithm>
#include <array>

#include "AudioFile.h"
#include "Files.h"
#include "Jobs.h"

namespace brelka {

MonoReader::MonoReader(AudioFile& file, int choice)
    : file_(file), choice_(choice), channels_(file.info().channels),
      // Integers of one or two bytes read the same as 16-bit words as at their own precision.
      whole_(file.info().encoding == kEncodingPcm && file.bytesPerSample() <= 2) {}

void MonoReader::Reserve(int32_t count, Block& block) const {
    const size_t n = static_cast<size_t>(count) * static_cast<size_t>(channels_);
    if (whole_)
        block.words.resize(n);
    else
        block.fine.resize(n);
}

void MonoReader::Fetch(int32_t count, Block& block) {
    Reserve(count, block);
    block.count = count;
    if (whole_)
        file_.readFrames(count, block.words.data());
    else
        file_.readFramesFine(count, block.fine.data());
}

template <class Use> void MonoReader::Visit(const Block& block, const Use& use) const {
    const auto stride = static_cast<size_t>(channels_);
    const int pick = channels_ < 2 || choice_ == kChannelL ? 0 : choice_ == kChannelR ? 1 : -1;
    const auto over = [&](const auto* frames) {
        if (pick >= 0) {
            const auto at = static_cast<size_t>(pick);
            use([=](size_t i) { return static_cast<double>(frames[i * stride + at]); });
        } else {
            use([=](size_t i) {
                const auto* f = frames + i * stride;
                return (static_cast<double>(f[0]) + static_cast<double>(f[1])) * 0.75;
            });
        }
    };
    if (whole_)
        over(block.words.data());
    else
        over(block.fine.data());
}

size_t MonoReader::Prepare(const Block& block, PrepProcessor& processor, int16_t* out) const {
    size_t written = 0;
    Visit(block, [&](const auto& at) {
        written = processor.ProcessEach(static_cast<size_t>(block.count), at, out);
    });
    return written;
}

void MonoReader::Scan(const Block& block, SignalScan& scan) const {
    Visit(block, [&](const auto& at) { scan.AddEach(static_cast<size_t>(block.count), at); });
}

SignalScan ScanSource(AudioFile& file, int choice, const PrepOptions& prep) {
    SignalScan scan(prep.trimDb ? LevelFromDb(*prep.trimDb) : 0.0);
    MonoReader reader(file, choice);
    const int64_t frames = file.info().frames;
    // Larger blocks than a job's: fewer reads from the system.
    const int64_t step = std::min<int64_t>(4 * kJobBlock, frames);
    const int64_t blocks = step > 0 ? (frames + step - 1) / step : 0;
    // Read ahead while this thread scans: the reading and the fingerprint's chain of
    // multiplications take their time side by side.
    std::array<MonoReader::Block, ReadAhead::kSlots> ring;
    for (auto& block : ring)
        reader.Reserve(static_cast<int32_t>(step), block);
    file.seekFrame(0);
    ReadAhead ahead(blocks, [&](int64_t k, size_t slot) {
        reader.Fetch(static_cast<int32_t>(std::min<int64_t>(step, frames - k * step)), ring[slot]);
    });
    for (int64_t k = 0; k < blocks; ++k) {
        reader.Scan(ring[ahead.Take(k)], scan);
        ahead.Release(k);
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

PreparedSource::PreparedSource(AudioFile& file, int choice, const PrepOptions& prep, double kitPeak,
                               bool ahead)
    : plan_(PlanFor(file, choice, prep, kitPeak)), processor_(FromBegin(plan_)),
      mono_(file, choice), step_(std::min<int64_t>(4 * kJobBlock, frames())),
      blocks_(step_ > 0 ? (frames() + step_ - 1) / step_ : 0) {
    file.seekFrame(static_cast<uint32_t>(plan_.begin));
    ahead_ = std::make_unique<ReadAhead>(
        blocks_, [this](int64_t k, size_t slot) { Make(k, made_[slot]); }, ahead);
}

void PreparedSource::Make(int64_t k, Made& made) {
    const auto count = static_cast<int32_t>(std::min<int64_t>(step_, frames() - k * step_));
    made.samples.resize(static_cast<size_t>(step_)); // the first time only
    mono_.Fetch(count, made.frames);
    mono_.Prepare(made.frames, processor_, made.samples.data());
    made.clipped = processor_.clipped();
}

void PreparedSource::Read(int32_t count, int16_t* mono) {
    const auto n = static_cast<size_t>(count);
    size_t i = 0;
    while (i < n && next_ < blocks_ && ahead_) {
        if (!holding_) {
            slot_ = ahead_->Take(next_);
            holding_ = true;
            at_ = 0;
        }
        const Made& made = made_[slot_];
        const auto size = static_cast<size_t>(made.frames.count);
        const size_t m = std::min(n - i, size - at_);
        std::copy_n(made.samples.data() + at_, m, mono + i);
        at_ += m;
        i += m;
        if (at_ == size) {
            clipped_ = made.clipped;
            ahead_->Release(next_);
            holding_ = false;
            ++next_;
        }
    }
    std::fill(mono + i, mono + n, int16_t{0});
}

bool CorrectLevel(std::FILE* f, int64_t offset, int64_t samples, bool littleEndian, double gain,
                  const PrepPlan& plan, int64_t& clipped) {
    PrepPlan again = plan;
    again.begin = 0;
    again.end = samples;
    again.gain = gain;
    again.fadeIn = again.fadeOut = 0;
    again.finer = true;
    again.seed = plan.seed ^ 0x5DEECE66DULL;
    PrepProcessor processor(again);
    constexpr int64_t kBlock = 4 * kJobBlock; // fewer seeks; the same samples whatever the size
    std::vector<unsigned char> bytes(2 * kBlock);
    std::vector<int16_t> out(kBlock);
    std::vector<double> fine(kBlock);
    const int high = littleEndian ? 1 : 0; // where each sample's high byte lies
    bool ok = true;
    for (int64_t at = 0; at < samples && ok; at += kBlock) {
        const auto n = static_cast<size_t>(std::min<int64_t>(kBlock, samples - at));
        const int64_t start = offset + 2 * at;
        ok = platform::SeekFile(f, start, SEEK_SET) && std::fread(bytes.data(), 2, n, f) == n;
        for (size_t i = 0; ok && i < n; ++i)
            fine[i] = static_cast<int16_t>(
                static_cast<uint16_t>(bytes[2 * i + static_cast<size_t>(high)] << 8 |
                                      bytes[2 * i + static_cast<size_t>(1 - high)]));
        const size_t done = ok ? processor.Process(fine.data(), n, out.data()) : 0;
        for (size_t i = 0; i < done; ++i) {
            const auto v = static_cast<uint16_t>(out[i]);
            bytes[2 * i + static_cast<size_t>(high)] = static_cast<unsigned char>(v >> 8);
            bytes[2 * i + static_cast<size_t>(1 - high)] = static_cast<unsigned char>(v & 0xFF);
        }
        ok = ok && platform::SeekFile(f, start, SEEK_SET) &&
             std::fwrite(bytes.data(), 2, done, f) == done;
    }
    clipped += processor.clipped();
    return ok && platform::SeekFile(f, 0, SEEK_END);
}

} // namespace brelka

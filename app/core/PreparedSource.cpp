#include "PreparedSource.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "AudioFile.h"
#include "Files.h"
#include "Jobs.h"

namespace brelka {

MonoReader::MonoReader(AudioFile& file, int choice)
    : file_(file), choice_(choice), channels_(file.info().channels),
      // Integers of one or two bytes read the same as 16-bit words as at their own precision.
      whole_(file.info().encoding == kEncodingPcm && file.bytesPerSample() <= 2) {}

void MonoReader::Read(int32_t count, double* mono) {
    Fetch(count, block_);
    Mix(block_, mono);
}

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

void MonoReader::Mix(const Block& block, double* mono) const {
    const auto n = static_cast<size_t>(block.count);
    Visit(block, [&](const auto& at) {
        for (size_t i = 0; i < n; ++i)
            mono[i] = at(i);
    });
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
    const auto countOf = [&](int64_t k) {
        return static_cast<int32_t>(std::min<int64_t>(step, frames - k * step));
    };
    // A thread of its own reads a few blocks ahead while this one scans them, so that the
    // reading and the fingerprint's chain of multiplications take their time side by side.
    constexpr int64_t kAhead = 3;
    std::array<MonoReader::Block, kAhead> ring;
    for (auto& block : ring)
        reader.Reserve(static_cast<int32_t>(step), block);
    std::mutex lock;
    std::condition_variable changed;
    int64_t filled = 0; // blocks read
    int64_t done = 0;   // blocks scanned
    file.seekFrame(0);
    std::thread ahead;
    if (blocks > 1) {
        try {
            ahead = std::thread([&] {
                for (int64_t k = 0; k < blocks; ++k) {
                    {
                        std::unique_lock<std::mutex> hold(lock);
                        changed.wait(hold, [&] { return k - done < kAhead; });
                    }
                    reader.Fetch(countOf(k), ring[static_cast<size_t>(k % kAhead)]);
                    {
                        const std::lock_guard<std::mutex> hold(lock);
                        filled = k + 1;
                    }
                    changed.notify_all();
                }
            });
        } catch (const std::system_error&) {
            // No thread to be had: this one reads too.
        }
    }
    for (int64_t k = 0; k < blocks; ++k) {
        MonoReader::Block& block = ring[static_cast<size_t>(k % kAhead)];
        if (ahead.joinable()) {
            std::unique_lock<std::mutex> hold(lock);
            changed.wait(hold, [&] { return filled > k; });
        } else {
            reader.Fetch(countOf(k), block);
        }
        reader.Scan(block, scan);
        if (ahead.joinable()) {
            {
                const std::lock_guard<std::mutex> hold(lock);
                done = k + 1;
            }
            changed.notify_all();
        }
    }
    if (ahead.joinable()) ahead.join();
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

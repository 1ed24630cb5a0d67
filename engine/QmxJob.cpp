#include "QmxJob.h"

#include "SampleLimit.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <new>
#include <numeric>

namespace qmx {

namespace {

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

} // namespace

uint64_t JobBytes(int32_t inRate, int32_t outRate, bool stereo, bool blockMode,
                  int32_t filterLength) {
    const uint64_t channels = stereo ? 2 : 1;
    if (!blockMode) {
        // History, kernel and slope tables in both orders.
        const uint64_t taps = static_cast<uint64_t>(filterLength | 1);
        return channels * (taps + 2 * 100 * taps + 2 * 100 * (taps - 1)) * sizeof(double);
    }
    const int64_t g = std::gcd(int64_t{inRate}, int64_t{outRate});
    if (g <= 0) return std::numeric_limits<uint64_t>::max();
    const int64_t inLen = inRate / g * 2;
    const int64_t outLen = outRate / g * 2;
    if (inLen > kInt32Max || outLen > kInt32Max) return std::numeric_limits<uint64_t>::max();
    const uint64_t bufLen = static_cast<uint64_t>(inLen > outLen ? inLen : outLen);
    constexpr uint64_t kPrebuiltBytes = 9792 * sizeof(double);
    const uint64_t perChannel = kPrebuiltBytes + WADCT::AddedBytes(inLen, outLen) +
                                2 * bufLen * sizeof(double) +
                                static_cast<uint64_t>(inLen) * sizeof(int16_t);
    const uint64_t stereoTemps = stereo ? static_cast<uint64_t>(outLen) * sizeof(int16_t) : 0;
    return channels * perChannel + stereoTemps;
}

void QmxJob::FreeConverters() {
    workers.reset();
    for (int ch = 0; ch < 2; ++ch) {
        fir[ch].reset();
        block[ch].reset();
        std::vector<int16_t>().swap(staging[ch]);
        fill[ch] = 0;
        std::vector<double>().swap(firIn_[ch]);
        std::vector<double>().swap(firOut_[ch]);
        std::vector<int16_t>().swap(blockOut_[ch]);
    }
}

int32_t QmxJob::Setting(int32_t newInRate, int32_t newOutRate, uint8_t newStereo, uint8_t quality) {
    // A refused setting changes nothing: a running job keeps its rates and converters.
    if (newInRate <= 0 || newOutRate <= 0) return QMX_BAD_SETTING;
    int32_t length = 0;
    bool newBlockMode = false;
    switch (quality) {
    case kLight:
    case kMedium:
    case kHeavy: {
        const int32_t divisor = quality == kLight ? 4 : quality == kMedium ? 2 : 1;
        length = SincLengthEstimate(newInRate, newOutRate, kAttenuation) / divisor;
        break;
    }
    case kUltraHeavy:
        newBlockMode = true;
        break;
    default:
        return QMX_BAD_SETTING;
    }
    inRate = newInRate;
    outRate = newOutRate;
    stereo = newStereo != 0;
    blockMode = newBlockMode;
    if (!newBlockMode) {
        attenuation = kAttenuation;
        filterLength = length;
    }
    FreeConverters();
    configured = true;
    return QMX_OK;
}

int32_t QmxJob::Begin() {
    if (!configured) return QMX_NOT_CONFIGURED;
    if (running) return QMX_ALREADY_RUNNING;
    const auto in = static_cast<int32_t>(inRate);
    const auto out = static_cast<int32_t>(outRate);
    if (JobBytes(in, out, stereo, blockMode, filterLength) > kMaxJobBytes) return QMX_TOO_LARGE;
    int32_t headroom = 0;
    try {
        if (blockMode) {
            FreeConverters();
            for (int ch = 0; ch < Channels(); ++ch) {
                block[ch] = std::make_unique<RsDCT>();
                block[ch]->Setup(in, out);
                staging[ch].assign(static_cast<size_t>(block[ch]->inLen), 0);
                fill[ch] = block[ch]->inLen / 2;
            }
            headroom = block[0]->outLen / 2;
        } else {
            for (int ch = 0; ch < Channels(); ++ch) {
                fir[ch] = std::make_unique<RsSinc>();
                fir[ch]->Setup(inRate, outRate, filterLength, attenuation);
            }
            headroom = filterLength / 2;
        }
    } catch (const std::bad_alloc&) {
        FreeConverters();
        return QMX_NO_MEMORY;
    }
    // The outputs of a call are the same whatever the number of threads that compute them.
    try {
        workers = std::make_unique<Workers>(threads > 0 ? threads : JobThreads());
    } catch (const std::exception&) {
        workers.reset(); // no threads to be had: the calling thread does all the work
    }
    running = true;
    return headroom;
}

int32_t QmxJob::End() {
    if (!configured) return QMX_NOT_CONFIGURED;
    if (!running) return QMX_NOT_RUNNING;
    running = false;
    FreeConverters();
    return QMX_OK;
}

int32_t QmxJob::Exec(const int16_t* src, int16_t* dst, int32_t frames) {
    if (!configured) return QMX_NOT_CONFIGURED;
    if (!running) return QMX_NOT_RUNNING;
    if (blockMode ? !block[0] : !fir[0]) return QMX_DISCARDED;
    if (frames < 0 || (frames > 0 && src == nullptr) || dst == nullptr) return QMX_BAD_ARGUMENT;
    try {
        if (!blockMode) return ExecFir(src, dst, frames);
        return stereo ? ExecBlockStereo(src, dst, frames) : ExecBlockMono(src, dst, frames);
    } catch (const std::bad_alloc&) {
        return QMX_NO_MEMORY;
    }
}

int32_t QmxJob::ExecFir(const int16_t* src, int16_t* dst, int32_t frames) {
    const double boundValue = frames * (outRate / inRate) + 2.0;
    if (!(boundValue < static_cast<double>(kInt32Max))) return QMX_BAD_ARGUMENT;
    const size_t n = static_cast<size_t>(frames);
    const int channels = Channels();
    const auto stride = static_cast<size_t>(channels);
    // Everything a call needs is allocated before any converter moves on, so a failed
    // allocation leaves the job as it was.
    for (int ch = 0; ch < channels; ++ch) {
        fir[ch]->Reserve(frames);
        if (firIn_[ch].size() < n) firIn_[ch].resize(n);
        const size_t bound = static_cast<size_t>(boundValue) + 2;
        if (firOut_[ch].size() < bound) firOut_[ch].resize(bound);
    }
    int32_t produced = 0;
    for (int ch = 0; ch < channels; ++ch) {
        double* in = firIn_[ch].data();
        for (size_t i = 0; i < n; ++i)
            in[i] = src[i * stride + static_cast<size_t>(ch)];
        produced = fir[ch]->Prepare(in, frames); // the same count for both channels
    }

    // Long calls are shared out in one range of outputs per thread and channel; a part must be
    // worth more than handing it to another thread costs (some 100 microseconds of terms).
    constexpr int64_t kTermsWorthAThread = 150000;
    const int used = workers ? workers->threads() : 1;
    const int64_t terms = int64_t{produced} * (fir[0]->taps - 1);
    const int parts =
        static_cast<int>(std::max<int64_t>(1, std::min<int64_t>(used, terms / kTermsWorthAThread)));
    const auto convert = [&](int task) {
        const int ch = task / parts;
        const int part = task % parts;
        const auto first = static_cast<int32_t>(int64_t{produced} * part / parts);
        const auto last = static_cast<int32_t>(int64_t{produced} * (part + 1) / parts);
        double* out = firOut_[ch].data();
        fir[ch]->Compute(first, last, out);
        for (auto j = static_cast<size_t>(first); j < static_cast<size_t>(last); ++j)
            dst[j * stride + static_cast<size_t>(ch)] = LimitSample(out[j]);
    };
    if (workers)
        workers->Run(channels * parts, convert);
    else
        for (int task = 0; task < channels * parts; ++task)
            convert(task);
    for (int ch = 0; ch < channels; ++ch)
        fir[ch]->Commit();
    return produced;
}

namespace {

// Output frames a call of `count` frames will produce from fill `f` (blocks * output hop).
int64_t BlockOutput(int64_t f, int64_t count, int64_t inLen, int64_t outLen) {
    const int64_t h = inLen / 2;
    if (f + count < inLen) return 0;
    return (f + count - h) / h * (outLen / 2);
}

} // namespace

int32_t QmxJob::ExecBlockMono(const int16_t* src, int16_t* dst, int32_t count) {
    RsDCT& conv = *block[0];
    std::vector<int16_t>& s = staging[0];
    const int32_t inLen = conv.inLen;
    const int32_t h = inLen / 2;
    const int32_t hop = conv.outLen / 2;
    if (BlockOutput(fill[0], count, inLen, conv.outLen) > kInt32Max) return QMX_BAD_ARGUMENT;
    int32_t total = 0;
    while (count >= inLen - fill[0]) {
        while (fill[0] < inLen) {
            s[static_cast<size_t>(fill[0]++)] = *src++;
            --count;
        }
        conv.ExecBlock(s.data(), dst);
        dst += hop;
        total += hop;
        for (int32_t k = 0; k < h; ++k)
            s[static_cast<size_t>(k)] = s[static_cast<size_t>(h) + static_cast<size_t>(k)];
        fill[0] = h;
    }
    while (count > 0) {
        s[static_cast<size_t>(fill[0]++)] = *src++;
        --count;
    }
    return total;
}

int32_t QmxJob::ExecBlockStereo(const int16_t* src, int16_t* dst, int32_t frames) {
    const int32_t inLen = block[0]->inLen;
    const int32_t h = inLen / 2;
    const int32_t hop = block[0]->outLen / 2;
    if (BlockOutput(fill[0], frames, inLen, block[0]->outLen) > kInt32Max) return QMX_BAD_ARGUMENT;
    std::vector<int16_t>* temp = blockOut_;
    for (int ch = 0; ch < 2; ++ch)
        if (temp[ch].size() < static_cast<size_t>(hop)) temp[ch].resize(static_cast<size_t>(hop));
    // The two channels of a block are independent: with a second thread they convert at once.
    const auto convertBlock = [&](int ch) {
        block[ch]->ExecBlock(staging[ch].data(), temp[ch].data());
    };
    int32_t total = 0;
    while (frames >= inLen - fill[0]) {
        while (fill[0] < inLen) {
            const size_t at = static_cast<size_t>(fill[0]);
            staging[0][at] = src[0];
            staging[1][at] = src[1];
            src += 2;
            ++fill[0];
            --frames;
        }
        fill[1] = fill[0];
        if (workers && workers->threads() > 1)
            workers->Run(2, convertBlock);
        else
            for (int ch = 0; ch < 2; ++ch)
                convertBlock(ch);
        for (size_t i = 0; i < static_cast<size_t>(hop); ++i) {
            *dst++ = temp[0][i];
            *dst++ = temp[1][i];
        }
        total += hop;
        for (int ch = 0; ch < 2; ++ch) {
            for (int32_t k = 0; k < h; ++k)
                staging[ch][static_cast<size_t>(k)] =
                    staging[ch][static_cast<size_t>(h) + static_cast<size_t>(k)];
            fill[ch] = h;
        }
    }
    while (frames > 0) {
        staging[0][static_cast<size_t>(fill[0]++)] = src[0];
        staging[1][static_cast<size_t>(fill[1]++)] = src[1];
        src += 2;
        --frames;
    }
    return total;
}

} // namespace qmx

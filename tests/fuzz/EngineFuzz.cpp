// The engine's four exports driven by arbitrary call sequences and parameters. Each code is the
// one the state calls for, and every call writes only inside the destination that the documented
// headroom sizes (the destination is allocated to exactly that size, so a write past it is a
// sanitizer report). Rates are limited to 0 ... 131071 Hz and the common audio rates, one call
// to at most 16384 frames, and jobs to those that run quickly; the engine's own bound (-5) keeps
// each job's memory in check.
#include <cmath>
#include <vector>

#include "FuzzSupport.h"
#include "qmx.h"

namespace {

constexpr int32_t kCommonRates[] = {8000,  11025, 16000, 22050,  31250,  32000,  44100,
                                    48000, 88200, 96000, 176400, 192000, 384000, 1};

class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    uint32_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint32_t Word(int bytes) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | Byte();
        return v;
    }
    int32_t Rate() {
        const uint32_t v = Word(3);
        if ((v & 0x800000) != 0)
            return kCommonRates[v % (sizeof kCommonRates / sizeof kCommonRates[0])];
        if ((v & 0x7F0000) == 0x7F0000) return -static_cast<int32_t>(v & 0xFFFF); // refused
        return static_cast<int32_t>(v & 0x1FFFF);
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// What the caller knows of the job, from the codes it was given.
struct Model {
    bool configured = false;
    bool running = false;
    bool discarded = false; // a setting during the job threw its converters away
    int32_t inRate = 0, outRate = 0;
    bool stereo = false;
    int quality = 4;
    int32_t jobIn = 0, jobOut = 0; // the running job's rates
    bool jobStereo = false;
    int32_t headroom = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    Model m;
    // The job is process-wide and outlives an input: end whatever an earlier input left
    // running, and give a job configured before a known setting, so the model is exact.
    static bool configuredBefore = false;
    QMX_End();
    if (configuredBefore) {
        FUZZ_CHECK(QMX_Setting(44100, 31250, 0, 4) == 0);
        m.configured = true;
        m.inRate = 44100;
        m.outRate = 31250;
    }

    std::vector<int16_t> src;
    std::vector<int16_t> dst;
    for (int calls = 0; calls < 64 && !in.empty(); ++calls) {
        switch (in.Byte() % 4) {
        case 0: {
            const int32_t ir = in.Rate();
            const int32_t orate = in.Rate();
            const auto stereo = static_cast<uint8_t>(in.Byte());
            const auto quality = static_cast<uint8_t>(in.Byte() % 8);
            const int32_t r = QMX_Setting(ir, orate, stereo, quality);
            const bool valid = ir > 0 && orate > 0 && quality >= 2 && quality <= 5;
            if (!valid) {
                FUZZ_CHECK(r == -1);
                break;
            }
            FUZZ_CHECK(r == 0 || r == -8);
            if (r != 0) break;
            m.configured = configuredBefore = true;
            m.inRate = ir;
            m.outRate = orate;
            m.stereo = stereo != 0;
            m.quality = quality;
            if (m.running) m.discarded = true;
            break;
        }
        case 1: {
            // A job whose calls would take long (see ConversionCost) is not started.
            if (m.configured && !m.running &&
                fuzz::ConversionCost(m.quality, m.inRate, m.outRate, 16384) > fuzz::kWorkBudget)
                break;
            const int32_t r = QMX_Begin();
            if (!m.configured) {
                FUZZ_CHECK(r == -2);
            } else if (m.running) {
                FUZZ_CHECK(r == -3);
            } else if (r == -5 || r == -8) {
                // too large for the engine's bound, or no memory: nothing started
            } else {
                FUZZ_CHECK(r >= 0);
                m.running = true;
                m.discarded = false;
                m.headroom = r;
                m.jobIn = m.inRate;
                m.jobOut = m.outRate;
                m.jobStereo = m.stereo;
            }
            break;
        }
        case 2: {
            const uint32_t flags = in.Byte();
            int32_t frames = static_cast<int32_t>(in.Word(2) % 16385);
            if ((flags & 0x10) != 0) frames = -frames - 1; // refused with -7
            const bool nullSrc = (flags & 0x20) != 0 && frames != 0;
            const bool nullDst = (flags & 0x40) != 0;
            const int channels = m.jobStereo ? 2 : 1;
            int64_t bound = 0;
            if (m.running && !m.discarded && frames >= 0) {
                // Keep the destination within 4 Mi samples: fewer frames when the rates go up.
                const double ratio = static_cast<double>(m.jobOut) / m.jobIn;
                const double most = (double{1 << 21} - m.headroom - 2) / ratio;
                if (most < 0)
                    frames = 0;
                else if (frames > most)
                    frames = static_cast<int32_t>(most);
                bound = static_cast<int64_t>(std::floor(frames * ratio)) + m.headroom + 1;
            }
            src.assign(static_cast<size_t>(frames > 0 ? frames : 0) * channels, 0);
            for (size_t i = 0; i < src.size(); ++i)
                src[i] = static_cast<int16_t>(in.Word(2));
            dst.assign(static_cast<size_t>(bound) * channels, 0);
            const int32_t r = QMX_Exec(nullSrc ? nullptr : src.data(),
                                       nullDst || dst.empty() ? nullptr : dst.data(), frames);
            if (!m.configured) {
                FUZZ_CHECK(r == -2);
            } else if (!m.running) {
                FUZZ_CHECK(r == -4);
            } else if (m.discarded) {
                FUZZ_CHECK(r == -6);
            } else if (frames < 0 || nullSrc || nullDst || dst.empty()) {
                FUZZ_CHECK(r == -7);
            } else {
                FUZZ_CHECK(r == -8 || (r >= 0 && r <= bound));
            }
            break;
        }
        case 3: {
            const int32_t r = QMX_End();
            if (!m.configured) {
                FUZZ_CHECK(r == -2);
            } else if (!m.running) {
                FUZZ_CHECK(r == -4);
            } else {
                FUZZ_CHECK(r == 0);
                m.running = false;
                m.discarded = false;
            }
            break;
        }
        }
    }
    QMX_End();
    return 0;
}

// The engine's one conversion job: its settings, its converters (one per channel) and, for the
// block converter, each channel's staging buffer. The exported functions drive one instance.
#pragma once

#include "RsDCT.h"
#include "RsSinc.h"
#include "Workers.h"
#include "qmx.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace qmx {

// Quality codes.
constexpr uint8_t kLight = 2;
constexpr uint8_t kMedium = 3;
constexpr uint8_t kHeavy = 4;
constexpr uint8_t kUltraHeavy = 5;

constexpr double kAttenuation = 60.0;

// Largest memory a job may need for its converters, tables and staging buffers, all channels.
constexpr uint64_t kMaxJobBytes = uint64_t{256} << 20;

// Memory that converters for this rate pair would hold (both channels when stereo), computed in
// 64 bits without building anything. Block mode counts buffers, the transform tables the two block
// lengths need and the staging buffers; the FIR modes count history, kernel and slope tables.
// Returns UINT64_MAX when a block length does not fit in 32 bits.
uint64_t JobBytes(int32_t inRate, int32_t outRate, bool stereo, bool blockMode,
                  int32_t filterLength);

class QmxJob {
  public:
    int32_t Setting(int32_t inRate, int32_t outRate, uint8_t stereo, uint8_t quality);
    int32_t Begin();
    int32_t Exec(const int16_t* src, int16_t* dst, int32_t frames);
    int32_t End();

    bool configured = false;
    bool running = false;
    double inRate = 0.0;
    double outRate = 0.0;
    bool stereo = false;
    bool blockMode = false;
    int32_t filterLength = 0;
    double attenuation = 0.0;
    std::unique_ptr<RsSinc> fir[2];
    std::unique_ptr<RsDCT> block[2];
    std::vector<int16_t> staging[2];
    int32_t fill[2] = {0, 0};
    std::unique_ptr<Workers> workers; // while a job runs
    int threads = 0;                  // threads a job uses; 0: JobThreads()

  private:
    // Buffers kept between calls, so a call allocates nothing once they have grown.
    std::vector<double> firIn_[2];
    std::vector<double> firOut_[2];
    std::vector<int16_t> blockOut_[2];

    int Channels() const { return stereo ? 2 : 1; }
    void FreeConverters();
    int32_t ExecFir(const int16_t* src, int16_t* dst, int32_t frames);
    int32_t ExecBlockMono(const int16_t* src, int16_t* dst, int32_t count);
    int32_t ExecBlockStereo(const int16_t* src, int16_t* dst, int32_t frames);
};

} // namespace qmx

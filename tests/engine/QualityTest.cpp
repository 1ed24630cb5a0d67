// What each quality does to a tone in the pass band and one above the device's Nyquist frequency
// at 44100 Hz -> 31250 Hz. Prints the figures; "Heavy" must keep 1 kHz within 0.1 dB and push
// 18 kHz at least 55 dB down.
#include "QmxLibrary.h"
#include "Signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

// Level of the converted tone relative to its input, in dB, measured as RMS over the output past
// the start-up transient and short of the end.
double LevelDb(QmxLibrary& lib, uint8_t quality, double frequency) {
    const double amplitude = 16000.0;
    const std::vector<int16_t> in = Sine(22050, frequency, 44100.0, amplitude);
    const std::vector<int16_t> out = lib.Convert(44100, 31250, false, quality, in, {4096});
    const size_t skip = 1000;
    EXPECT_GT(out.size(), 3 * skip);
    double sum = 0.0;
    for (size_t i = skip; i + skip < out.size(); ++i)
        sum += double(out[i]) * double(out[i]);
    const double rms = std::sqrt(sum / double(out.size() - 2 * skip));
    return 20.0 * std::log10(rms / (amplitude / std::sqrt(2.0)));
}

TEST(EngineQuality, PassAndStopBandAt44100To31250) {
    QmxLibrary lib;
    const char* names[] = {"", "", "Light", "Medium", "Heavy", "Ultra Heavy"};
    for (uint8_t q = 2; q <= 5; ++q) {
        const double pass = LevelDb(lib, q, 1000.0);
        const double stop = LevelDb(lib, q, 18000.0);
        if (std::isinf(stop))
            std::printf(
                "[ quality  ] %-11s 1 kHz %+.4f dB, 18 kHz below one step (all samples 0)\n",
                names[q], pass);
        else
            std::printf("[ quality  ] %-11s 1 kHz %+.4f dB, 18 kHz %+.1f dB\n", names[q], pass,
                        stop);
        if (q == 4) {
            EXPECT_LT(std::fabs(pass), 0.1);
            EXPECT_LT(stop, -55.0);
        }
    }
}

} // namespace

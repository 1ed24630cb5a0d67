// Test signals: reproducible noise and sines as 16-bit samples.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

inline std::vector<int16_t> Noise(size_t samples, uint32_t seed, int amplitude = 32767) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> dist(-amplitude, amplitude);
    std::vector<int16_t> s(samples);
    for (auto& v : s)
        v = static_cast<int16_t>(dist(gen));
    return s;
}

inline std::vector<int16_t> Sine(size_t samples, double frequency, double rate, double amplitude) {
    std::vector<int16_t> s(samples);
    for (size_t i = 0; i < samples; ++i)
        s[i] = static_cast<int16_t>(std::lround(
            amplitude * std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / rate)));
    return s;
}

// Reproducible values in -1000 ... 1000, for the transforms.
inline std::vector<double> RandomVector(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> d(-1000.0, 1000.0);
    std::vector<double> v(n);
    for (auto& x : v)
        x = d(gen);
    return v;
}

// Interleaves two channels of equal length.
inline std::vector<int16_t> Interleave(const std::vector<int16_t>& l,
                                       const std::vector<int16_t>& r) {
    std::vector<int16_t> s;
    for (size_t i = 0; i < l.size(); ++i) {
        s.push_back(l[i]);
        s.push_back(r[i]);
    }
    return s;
}

#include "Signal.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>

namespace bench {

std::vector<int16_t> MakeSignal(int32_t rate, size_t frames, int channels, uint32_t seed) {
    const double pi = 3.141592653589793;
    const double tones[] = {220.0, 1000.0, 5000.0, 12000.0};
    const double gains[] = {3000.0, 3000.0, 2000.0, 1500.0};
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> noise(-8000, 8000);
    std::vector<int16_t> out(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (int c = 0; c < channels; ++c) {
            double v = noise(gen);
            for (size_t k = 0; k < 4; ++k)
                v += gains[k] * std::sin(2.0 * pi * tones[k] * (1.0 + 0.001 * c) * t);
            v = std::max(-32767.0, std::min(32767.0, v));
            out[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                static_cast<int16_t>(std::lround(v));
        }
    }
    return out;
}

namespace {
void Put16(std::ofstream& f, uint32_t v) {
    const char b[2] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff)};
    f.write(b, 2);
}
void Put32(std::ofstream& f, uint32_t v) {
    Put16(f, v & 0xffff);
    Put16(f, v >> 16);
}
} // namespace

bool WriteWav(const std::string& path, const std::vector<int16_t>& interleaved, int32_t rate,
              int channels) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    const auto bytes = static_cast<uint32_t>(interleaved.size() * 2);
    const auto ch = static_cast<uint32_t>(channels);
    const auto r = static_cast<uint32_t>(rate);
    f.write("RIFF", 4);
    Put32(f, 36 + bytes);
    f.write("WAVEfmt ", 8);
    Put32(f, 16);
    Put16(f, 1); // PCM
    Put16(f, ch);
    Put32(f, r);
    Put32(f, r * ch * 2);
    Put16(f, ch * 2);
    Put16(f, 16);
    f.write("data", 4);
    Put32(f, bytes);
    std::vector<char> raw(interleaved.size() * 2);
    for (size_t i = 0; i < interleaved.size(); ++i) {
        const auto v = static_cast<uint16_t>(interleaved[i]);
        raw[2 * i] = static_cast<char>(v & 0xff);
        raw[2 * i + 1] = static_cast<char>(v >> 8);
    }
    f.write(raw.data(), static_cast<std::streamsize>(raw.size()));
    return static_cast<bool>(f);
}

} // namespace bench

#include "FuzzSupport.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <system_error>

#include <unistd.h>

namespace fuzz {

const std::string& ScratchDir() {
    static const std::string dir = [] {
        namespace fs = std::filesystem;
        std::error_code ec;
        const fs::path base =
            fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string templ = (base / "brelka-fuzz-XXXXXX").string();
        if (mkdtemp(templ.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        return templ;
    }();
    return dir;
}

std::string ScratchFile(const std::string& name) {
    return ScratchDir() + "/" + name;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::perror(path.c_str());
        std::abort();
    }
    if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> WithPrefix(uint8_t selector, const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    const int kind = selector % 4;
    if (kind != 0) {
        const auto formSize = static_cast<uint32_t>(size + 4);
        const bool wav = kind == 1;
        const char* form = wav ? "WAVE" : kind == 2 ? "AIFF" : "AIFC";
        out.insert(out.end(), wav ? "RIFF" : "FORM", (wav ? "RIFF" : "FORM") + 4);
        for (int i = 0; i < 4; ++i) {
            const int shift = wav ? 8 * i : 24 - 8 * i;
            out.push_back(static_cast<uint8_t>(formSize >> shift));
        }
        out.insert(out.end(), form, form + 4);
    }
    out.insert(out.end(), data, data + size);
    return out;
}

double ConversionCost(int quality, double inRate, double outRate, double frames) {
    if (!(inRate >= 1.0) || !(outRate >= 1.0)) return 0.0;
    const double outputs = frames * outRate / inRate;
    if (quality == 1) return 4.0 * outputs;
    if (quality >= 2 && quality <= 4) {
        const double divisor = quality == 2 ? 4.0 : quality == 3 ? 2.0 : 1.0;
        const double taps = 182.0 * std::max(1.0, inRate / outRate) / divisor;
        return taps * 100.0 * 100.0 + taps * outputs;
    }
    if (quality == 5) {
        const auto in = static_cast<int64_t>(inRate);
        const auto out = static_cast<int64_t>(outRate);
        const int64_t g = std::gcd(in, out);
        const double inLen = 2.0 * static_cast<double>(in / g);
        const double outLen = 2.0 * static_cast<double>(out / g);
        // The transforms are n log n, long prime lengths padded to about twice their size.
        const double perBlock = 40.0 * (inLen + outLen) * std::log2(inLen + outLen + 2.0);
        return (frames / std::max(1.0, inLen / 2) + 1.0) * perBlock + 4.0 * (inLen + outLen);
    }
    return 0.0;
}

void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzz

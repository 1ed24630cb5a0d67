#include "RsDCT.h"

#include "SampleLimit.h"

#include <cmath>
#include <cstddef>

int32_t RsDCT::Gcd(int32_t a, int32_t b) {
    // Repeated subtraction never ends for a negative argument.
    if (a <= 0 || b <= 0) return 0;
    while (a != b) {
        if (a > b)
            a -= b;
        else
            b -= a;
    }
    return a;
}

void RsDCT::Setup(int32_t inRate, int32_t outRate) {
    const int32_t g = Gcd(inRate, outRate);
    if (g <= 0) { // no block lengths exist for a rate of 0 or less
        inLen = outLen = bufLen = 0;
        work.clear();
        spec.clear();
        return;
    }
    inLen = (inRate / g) * 2;
    outLen = (outRate / g) * 2;
    bufLen = outLen < inLen ? inLen : outLen;
    work.assign(static_cast<size_t>(bufLen), 0.0);
    spec.assign(static_cast<size_t>(bufLen), 0.0);
}

void RsDCT::ExecBlock(const int16_t* in, int16_t* out) {
    for (int32_t i = 0; i < bufLen; ++i) {
        work[static_cast<size_t>(i)] = i < inLen ? static_cast<double>(in[i]) : 0.0;
        spec[static_cast<size_t>(i)] = 0.0;
    }
    dct.DCT2(work.data(), spec.data(), inLen);
    dct.DCT3(spec.data(), work.data(), outLen);
    const double scale = std::sqrt(static_cast<double>(outLen) / static_cast<double>(inLen));
    const int64_t first = outLen / 4;
    const int64_t end = 3 * int64_t{outLen} / 4;
    for (int64_t i = first; i < end; ++i)
        *out++ = LimitSample(work[static_cast<size_t>(i)] * scale);
}

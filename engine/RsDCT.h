// One channel of rate conversion between two integer rates in the cosine domain: each block of
// inLen input samples goes through a DCT-II, its spectrum is cut or zero-extended to outLen
// coefficients, and a DCT-III brings it back; the central half of each block is kept.
#pragma once

#include "WADCT.h"

#include <cstdint>
#include <vector>

class RsDCT {
  public:
    RsDCT() = default;
    RsDCT(const RsDCT&) = delete;
    RsDCT& operator=(const RsDCT&) = delete;

    // Both rates positive. inLen = 2 * inRate / g, outLen = 2 * outRate / g, g their common
    // divisor.
    void Setup(int32_t inRate, int32_t outRate);
    // Converts one block: inLen samples in, outLen / 2 samples out.
    void ExecBlock(const int16_t* in, int16_t* out);

    // Greatest common divisor by repeated subtraction; 0 when either argument is 0 or negative.
    static int32_t Gcd(int32_t a, int32_t b);

    int32_t inLen = 0;
    int32_t outLen = 0;
    int32_t bufLen = 0;
    std::vector<double> work; // time domain: the block going in, the converted block coming out
    std::vector<double> spec; // coefficients between the two transforms
    WADCT dct;
};

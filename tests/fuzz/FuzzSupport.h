// Shared pieces of the fuzz targets: a scratch folder for the files a target writes, the
// first input byte choosing a header prefix, and a check that stops the run loudly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// A folder of this process (on a memory file system when there is one), made on first use and
// left for the system to clear; every target writes its few files there.
const std::string& ScratchDir();
std::string ScratchFile(const std::string& name);

void WriteFile(const std::string& path, const uint8_t* data, size_t size);
bool Exists(const std::string& path);
// Names in a folder, sorted.
std::vector<std::string> Names(const std::string& folder);

// The input's first byte picks how the rest becomes a file: 0 as it is, 1 behind
// "RIFF" <size> "WAVE", 2 behind "FORM" <size> "AIFF", 3 behind "FORM" <size> "AIFC" (so the
// fuzzer need not find the magic words to reach the chunk walks). Other values wrap around.
std::vector<uint8_t> WithPrefix(uint8_t selector, const uint8_t* data, size_t size);

// Rough count of multiply-adds (and, for the FIR kernels, of Bessel terms while setting up) that
// converting `frames` input frames from inRate to outRate takes at a quality, 1 Simple ...
// 5 Ultra Heavy. The targets skip work above kWorkBudget so that each input runs in well under a
// second: the block converter's odd transform lengths are direct sums (n x n), and long FIR
// kernels take long to build, so some rate pairs are slow by design.
double ConversionCost(int quality, double inRate, double outRate, double frames);
constexpr double kWorkBudget = 2e8;

[[noreturn]] void Fail(const char* what, const char* file, int line);

} // namespace fuzz

// Aborts (so libFuzzer saves the input) when a property does not hold.
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) ::fuzz::Fail(#cond, __FILE__, __LINE__);                                      \
    } while (0)

// The engine library through its four exports, loaded at run time: codes and states, the refusals
// that protect callers, identity with the reference converters, and what the library exports.
#include "AudioFile.h"
#include "QmxLibrary.h"
#include "Reference.h"
#include "Signals.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <set>
#include <sstream>

namespace {

TEST(EngineExports, FreshLoadIsUnconfigured) {
    {
        QmxLibrary lib;
        EXPECT_EQ(lib.Begin(), -2);
        EXPECT_EQ(lib.End(), -2);
        int16_t in[4] = {1, 2, 3, 4}, out[8] = {};
        EXPECT_EQ(lib.Exec(in, out, 4), -2);
        ASSERT_EQ(lib.Setting(44100, 31250, 0, 4), 0);
        ASSERT_EQ(lib.Begin(), 128);
    }
    // Unloading forgets the job: the next load starts unconfigured again.
    QmxLibrary lib;
    EXPECT_EQ(lib.Begin(), -2);
}

TEST(EngineExports, QualityCodesAndHeadroom) {
    QmxLibrary lib;
    for (uint8_t q : std::initializer_list<uint8_t>{0, 1, 6, 255})
        EXPECT_EQ(lib.Setting(44100, 31250, 0, q), -1) << int(q);
    EXPECT_EQ(lib.Begin(), -2); // a refused setting does not configure
    const std::pair<uint8_t, int32_t> expected[] = {{2, 32}, {3, 64}, {4, 128}, {5, 625}};
    for (const auto& [q, headroom] : expected) {
        ASSERT_EQ(lib.Setting(44100, 31250, 0, q), 0);
        EXPECT_EQ(lib.Begin(), headroom) << int(q);
        EXPECT_EQ(lib.Begin(), -3);
        EXPECT_EQ(lib.End(), 0);
        EXPECT_EQ(lib.End(), -4);
    }
    ASSERT_EQ(lib.Setting(31250, 44100, 1, 5), 0);
    EXPECT_EQ(lib.Begin(), 882);
    EXPECT_EQ(lib.End(), 0);
}

TEST(EngineExports, BeginAfterEndStartsAfresh) {
    QmxLibrary lib;
    const std::vector<int16_t> in = Noise(6000, 4);
    for (uint8_t q : std::initializer_list<uint8_t>{3, 5}) {
        const std::vector<int16_t> first = lib.Convert(48000, 31250, false, q, in, {4096});
        // Same settings again, without a new setting call.
        ASSERT_GE(lib.Begin(), 0);
        std::vector<int16_t> out(8000);
        const int32_t n1 = lib.Exec(in.data(), out.data(), 4096);
        const int32_t n2 = lib.Exec(in.data() + 4096, out.data() + n1, 6000 - 4096);
        ASSERT_EQ(lib.End(), 0);
        out.resize(static_cast<size_t>(n1 + n2));
        EXPECT_EQ(out, first) << int(q);
    }
}

TEST(EngineExports, ExecOutsideARunningJobWritesNothing) {
    QmxLibrary lib;
    const std::vector<int16_t> in = Noise(4096, 5);
    std::vector<int16_t> out(8192, 77);
    ASSERT_EQ(lib.Setting(44100, 31250, 0, 4), 0);
    EXPECT_EQ(lib.Exec(in.data(), out.data(), 4096), -4);
    ASSERT_EQ(lib.Begin(), 128);
    ASSERT_GT(lib.Exec(in.data(), out.data(), 4096), 0);
    ASSERT_EQ(lib.End(), 0);
    std::fill(out.begin(), out.end(), int16_t{77});
    EXPECT_EQ(lib.Exec(in.data(), out.data(), 4096), -4);
    EXPECT_EQ(out, std::vector<int16_t>(8192, 77));
}

TEST(EngineExports, SettingDuringAJobDiscardsItsConverters) {
    QmxLibrary lib;
    const std::vector<int16_t> in = Noise(4096, 6);
    for (uint8_t q : std::initializer_list<uint8_t>{2, 5}) {
        std::vector<int16_t> out(8192, 77);
        ASSERT_EQ(lib.Setting(44100, 31250, 1, q), 0);
        ASSERT_GE(lib.Begin(), 0);
        ASSERT_EQ(lib.Setting(22050, 31250, 0, 5), 0); // accepted, but the job is now empty
        EXPECT_EQ(lib.Exec(in.data(), out.data(), 2048), -6);
        EXPECT_EQ(out, std::vector<int16_t>(8192, 77));
        EXPECT_EQ(lib.Begin(), -3); // still running until ended
        EXPECT_EQ(lib.End(), 0);
        EXPECT_EQ(lib.Begin(), 625); // the new settings
        EXPECT_EQ(lib.End(), 0);
    }
}

TEST(EngineExports, RefusedSettingChangesNothing) {
    QmxLibrary lib;
    const std::vector<int16_t> in = Noise(8192, 7);
    for (uint8_t q : std::initializer_list<uint8_t>{4, 5}) {
        const std::vector<int16_t> expected = lib.Convert(44100, 31250, false, q, in, {4096});
        ASSERT_EQ(lib.Setting(44100, 31250, 0, q), 0);
        ASSERT_GE(lib.Begin(), 0);
        std::vector<int16_t> out(8192);
        const int32_t n1 = lib.Exec(in.data(), out.data(), 4096);
        // Refused in the middle of the job: bad rates, unknown quality.
        EXPECT_EQ(lib.Setting(0, 31250, 1, 4), -1);
        EXPECT_EQ(lib.Setting(44100, -31250, 1, 2), -1);
        EXPECT_EQ(lib.Setting(96000, 8000, 1, 9), -1);
        const int32_t n2 = lib.Exec(in.data() + 4096, out.data() + n1, 4096);
        ASSERT_EQ(lib.End(), 0);
        out.resize(static_cast<size_t>(n1 + n2));
        EXPECT_EQ(out, expected) << int(q);
        EXPECT_EQ(lib.Begin(), q == 4 ? 128 : 625); // settings kept as well
        EXPECT_EQ(lib.End(), 0);
    }
}

TEST(EngineExports, BadRatesBeforeAnySettingLeaveItUnconfigured) {
    QmxLibrary lib;
    EXPECT_EQ(lib.Setting(0, 0, 0, 5), -1);
    EXPECT_EQ(lib.Setting(-44100, 31250, 0, 2), -1);
    EXPECT_EQ(lib.Begin(), -2);
}

TEST(EngineExports, OversizedRatePairsAreRefusedAtBegin) {
    QmxLibrary lib;
    struct Case {
        int32_t in, out;
        bool stereo;
        uint8_t q;
    };
    // Coprime rates make block lengths of twice the rates; extreme ratios make huge FIR kernels.
    const Case big[] = {{2147483647, 31250, false, 5}, {2147483647, 2147483646, true, 5},
                        {1999999, 31250, true, 5},     {44100, 1, false, 4},
                        {2147483647, 1, false, 2},     {1000000, 1000, true, 4}};
    for (const Case& c : big) {
        ASSERT_EQ(lib.Setting(c.in, c.out, c.stereo, c.q), 0);
        EXPECT_EQ(lib.Begin(), -5) << c.in << "->" << c.out;
        EXPECT_EQ(lib.End(), -4); // nothing started
    }
    // Coprime but moderate rates, and steep but moderate ratios, still start.
    ASSERT_EQ(lib.Setting(44101, 31250, true, 5), 0);
    EXPECT_EQ(lib.Begin(), 31250);
    EXPECT_EQ(lib.End(), 0);
    ASSERT_EQ(lib.Setting(192000, 8000, false, 2), 0);
    EXPECT_GT(lib.Begin(), 500);
    EXPECT_EQ(lib.End(), 0);
}

TEST(EngineExports, BadExecArgumentsAreRefused) {
    QmxLibrary lib;
    ASSERT_EQ(lib.Setting(44100, 31250, 0, 2), 0);
    ASSERT_EQ(lib.Begin(), 32);
    int16_t in[8] = {}, out[16] = {};
    EXPECT_EQ(lib.Exec(in, out, -1), -7);
    EXPECT_EQ(lib.Exec(nullptr, out, 8), -7);
    EXPECT_EQ(lib.Exec(in, nullptr, 8), -7);
    EXPECT_EQ(lib.End(), 0);
    // An output count beyond 32 bits cannot be returned.
    ASSERT_EQ(lib.Setting(1, 2000000000, 0, 2), 0);
    ASSERT_GE(lib.Begin(), 0);
    EXPECT_EQ(lib.Exec(in, out, 8), -7);
    EXPECT_EQ(lib.End(), 0);
}

TEST(EngineExports, FirOutputIsLimitedAndTruncated) {
    QmxLibrary lib;
    // Full-scale constants overshoot the limits slightly through the kernel.
    for (int16_t v : {int16_t{-32768}, int16_t{32767}}) {
        const std::vector<int16_t> out =
            lib.Convert(31250, 31250, false, 4, std::vector<int16_t>(2000, v), {4096});
        for (int16_t o : out)
            ASSERT_NE(o, -32768);
        EXPECT_EQ(out.back(), v < 0 ? -32767 : 32767);
    }
}

TEST(EngineExports, StereoIsInterleavedWithEqualChannels) {
    QmxLibrary lib;
    const std::vector<int16_t> l = Noise(9000, 10), r = Sine(9000, 440.0, 48000.0, 20000.0);
    for (uint8_t q : std::initializer_list<uint8_t>{2, 5}) {
        const std::vector<int16_t> ml = lib.Convert(48000, 31250, false, q, l, {4096});
        const std::vector<int16_t> mr = lib.Convert(48000, 31250, false, q, r, {4096});
        const std::vector<int16_t> st =
            lib.Convert(48000, 31250, true, q, Interleave(l, r), {4096});
        ASSERT_EQ(ml.size(), mr.size());
        EXPECT_EQ(st, Interleave(ml, mr)) << int(q);
    }
}

// Library output against the plain reference converters: the FIR qualities sample for sample.
// The block converter computes its long odd-length transforms through an FFT where the reference
// sums directly, so its samples may round differently: each within one step of the reference,
// and almost all identical.
struct Pair {
    int32_t in, out;
};

void CompareWithReference(const Pair& p, uint8_t q, bool stereo,
                          const std::vector<int32_t>& sizes) {
    QmxLibrary lib;
    const size_t frames = 12000;
    const std::vector<int16_t> noise = Noise(frames, static_cast<uint32_t>(p.in + q));
    const std::vector<int16_t> sine = Sine(frames, 997.0, p.in, 30000.0);
    const std::vector<int16_t> signal = stereo ? Interleave(noise, sine) : noise;
    const std::vector<int16_t> a = lib.Convert(p.in, p.out, stereo, q, signal, sizes);
    const std::vector<int16_t> b = ref::Convert(p.in, p.out, stereo, q, signal, sizes);
    ASSERT_EQ(a.size(), b.size()) << p.in << "->" << p.out << " q" << int(q);
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(a[i], b[i]) << p.in << "->" << p.out << " q" << int(q) << " at " << i;
    if (!stereo) {
        const std::vector<int16_t> c = lib.Convert(p.in, p.out, false, q, sine, sizes);
        EXPECT_EQ(c, ref::Convert(p.in, p.out, false, q, sine, sizes))
            << "sine " << p.in << "->" << p.out << " q" << int(q);
    }
}

const Pair kPairs[] = {
    {44100, 31250}, {48000, 31250}, {96000, 31250}, {22050, 31250}, {31250, 44100}};
const std::vector<int32_t> kUneven = {1, 0, 7, 1000, 4095, 333, 2, 5000, 64};
const Pair kFirPairs[] = {{44100, 31250}, {48000, 31250}, {96000, 31250}, {22050, 31250},
                          {32000, 31250}, {88200, 31250}, {31250, 44100}};

TEST(EngineVersusReference, FirInBlocksOf4096) {
    for (const Pair& p : kFirPairs)
        for (uint8_t q : std::initializer_list<uint8_t>{2, 3, 4})
            CompareWithReference(p, q, false, {4096});
}

TEST(EngineVersusReference, FirInUnevenBlocks) {
    for (const Pair& p : kFirPairs)
        for (uint8_t q : std::initializer_list<uint8_t>{2, 3, 4})
            CompareWithReference(p, q, false, kUneven);
}

TEST(EngineVersusReference, FirStereo) {
    CompareWithReference({44100, 31250}, 4, true, kUneven);
    CompareWithReference({31250, 44100}, 2, true, {4096});
}

// How closely block-converter output follows the reference over many runs.
//
// When both rates divided by their common divisor g are odd and the rate goes up, the first
// output sample of every block sits exactly where an input sample sits, and its exact value is
// that input sample: an integer. Both computations land a hair to either side of it, and
// truncation toward zero turns a hair below into one step less, so these "ties" (one sample in
// outRate / g) agree only about half the time. They are counted apart.
struct Agreement {
    struct Count {
        size_t compared = 0;
        size_t same = 0;
    };
    Count other, ties;
    int worst = 0; // largest difference of one sample

    static bool HasTies(const Pair& p) {
        const int32_t g = std::gcd(p.in, p.out);
        return p.out > p.in && (p.in / g) % 2 == 1 && (p.out / g) % 2 == 1;
    }

    void Add(const Pair& p, bool stereo, const std::vector<int16_t>& signal,
             const std::vector<int32_t>& sizes) {
        QmxLibrary lib;
        const std::vector<int16_t> a = lib.Convert(p.in, p.out, stereo, 5, signal, sizes);
        const std::vector<int16_t> b = ref::Convert(p.in, p.out, stereo, 5, signal, sizes);
        ASSERT_EQ(a.size(), b.size()) << p.in << "->" << p.out;
        ASSERT_GT(a.size(), 0u);
        const size_t channels = stereo ? 2 : 1;
        const auto hop = static_cast<size_t>(p.out / std::gcd(p.in, p.out));
        for (size_t i = 0; i < a.size(); ++i) {
            const int d = std::abs(a[i] - b[i]);
            EXPECT_LE(d, 1) << p.in << "->" << p.out << (stereo ? " stereo" : " mono") << " at "
                            << i << ": " << a[i] << " vs " << b[i];
            worst = std::max(worst, d);
            Count& c = HasTies(p) && (i / channels) % hop == 0 ? ties : other;
            ++c.compared;
            c.same += d == 0;
        }
    }

    // Every sample within one step, and at least 99.99 % of those that are no ties identical.
    void Check(const char* what) const {
        const double share =
            other.compared ? static_cast<double>(other.same) / static_cast<double>(other.compared)
                           : 0.0;
        std::printf("[ share    ] %s: %zu of %zu samples identical (%.5f %%), worst %d", what,
                    other.same, other.compared, 100.0 * share, worst);
        if (ties.compared) std::printf("; ties %zu of %zu", ties.same, ties.compared);
        std::printf("\n");
        EXPECT_LE(worst, 1) << what;
        EXPECT_GE(share, 0.9999) << what;
    }
};

// Input rates whose block lengths have long odd parts (441, 625 and 125), and back up.
const Pair kBlockPairs[] = {{44100, 31250}, {48000, 31250}, {96000, 31250}, {22050, 31250},
                            {32000, 31250}, {88200, 31250}, {31250, 44100}, {31250, 22050}};

void BlockConverterOnNoise(bool stereo) {
    Agreement agreement;
    for (const Pair& p : kBlockPairs) {
        const auto seed = static_cast<uint32_t>(p.in);
        const std::vector<int16_t> noise = Noise(6000, seed);
        const std::vector<int16_t> quiet = Noise(6000, seed + 1, 300);
        const std::vector<int16_t> sine = Sine(6000, 997.0, p.in, 30000.0);
        for (const std::vector<int32_t>& sizes : {std::vector<int32_t>{4096}, kUneven}) {
            if (stereo) {
                agreement.Add(p, true, Interleave(quiet, sine), sizes);
            } else {
                agreement.Add(p, false, noise, sizes);
                agreement.Add(p, false, sine, sizes);
            }
        }
    }
    agreement.Check(stereo ? "noise and sine, stereo" : "noise and sine, mono");
}

TEST(EngineVersusReference, BlockConverterOnNoiseMono) {
    BlockConverterOnNoise(false);
}

TEST(EngineVersusReference, BlockConverterOnNoiseStereo) {
    BlockConverterOnNoise(true);
}

// The first `frames` frames of a corpus file; mono files come as they are, stereo ones as their
// two channels or their left channel alone.
std::vector<int16_t> CorpusFrames(const std::string& name, size_t frames, bool stereo) {
    AudioFile f;
    if (f.openRead(testsupport::CorpusFile(name)) != 0) return {};
    const int channels = f.info().channels;
    if (channels < 1 || channels > 2) return {};
    const size_t n = std::min<size_t>(frames, f.info().frames);
    std::vector<int16_t> all(n * static_cast<size_t>(channels));
    if (f.readFrames(static_cast<int32_t>(n), all.data()) < 0) return {};
    if (channels == 1) return stereo ? Interleave(all, all) : all;
    if (stereo) return all;
    std::vector<int16_t> left(n);
    for (size_t i = 0; i < n; ++i)
        left[i] = all[2 * i];
    return left;
}

TEST(EngineVersusReference, BlockConverterOnMusicAndDrums) {
    struct Piece {
        const char* file;
        bool stereo;
    };
    const Piece pieces[] = {
        {"go-audio-wav/kick.wav", false},        {"go-audio-aiff/delivery.aiff", false},
        {"go-audio-aiff/subsynth.aif", false},   {"go-audio-wav/dirty-kick-24b441k.wav", false},
        {"go-audio-wav/kick-16b441k.wav", true}, {"go-audio-wav/bass.wav", true},
        {"go-audio-wav/flloop.wav", true},       {"go-audio-aiff/zipper.aiff", true}};
    Agreement agreement;
    size_t pair = 0;
    for (const Piece& piece : pieces) {
        const std::vector<int16_t> signal = CorpusFrames(piece.file, 10000, piece.stereo);
        ASSERT_FALSE(signal.empty()) << piece.file;
        // Each piece at two of the rate pairs, in calls of both kinds.
        for (int k = 0; k < 2; ++k, ++pair) {
            const Pair& p = kBlockPairs[pair % std::size(kBlockPairs)];
            agreement.Add(p, piece.stereo, signal, k == 0 ? std::vector<int32_t>{4096} : kUneven);
        }
    }
    agreement.Check("corpus music and drums");
}

#if !defined(_WIN32) // the export and import tables of qmx.dll are read by dll_tables.sh
TEST(EngineLibrary, ExportsExactlyTheFourFunctions) {
    const auto r =
        testsupport::Run("nm -D --defined-only " + testsupport::Quote(QmxLibrary::Path()));
    ASSERT_EQ(r.status, 0);
    std::set<std::string> names;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string address, kind, name;
        fields >> address >> kind >> name;
        if (!name.empty()) names.insert(name);
    }
    EXPECT_EQ(names, (std::set<std::string>{"QMX_Begin", "QMX_End", "QMX_Exec", "QMX_Setting"}));
}

TEST(EngineLibrary, NeedsNothingButTheRuntime) {
    const auto r = testsupport::Run("readelf -d " + testsupport::Quote(QmxLibrary::Path()));
    ASSERT_EQ(r.status, 0);
    const std::set<std::string> allowed = {"libstdc++.so.6", "libm.so.6", "libgcc_s.so.1",
                                           "libc.so.6", "ld-linux-x86-64.so.2"};
    std::istringstream lines(r.out);
    int needed = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("(NEEDED)") == std::string::npos) continue;
        const auto open = line.find('['), close = line.find(']');
        const std::string lib = line.substr(open + 1, close - open - 1);
        ++needed;
        if (lib.find("asan") != std::string::npos || lib.find("ubsan") != std::string::npos)
            continue; // sanitizer builds
        EXPECT_TRUE(allowed.count(lib)) << lib;
    }
    EXPECT_GT(needed, 0);
}
#endif

} // namespace

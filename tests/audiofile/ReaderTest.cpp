#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AudioFile.h"
#include "AudioFileTestUtil.h"
#include "TestSupport.h"

using namespace aftest;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

// An AudioFile opened for reading, closed at the end of the scope.
struct Reader {
    explicit Reader(const std::string& path) { f.openRead(path); }
    AudioFile* operator->() { return &f; }
    AudioFile f;
};

Bytes Le16Samples(const std::vector<int16_t>& s) {
    Bytes b;
    for (int16_t v : s)
        PutLe16(b, static_cast<uint16_t>(v));
    return b;
}
Bytes Be16Samples(const std::vector<int16_t>& s) {
    Bytes b;
    for (int16_t v : s)
        PutBe16(b, static_cast<uint16_t>(v));
    return b;
}

std::vector<int16_t> Ramp(size_t n, int step = 97) {
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<int16_t>(static_cast<int>(i) * step - 16000);
    return s;
}

bool Refused(const std::string& path) {
    AudioFile f;
    const int32_t opened = f.openRead(path);
    Reader r(path);
    int16_t buf[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    const bool known = opened == kAudioFileUnknown || opened == kAudioFileCannotOpen;
    return known && r->info().type == 0 && !r->isOpen() && r->seekFrame(0) == kAudioFileNotReady &&
           r->readFrames(1, buf) == kAudioFileNotReady;
}

class ReaderTest : public ::testing::Test {
  protected:
    std::string Put(const Bytes& bytes, const std::string& name = "t.bin") {
        const std::string p = dir.file(name);
        WriteBytes(p, bytes);
        return p;
    }
    TempDir dir;
};

TEST_F(ReaderTest, WavFieldsAndShortReads) {
    const auto samples = Ramp(1000);
    const auto path = Put(Wav({{"fmt ", WavFmt(1, 1, 22050, 16)}, {"data", Le16Samples(samples)}}));
    Reader r(path);
    ASSERT_EQ(r->info().type, kAudioFileWav);
    EXPECT_EQ(r->info().channels, 1);
    EXPECT_EQ(r->info().bitsPerSample, 16);
    EXPECT_EQ(r->info().frames, 1000u);
    EXPECT_EQ(r->info().dataStart, 44u);
    EXPECT_EQ(r->info().dataBytes, 2000u);
    EXPECT_EQ(r->info().loopStart, 0u);
    EXPECT_EQ(r->info().loopEnd, 1000u);
    EXPECT_EQ(r->info().sampleRate, Extended80::FromUInt32(22050));
    EXPECT_EQ(r->info().baseNote, 60);

    // 512 frames asked with 100 left: 100 read, the rest zero; then nothing but zeros.
    ASSERT_EQ(r->seekFrame(900), 0);
    std::vector<int16_t> buf(512, 7);
    ASSERT_EQ(r->readFrames(512, buf.data()), 100);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(buf[i], samples[900 + i]);
    for (int i = 100; i < 512; ++i)
        ASSERT_EQ(buf[i], 0);
    std::fill(buf.begin(), buf.end(), 7);
    EXPECT_EQ(r->readFrames(512, buf.data()), 0);
    EXPECT_EQ(std::count(buf.begin(), buf.end(), 0), 512);
}

TEST_F(ReaderTest, StereoReturnsSampleCounts) {
    const auto samples = Ramp(20);
    const auto path =
        Put(Aiff({{"COMM", AiffComm(2, 10, 16, 44100)}, {"SSND", AiffSsnd(Be16Samples(samples))}}));
    Reader r(path);
    ASSERT_EQ(r->info().type, kAudioFileAiff);
    EXPECT_EQ(r->info().dataBytes, 40u);
    ASSERT_EQ(r->seekFrame(3), 0);
    std::vector<int16_t> buf(8);
    ASSERT_EQ(r->readFrames(4, buf.data()), 8);
    EXPECT_EQ(buf, std::vector<int16_t>(samples.begin() + 6, samples.begin() + 14));
}

TEST_F(ReaderTest, EightBitConversion) {
    const Bytes bytes = {0x80, 0x00, 0xFF, 0x7F};
    Reader w(Put(Wav({{"fmt ", WavFmt(1, 1, 8000, 8)}, {"data", bytes}}), "a.wav"));
    Reader a(Put(Aiff({{"COMM", AiffComm(1, 4, 8, 8000)}, {"SSND", AiffSsnd(bytes)}}), "a.aif"));
    int16_t buf[4];
    ASSERT_EQ(w->seekFrame(0), 0);
    ASSERT_EQ(w->readFrames(4, buf), 4);
    EXPECT_EQ(std::vector<int16_t>(buf, buf + 4), (std::vector<int16_t>{0, -32768, 32512, -256}));
    ASSERT_EQ(a->seekFrame(0), 0);
    ASSERT_EQ(a->readFrames(4, buf), 4);
    EXPECT_EQ(std::vector<int16_t>(buf, buf + 4), (std::vector<int16_t>{-32768, 0, -256, 32512}));
}

// Chunks behind the sample data are never delivered as samples, also to a caller that reads on
// past the last frame; a partial frame at the end is not read either.
TEST_F(ReaderTest, ReadingStopsAtEndOfSampleData) {
    const auto samples = Ramp(10);
    Bytes data = Le16Samples(samples);
    data.push_back(0x55); // a stray odd byte inside the chunk
    const Bytes tail(64, 0x41);
    Reader w(Put(Wav({{"fmt ", WavFmt(1, 2, 8000, 16)}, {"data", data}, {"LIST", tail}}), "a.wav"));
    Reader a(Put(Aiff({{"COMM", AiffComm(2, 5, 16, 8000)},
                       {"SSND", AiffSsnd(Be16Samples(samples))},
                       {"ANNO", tail}}),
                 "a.aif"));
    for (AudioFile* f : {&w.f, &a.f}) {
        ASSERT_NE(f->info().type, 0);
        EXPECT_EQ(f->info().frames, 5u);
        ASSERT_EQ(f->seekFrame(0), 0);
        std::vector<int16_t> buf(200, 9);
        ASSERT_EQ(f->readFrames(100, buf.data()), 10);
        EXPECT_EQ(std::vector<int16_t>(buf.begin(), buf.begin() + 10), samples);
        EXPECT_EQ(std::count(buf.begin() + 10, buf.end(), 0), 190);
        EXPECT_EQ(f->readFrames(100, buf.data()), 0);
        // Without a seek the stream stands at the end of the chunk walk: nothing to read.
    }
    Reader fresh(dir.file("a.wav"));
    std::vector<int16_t> buf(16, 9);
    EXPECT_EQ(fresh->readFrames(8, buf.data()), 0);
}

struct SizeCase {
    int bits;
    Bytes wavSample; // one sample as stored in a WAV
    int16_t expected;
};

// Sizes 1..8 take one byte, 9..16 two, 17..24 three and 25..32 four; wider samples give their
// top 16 bits, truncated.
TEST_F(ReaderTest, SampleSizesDecodeTheirTopSixteenBits) {
    const std::vector<SizeCase> cases = {
        {4, {0x90}, 0x1000},
        {8, {0x01}, -32512},
        {12, {0x30, 0x81}, -32464},
        {16, {0x34, 0x12}, 0x1234},
        {20, {0xF0, 0xFF, 0x7F}, 0x7FFF},
        {24, {0xFF, 0x80, 0x01}, 0x0180},
        {24, {0x01, 0x00, 0x80}, -32768},
        {24, {0xFF, 0xFF, 0xFF}, -1},
        {32, {0xFF, 0xFF, 0x34, 0x12}, 0x1234},
        {32, {0x00, 0x00, 0x00, 0x80}, -32768},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE("bits " + std::to_string(c.bits));
        // Three frames of stereo: the sample under test in the left channel of frame 1.
        const size_t size = c.wavSample.size();
        // In a WAV an 8-bit silence is 0x80, and its samples are unsigned where AIFF's are signed.
        const uint8_t wavZero = size == 1 ? 0x80 : 0;
        Bytes wavData(6 * size, wavZero);
        Bytes aiffData(6 * size, 0);
        std::copy(c.wavSample.begin(), c.wavSample.end(), wavData.begin() + 2 * size);
        std::copy(c.wavSample.rbegin(), c.wavSample.rend(), aiffData.begin() + 2 * size);
        if (size == 1) aiffData[2] = static_cast<uint8_t>(c.wavSample[0] ^ 0x80);
        const auto wav = Put(
            Wav({{"fmt ", WavFmt(1, 2, 48000, static_cast<uint32_t>(c.bits))}, {"data", wavData}}),
            "s.wav");
        const auto aif = Put(Aiff({{"COMM", AiffComm(2, 3, static_cast<uint32_t>(c.bits), 48000)},
                                   {"SSND", AiffSsnd(aiffData)}}),
                             "s.aif");
        for (const auto& path : {wav, aif}) {
            Reader r(path);
            ASSERT_NE(r->info().type, 0) << path;
            EXPECT_EQ(r->info().bitsPerSample, c.bits);
            EXPECT_EQ(r->bytesPerSample(), static_cast<int32_t>(size));
            EXPECT_EQ(r->info().frames, 3u);
            ASSERT_EQ(r->seekFrame(1), 0);
            int16_t buf[4] = {9, 9, 9, 9};
            ASSERT_EQ(r->readFrames(2, buf), 4) << path;
            EXPECT_EQ(buf[0], c.expected) << path;
            EXPECT_EQ(buf[1], 0) << path;
        }
    }
}

TEST_F(ReaderTest, SampleSizesOutsideOneToThirtyTwoAreRefused) {
    for (uint32_t bits : {0u, 33u, 64u}) {
        EXPECT_TRUE(Refused(Put(Wav({{"fmt ", WavFmt(1, 1, 8000, bits, 2)}, {"data", Bytes(8)}}))));
        EXPECT_TRUE(Refused(
            Put(Aiff({{"COMM", AiffComm(1, 4, bits, 8000)}, {"SSND", AiffSsnd(Bytes(8))}}))));
    }
}

TEST_F(ReaderTest, WavWithoutUsableFormatIsRefused) {
    const Chunk fmt{"fmt ", WavFmt(1, 1, 8000, 16)};
    const Chunk data{"data", Bytes(8)};
    EXPECT_TRUE(Refused(Put(Wav({data, fmt}))));                                 // data first
    EXPECT_TRUE(Refused(Put(Wav({{"fmt ", WavFmt(1, 0, 8000, 16, 2)}, data})))); // 0 channels
    EXPECT_TRUE(Refused(Put(Wav({fmt}))));                                       // no data
    EXPECT_TRUE(Refused(Put(Wav({fmt, fmt}))));                                  // two fmt, no data
    EXPECT_TRUE(Refused(Put(Wav({{"fmt ", WavFmt(2, 1, 8000, 4)}, data}))));     // ADPCM
    EXPECT_TRUE(Refused(Put(Wav({{"fmt ", Bytes(14, 1)}, data}))));              // short fmt
    // Float of a size that is no IEEE format.
    EXPECT_TRUE(Refused(Put(Wav({{"fmt ", WavFmt(3, 1, 8000, 16)}, data}))));
    // 24-bit samples padded into 4-byte containers without saying so.
    EXPECT_TRUE(Refused(Put(Wav({{"fmt ", WavFmt(1, 2, 8000, 24, 8)}, data}))));
    // A later format chunk that is compressed refuses the file, as one before the data would.
    EXPECT_TRUE(Refused(Put(Wav({fmt, data, {"fmt ", WavFmt(0x55, 1, 8000, 0)}}))));
}

// An extensible WAV: the container decides the bytes, the valid bits are its top bits, and
// the sub-format GUID must be PCM or float.
TEST_F(ReaderTest, ExtensibleLayouts) {
    struct Layout {
        Bytes fmt;
        Bytes sample; // one sample as stored, then its 16-bit value and the fields
        int16_t expected;
        int32_t bits;
        int32_t bytes;
    };
    const Layout layouts[] = {
        {WavFmtExtensible(1, 1, 8000, 32, 24), {0x00, 0x56, 0x34, 0x92}, -0x6DCC, 24, 4},
        {WavFmtExtensible(1, 1, 8000, 24, 20), {0x50, 0x34, 0x12}, 0x1234, 20, 3},
        {WavFmtExtensible(1, 1, 8000, 32, 0), {0x11, 0x22, 0x34, 0x12}, 0x1234, 32, 4},
        {WavFmtExtensible(1, 1, 8000, 16, 12), {0x30, 0x81}, -32464, 12, 2},
        {WavFmtExtensible(1, 1, 8000, 8, 8), {0x80}, 0, 8, 1}, // unsigned, as every 8-bit WAV
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(std::to_string(l.bits) + " bits in " + std::to_string(l.bytes));
        Bytes data(l.sample);
        data.insert(data.end(), l.sample.size() * 2, l.bytes == 1 ? 0x80 : 0); // two silent
        // Bytes behind the extension are skipped.
        Bytes fmt = l.fmt;
        fmt.insert(fmt.end(), {1, 2, 3, 4, 5, 6});
        Reader r(Put(Wav({{"fmt ", fmt}, {"data", data}})));
        ASSERT_EQ(r->info().type, kAudioFileWav);
        EXPECT_EQ(r->info().bitsPerSample, l.bits);
        EXPECT_EQ(r->bytesPerSample(), l.bytes);
        EXPECT_EQ(r->info().frames, 3u);
        ASSERT_EQ(r->seekFrame(0), 0);
        int16_t buf[4] = {9, 9, 9, 9};
        ASSERT_EQ(r->readFrames(4, buf), 3);
        EXPECT_EQ(buf[0], l.expected);
        EXPECT_EQ(buf[1], 0);
    }
    const Chunk data{"data", Bytes(12)};
    EXPECT_TRUE(Refused(Put(Wav({{"fmt ", WavFmtExtensible(1, 1, 8000, 16, 17)}, data}))));
    EXPECT_TRUE(Refused(Put(Wav({{"fmt ", WavFmtExtensible(2, 1, 8000, 16, 16)}, data}))));
    EXPECT_TRUE(Refused(Put(Wav({{"fmt ", WavFmtExtensible(3, 1, 8000, 24, 24)}, data}))));
    Bytes otherGuid = WavFmtExtensible(1, 1, 8000, 16, 16);
    otherGuid.back() ^= 1;
    EXPECT_TRUE(Refused(Put(Wav({{"fmt ", otherGuid}, data}))));
    Bytes noExtension = WavFmtExtensible(1, 1, 8000, 16, 16);
    noExtension[16] = 0; // the extension's size says 0 bytes
    EXPECT_TRUE(Refused(Put(Wav({{"fmt ", noExtension}, data}))));
    const Bytes whole = WavFmtExtensible(1, 1, 8000, 16, 16);
    EXPECT_TRUE(Refused(Put(Wav({{"fmt ", Bytes(whole.begin(), whole.end() - 1)}, data}))));
}

Bytes FloatBytes(float f, bool littleEndian) {
    uint32_t v = 0;
    std::memcpy(&v, &f, 4);
    Bytes b;
    littleEndian ? PutLe32(b, v) : PutBe32(b, v);
    return b;
}
Bytes DoubleBytes(double d, bool littleEndian) {
    uint64_t v = 0;
    std::memcpy(&v, &d, 8);
    Bytes b;
    const auto hi = static_cast<uint32_t>(v >> 32);
    const auto lo = static_cast<uint32_t>(v);
    if (littleEndian) {
        PutLe32(b, lo);
        PutLe32(b, hi);
    } else {
        PutBe32(b, hi);
        PutBe32(b, lo);
    }
    return b;
}

// Float samples: x 32768, limited to the 16-bit range, truncated toward zero; NaN is 0. Every
// float layout of WAV and AIFF-C decodes them alike.
TEST_F(ReaderTest, FloatSamplesAreScaledLimitedAndTruncated) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<double, int16_t>> values = {
        {-1.0, -32768},
        {32767 / 32768.0, 32767},
        {-1 / 32768.0, -1},
        {1 / 32768.0, 1},
        {0.0, 0},
        {-0.0, 0},
        {1.0, 32767},
        {2.5, 32767},
        {-7.0, -32768},
        {inf, 32767},
        {-inf, -32768},
        {std::nan(""), 0},
        {1.75 / 32768.0, 1},
        {-1.75 / 32768.0, -1},
        {-0.5 / 32768.0, 0},
        {0.99999 / 32768.0, 0},
        {1e-45, 0},
        {-32767.9 / 32768.0, -32767},
    };
    const auto frames = static_cast<uint32_t>(values.size());
    std::vector<int16_t> expected;
    for (const auto& v : values)
        expected.push_back(v.second);
    auto samples = [&](int bits, bool littleEndian) {
        Bytes b;
        for (const auto& v : values) {
            const Bytes one = bits == 32 ? FloatBytes(static_cast<float>(v.first), littleEndian)
                                         : DoubleBytes(v.first, littleEndian);
            b.insert(b.end(), one.begin(), one.end());
        }
        return b;
    };
    for (int bits : {32, 64}) {
        const auto u = static_cast<uint32_t>(bits);
        const char* lower = bits == 32 ? "fl32" : "fl64";
        const char* upper = bits == 32 ? "FL32" : "FL64";
        const std::vector<Bytes> files = {
            Wav({{"fmt ", WavFmt(3, 1, 8000, u)}, {"data", samples(bits, true)}}),
            Wav({{"fmt ", WavFmtExtensible(3, 1, 8000, u, u)}, {"data", samples(bits, true)}}),
            Aiff({{"COMM", AifcComm(1, frames, u, 8000, lower)},
                  {"SSND", AiffSsnd(samples(bits, false))}},
                 "AIFC"),
            // The float type fixes the size, whatever the bits field says.
            Aiff({{"COMM", AifcComm(1, frames, 0, 8000, upper)},
                  {"SSND", AiffSsnd(samples(bits, false))}},
                 "AIFC"),
        };
        for (size_t i = 0; i < files.size(); ++i) {
            SCOPED_TRACE(std::to_string(bits) + " bits, layout " + std::to_string(i));
            const Decoded d = ReadWhole(Put(files[i]), 5);
            ASSERT_NE(d.fileType, 0);
            EXPECT_EQ(d.encoding, kEncodingFloat);
            EXPECT_EQ(d.bitsPerSample, bits);
            EXPECT_EQ(d.frames, frames);
            EXPECT_EQ(d.samples, expected);
        }
    }
}

TEST_F(ReaderTest, UnrecognisedFilesAreRefused) {
    const Bytes comm = AiffComm(1, 4, 16, 8000);
    EXPECT_TRUE(Refused(Put(Aiff({{"COMM", comm}, {"SSND", AiffSsnd(Bytes(8))}}, "AIFC"))));
    EXPECT_TRUE(Refused(Put(Aiff({{"SSND", AiffSsnd(Bytes(8))}}))));       // no COMM
    EXPECT_TRUE(Refused(Put(Aiff({{"COMM", AiffComm(0, 4, 16, 8000)}})))); // 0 channels
    EXPECT_TRUE(Refused(Put(Aiff({{"COMM", Bytes(comm.begin(), comm.begin() + 12)}})))); // short
    EXPECT_TRUE(Refused(Put(Bytes{})));
    EXPECT_TRUE(Refused(Put(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V'})));
    EXPECT_TRUE(Refused(dir.file("missing.wav")));
    // A refused object still closes cleanly.
    AudioFile file;
    AudioFile* f = &file;
    f->openRead(dir.file("missing.wav"));
    EXPECT_EQ(f->close(), 0);
}

TEST_F(ReaderTest, AiffWithoutSoundDataHasNothingToRead) {
    Reader r(Put(Aiff({{"COMM", AiffComm(1, 1000, 16, 8000)}})));
    ASSERT_EQ(r->info().type, kAudioFileAiff);
    EXPECT_EQ(r->info().dataStart, 0u);
    EXPECT_EQ(r->info().frames, 0u);
    ASSERT_EQ(r->seekFrame(0), 0);
    int16_t buf[4] = {1, 1, 1, 1};
    EXPECT_EQ(r->readFrames(4, buf), 0); // the header is not played as samples
    EXPECT_EQ(buf[3], 0);
}

TEST_F(ReaderTest, SsndOffsetIsHonoured) {
    const auto samples = Ramp(6);
    Reader r(Put(
        Aiff({{"COMM", AiffComm(1, 6, 16, 8000)}, {"SSND", AiffSsnd(Be16Samples(samples), 6)}})));
    ASSERT_EQ(r->info().type, kAudioFileAiff);
    EXPECT_EQ(r->info().dataStart, 12u + 26u + 16u + 6u);
    EXPECT_EQ(r->info().frames, 6u);
    ASSERT_EQ(r->seekFrame(0), 0);
    int16_t buf[8];
    ASSERT_EQ(r->readFrames(8, buf), 6);
    EXPECT_EQ(std::vector<int16_t>(buf, buf + 6), samples);
}

TEST_F(ReaderTest, OddChunksArePadded) {
    const auto samples = Ramp(4);
    const Chunk odd{"junk", Bytes{1, 2, 3}};
    const Bytes wav = Wav({{"fmt ", WavFmt(1, 1, 8000, 16)}, odd, {"data", Le16Samples(samples)}});
    const Bytes aif = Aiff(
        {odd, {"COMM", AiffComm(1, 4, 16, 8000)}, odd, {"SSND", AiffSsnd(Be16Samples(samples))}});
    // Sound data ahead of the format chunk is fine in an AIFF.
    const Bytes late =
        Aiff({{"SSND", AiffSsnd(Be16Samples(samples))}, odd, {"COMM", AiffComm(1, 4, 16, 8000)}});
    for (const auto& path : {Put(wav, "a.wav"), Put(aif, "a.aif"), Put(late, "b.aif")}) {
        const Decoded d = ReadWhole(path);
        ASSERT_NE(d.fileType, 0) << path;
        EXPECT_EQ(d.samples, samples) << path;
    }
}

Bytes Inst(uint8_t base, uint16_t beginId, uint16_t endId) {
    Bytes b = {base, 3, 40, 80, 1, 127};
    PutBe16(b, 0);
    PutBe16(b, 1);
    PutBe16(b, beginId);
    PutBe16(b, endId);
    PutBe16(b, 0);
    PutBe16(b, 0);
    PutBe16(b, 0);
    return b;
}

// Markers as this program writes them: n + 1 bytes behind the name's length byte.
Bytes MarkOwnLayout(const std::vector<std::pair<uint16_t, uint32_t>>& marks,
                    const std::string& name) {
    Bytes b;
    PutBe16(b, static_cast<uint32_t>(marks.size()));
    for (auto [id, pos] : marks) {
        PutBe16(b, id);
        PutBe32(b, pos);
        b.push_back(static_cast<uint8_t>(name.size()));
        b.insert(b.end(), name.begin(), name.end());
        b.push_back(0);
    }
    return b;
}

// Markers as other writers store them: the name padded to an even total length.
Bytes MarkPadded(const std::vector<std::pair<uint16_t, uint32_t>>& marks, const std::string& name) {
    Bytes b;
    PutBe16(b, static_cast<uint32_t>(marks.size()));
    for (auto [id, pos] : marks) {
        PutBe16(b, id);
        PutBe32(b, pos);
        b.push_back(static_cast<uint8_t>(name.size()));
        b.insert(b.end(), name.begin(), name.end());
        if ((name.size() & 1) == 0) b.push_back(0);
    }
    return b;
}

TEST_F(ReaderTest, LoopMarkersInEitherOrderAndLayout) {
    const Chunk comm{"COMM", AiffComm(1, 100, 16, 8000)};
    const Chunk ssnd{"SSND", AiffSsnd(Bytes(200))};
    const std::vector<std::pair<uint16_t, uint32_t>> marks = {{7, 11}, {3, 22}, {9, 33}};
    for (const std::string name : {"abc", "abcd", "beginLoop"}) {
        SCOPED_TRACE(name);
        for (const Bytes& mark : {MarkOwnLayout(marks, name), MarkPadded(marks, name)}) {
            // INST behind MARK still finds its markers.
            Reader r(Put(Aiff({comm, {"MARK", mark}, ssnd, {"INST", Inst(48, 9, 3)}})));
            ASSERT_EQ(r->info().type, kAudioFileAiff);
            EXPECT_EQ(r->info().baseNote, 48);
            EXPECT_EQ(r->info().detune, 3);
            EXPECT_EQ(r->info().lowNote, 40);
            EXPECT_EQ(r->info().highNote, 80);
            EXPECT_EQ(r->info().loopStart, 33u);
            EXPECT_EQ(r->info().loopEnd, 22u);
        }
    }
    Reader none(Put(Aiff({comm, ssnd, {"INST", Inst(48, 1, 2)}})));
    EXPECT_EQ(none->info().loopStart, 0u);
    EXPECT_EQ(none->info().loopEnd, 0u);
}

TEST_F(ReaderTest, AiffRateBytesAreKeptExactly) {
    Bytes comm = AiffComm(1, 2, 16, 0);
    const uint8_t r31250[10] = {0x40, 0x0D, 0xF4, 0x24, 0, 0, 0, 0, 0, 0};
    const uint8_t odd[10] = {0x40, 0x0E, 0xAC, 0x44, 0xB3, 0x33, 0x33, 0x33, 0x33, 0x33};
    for (const uint8_t* rate : {r31250, odd}) {
        std::memcpy(comm.data() + 8, rate, 10);
        Reader r(Put(Aiff({{"COMM", comm}, {"SSND", AiffSsnd(Bytes(4))}})));
        ASSERT_EQ(r->info().type, kAudioFileAiff);
        EXPECT_EQ(r->info().sampleRate, Extended80::FromBytes(rate));
    }
    EXPECT_EQ(Extended80::FromBytes(r31250).TruncToUInt32(), 31250u);
}

// Sizes that point far past the end, counts larger than the chunk, and offsets past the data
// must neither loop, nor read outside the file, nor allocate by a header's word.
TEST_F(ReaderTest, HostileSizesAreBounded) {
    const auto samples = Ramp(8);
    { // data size 0xFFFFFFFF: frames are what the file holds
        Reader r(Put(
            Wav({{"fmt ", WavFmt(1, 1, 8000, 16)}, {"data", Le16Samples(samples), 0xFFFFFFFF}})));
        ASSERT_EQ(r->info().type, kAudioFileWav);
        EXPECT_EQ(r->info().frames, 8u);
        EXPECT_EQ(r->info().dataBytes, 16u);
    }
    { // COMM claims more frames than SSND holds
        Reader r(Put(Aiff({{"COMM", AiffComm(1, 0xFFFFFFFF, 16, 8000)},
                           {"SSND", AiffSsnd(Be16Samples(samples))}})));
        ASSERT_EQ(r->info().type, kAudioFileAiff);
        EXPECT_EQ(r->info().frames, 8u);
    }
    { // a chunk before the data that points past the end ends the walk
        Reader r(Put(Wav({{"fmt ", WavFmt(1, 1, 8000, 16)},
                          {"junk", Bytes(4), 0xFFFFFFF0},
                          {"data", Bytes(4)}})));
        EXPECT_EQ(r->info().type, 0);
    }
    { // SSND offset beyond the chunk: no frames
        Bytes ssnd = AiffSsnd(Be16Samples(samples));
        ssnd[0] = ssnd[1] = ssnd[2] = ssnd[3] = 0xFF;
        Reader big(Put(Aiff({{"COMM", AiffComm(1, 8, 16, 8000)}, {"SSND", ssnd}}), "b.aif"));
        ASSERT_EQ(big->info().type, kAudioFileAiff);
        EXPECT_EQ(big->info().frames, 0u);
        ASSERT_EQ(big->seekFrame(0), 0);
        int16_t buf[2];
        EXPECT_EQ(big->readFrames(2, buf), 0);
    }
    { // a marker count far beyond the chunk
        Bytes mark;
        PutBe16(mark, 0x7FFF);
        PutBe16(mark, 1);
        PutBe32(mark, 5);
        mark.push_back(0);
        mark.push_back(0);
        Reader r(Put(Aiff({{"COMM", AiffComm(1, 8, 16, 8000)},
                           {"MARK", mark},
                           {"INST", Inst(60, 1, 1)},
                           {"SSND", AiffSsnd(Be16Samples(samples))}})));
        ASSERT_EQ(r->info().type, kAudioFileAiff);
        EXPECT_EQ(r->info().loopStart, 5u);
        EXPECT_EQ(r->info().frames, 8u);
    }
    { // a file cut inside its sample data keeps the whole frames it holds
        Bytes file = Wav({{"fmt ", WavFmt(1, 2, 8000, 24)}, {"data", Bytes(60, 0x11)}});
        file.resize(file.size() - 25);
        Reader r(Put(file));
        ASSERT_EQ(r->info().type, kAudioFileWav);
        EXPECT_EQ(r->info().frames, 5u);
    }
    // Huge frame requests are refused rather than overflowing the count.
    Reader r(Put(Wav({{"fmt ", WavFmt(1, 2, 8000, 16)}, {"data", Bytes(8)}})));
    int16_t buf[1];
    EXPECT_EQ(r->readFrames(0x7FFFFFFF, buf), kAudioFileNotReady);
    EXPECT_EQ(r->readFrames(-5, buf), 0);
}

TEST_F(ReaderTest, ReopeningResetsEveryField) {
    AudioFile file;
    AudioFile* f = &file;
    ASSERT_EQ(f->openRead(Put(Aiff({{"COMM", AiffComm(2, 2, 16, 8000)},
                                    {"SSND", AiffSsnd(Bytes(8))},
                                    {"INST", Inst(30, 1, 2)}}))),
              kAudioFileOk);
    ASSERT_EQ(f->info().type, kAudioFileAiff);
    EXPECT_EQ(f->openRead(dir.file("missing")), kAudioFileCannotOpen);
    EXPECT_EQ(f->info().type, 0);
    EXPECT_EQ(f->info().channels, 0);
    EXPECT_EQ(f->info().frames, 0u);
    EXPECT_EQ(f->info().baseNote, 60);
    EXPECT_EQ(f->info().sampleRate, Extended80::FromUInt32(44100));
    EXPECT_EQ(f->close(), 0);
}

// AIFF-C: "NONE" and "twos" are AIFF's big-endian PCM, "sowt" little-endian; markers and the
// instrument chunk as in AIFF; other compression types are refused.
TEST_F(ReaderTest, AifcCompressionTypes) {
    const std::vector<int16_t> ramp = Ramp(6);
    Bytes fver;
    PutBe32(fver, 0xA2805140);
    for (const char* type : {"NONE", "twos", "sowt"}) {
        for (uint32_t bits : {8u, 16u, 24u}) {
            SCOPED_TRACE(std::string(type) + " " + std::to_string(bits));
            const bool little = std::string(type) == "sowt";
            const size_t size = (bits + 7) / 8;
            Bytes data;
            std::vector<int16_t> expected;
            for (int16_t v : ramp) {
                const auto u = static_cast<uint16_t>(v);
                Bytes one(size, 0x5A); // low bytes below the top 16 bits
                one[0] = static_cast<uint8_t>(u >> 8);
                if (size > 1) one[1] = static_cast<uint8_t>(u);
                if (little) std::reverse(one.begin(), one.end());
                data.insert(data.end(), one.begin(), one.end());
                expected.push_back(size == 1 ? static_cast<int16_t>(u & 0xFF00) : v);
            }
            const Decoded d = ReadWhole(Put(Aiff({{"FVER", fver},
                                                  {"COMM", AifcComm(1, 6, bits, 8000, type)},
                                                  {"SSND", AiffSsnd(data)}},
                                                 "AIFC")));
            ASSERT_EQ(d.fileType, kAudioFileAiff);
            EXPECT_EQ(d.encoding, kEncodingPcm);
            EXPECT_EQ(d.bitsPerSample, static_cast<int32_t>(bits));
            EXPECT_EQ(d.samples, expected);
        }
    }
    Reader looped(Put(Aiff({{"COMM", AifcComm(1, 100, 16, 8000, "sowt")},
                            {"MARK", MarkPadded({{1, 10}, {2, 90}}, "loop")},
                            {"INST", Inst(36, 1, 2)},
                            {"SSND", AiffSsnd(Bytes(200))}},
                           "AIFC")));
    ASSERT_EQ(looped->info().type, kAudioFileAiff);
    EXPECT_EQ(looped->info().baseNote, 36);
    EXPECT_EQ(looped->info().loopStart, 10u);
    EXPECT_EQ(looped->info().loopEnd, 90u);
    for (const char* type : {"ima4", "ulaw", "in24", "sowT"})
        EXPECT_TRUE(Refused(Put(Aiff(
            {{"COMM", AifcComm(1, 4, 16, 8000, type)}, {"SSND", AiffSsnd(Bytes(8))}}, "AIFC"))))
            << type;
}

} // namespace

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef BRELKA_HAVE_SNDFILE
#include <sndfile.h>
#endif

#include "AudioFile.h"
#include "AudioFileTestUtil.h"
#include "TestSupport.h"

using namespace aftest;
using testsupport::ReadBytes;
using testsupport::TempDir;

namespace {

std::vector<int16_t> Noise(size_t n, uint32_t seed = 1) {
    std::vector<int16_t> s(n);
    for (auto& v : s) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<int16_t>(static_cast<uint16_t>(seed >> 16));
    }
    s[0] = -32768;
    if (n > 1) s[1] = 32767;
    return s;
}

struct WriteSpec {
    int32_t type = kAudioFileWav;
    int32_t channels = 1;
    int32_t bits = 16;
    Extended80 rate = Extended80::FromUInt32(31250);
    int32_t blockFrames = 300; // frames per writeFrames call
};

AudioInfo InfoOf(int32_t type, int32_t channels, int32_t bits,
                 Extended80 rate = Extended80::FromUInt32(31250)) {
    return WriterInfo(type, channels, bits, rate);
}

// Writes the frames of `samples` through a fresh writer; returns close's result.
int32_t WriteFile(const std::string& path, const WriteSpec& spec,
                  const std::vector<int16_t>& samples) {
    AudioFile f;
    EXPECT_EQ(f.openWrite(path, InfoOf(spec.type, spec.channels, spec.bits, spec.rate)), 0);
    const size_t frames = samples.size() / static_cast<size_t>(spec.channels);
    for (size_t done = 0; done < frames;) {
        const size_t n = std::min(frames - done, static_cast<size_t>(spec.blockFrames));
        EXPECT_EQ(f.writeFrames(samples.data() + done * static_cast<size_t>(spec.channels),
                                static_cast<int32_t>(n)),
                  0);
        done += n;
    }
    return f.close();
}

uint32_t Le32At(const Bytes& b, size_t at) {
    return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) |
           (uint32_t{b[at + 3]} << 24);
}
uint32_t Be32At(const Bytes& b, size_t at) {
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
           uint32_t{b[at + 3]};
}

class WriterTest : public ::testing::Test {
  protected:
    TempDir dir;
};

TEST_F(WriterTest, WavLayout) {
    const auto samples = Noise(1000);
    const auto path = dir.file("a.wav");
    ASSERT_EQ(WriteFile(path, {}, samples), 0);
    const Bytes b = ReadBytes(path);
    ASSERT_EQ(b.size(), 2046u);
    Bytes expected;
    PutId(expected, "RIFF");
    PutLe32(expected, 2038);
    PutId(expected, "WAVE");
    PutId(expected, "fmt ");
    PutLe32(expected, 18);
    const Bytes fmt = {0x01, 0x00, 0x01, 0x00, 0x12, 0x7A, 0x00, 0x00, 0x24,
                       0xF4, 0x00, 0x00, 0x02, 0x00, 0x10, 0x00, 0x00, 0x00};
    expected.insert(expected.end(), fmt.begin(), fmt.end());
    PutId(expected, "data");
    PutLe32(expected, 2000);
    for (int16_t v : samples)
        PutLe16(expected, static_cast<uint16_t>(v));
    EXPECT_EQ(b, expected);
}

Bytes ExpectedAiffHeader(uint32_t formSize, uint32_t frames, const uint8_t rate[10],
                         uint32_t ssndSize) {
    Bytes e;
    PutId(e, "FORM");
    PutBe32(e, formSize);
    PutId(e, "AIFF");
    PutId(e, "COMM");
    PutBe32(e, 18);
    PutBe16(e, 1);
    PutBe32(e, frames);
    PutBe16(e, 16);
    e.insert(e.end(), rate, rate + 10);
    PutId(e, "INST");
    PutBe32(e, 20);
    const Bytes inst = {60, 0, 60, 60, 1, 127, 0, 0, 0, 1, 0, 1, 0, 2, 0, 0, 0, 0, 0, 0};
    e.insert(e.end(), inst.begin(), inst.end());
    PutId(e, "MARK");
    PutBe32(e, 34);
    PutBe16(e, 2);
    PutBe16(e, 1);
    PutBe32(e, 0);
    e.push_back(9);
    for (char c : std::string("beginLoop"))
        e.push_back(static_cast<uint8_t>(c));
    e.push_back(0);
    PutBe16(e, 2);
    PutBe32(e, 0);
    e.push_back(7);
    for (char c : std::string("endLoop"))
        e.push_back(static_cast<uint8_t>(c));
    e.push_back(0);
    PutId(e, "SSND");
    PutBe32(e, ssndSize);
    PutBe32(e, 0);
    PutBe32(e, 0);
    return e;
}

TEST_F(WriterTest, AiffLayout) {
    const auto samples = Noise(1000);
    const auto path = dir.file("a.aif");
    WriteSpec spec;
    spec.type = kAudioFileAiff;
    ASSERT_EQ(WriteFile(path, spec, samples), 0);
    const Bytes b = ReadBytes(path);
    ASSERT_EQ(b.size(), 2124u);
    const uint8_t rate[10] = {0x40, 0x0D, 0xF4, 0x24, 0, 0, 0, 0, 0, 0};
    Bytes expected = ExpectedAiffHeader(2116, 1000, rate, 2008);
    ASSERT_EQ(expected.size(), 124u);
    for (int16_t v : samples)
        PutBe16(expected, static_cast<uint16_t>(v));
    EXPECT_EQ(b, expected);
}

TEST_F(WriterTest, FractionalRate) {
    const uint8_t bytes[10] = {0x40, 0x0E, 0xAC, 0x44, 0xB3, 0x33, 0x33, 0x33, 0x33, 0x33};
    WriteSpec spec;
    spec.rate = Extended80::FromBytes(bytes);
    const auto wav = dir.file("a.wav");
    ASSERT_EQ(WriteFile(wav, spec, Noise(10)), 0);
    const Bytes w = ReadBytes(wav);
    EXPECT_EQ(Le32At(w, 24), 44100u);
    EXPECT_EQ(Le32At(w, 28), 88200u);
    spec.type = kAudioFileAiff;
    const auto aif = dir.file("a.aif");
    ASSERT_EQ(WriteFile(aif, spec, Noise(10)), 0);
    const Bytes a = ReadBytes(aif);
    EXPECT_EQ(std::memcmp(a.data() + 28, bytes, 10), 0);
}

TEST_F(WriterTest, BegunButEmpty) {
    for (int32_t type : {kAudioFileWav, kAudioFileAiff}) {
        WriteSpec spec;
        spec.type = type;
        const auto path = dir.file("e");
        ASSERT_EQ(WriteFile(path, spec, {}), 0);
        const Bytes b = ReadBytes(path);
        if (type == kAudioFileWav) {
            ASSERT_EQ(b.size(), 46u);
            EXPECT_EQ(Le32At(b, 4), 38u);
            EXPECT_EQ(Le32At(b, 42), 0u);
        } else {
            const uint8_t rate[10] = {0x40, 0x0D, 0xF4, 0x24, 0, 0, 0, 0, 0, 0};
            EXPECT_EQ(b, ExpectedAiffHeader(116, 0, rate, 8));
        }
    }
}

TEST_F(WriterTest, AiffReadsBackWithEveryField) {
    const auto path = dir.file("r.aif");
    const uint8_t bytes[10] = {0x40, 0x0E, 0xAC, 0x44, 0xB3, 0x33, 0x33, 0x33, 0x33, 0x35};
    const auto samples = Noise(2 * 777);
    AudioInfo info = InfoOf(kAudioFileAiff, 2, 16, Extended80::FromBytes(bytes));
    info.baseNote = 48;
    info.detune = 250;
    info.lowNote = 36;
    info.highNote = 72;
    info.loopStart = 100;
    info.loopEnd = 700;
    AudioFile f;
    ASSERT_EQ(f.openWrite(path, info), 0);
    ASSERT_EQ(f.writeFrames(samples.data(), 777), 0);
    ASSERT_EQ(f.close(), 0);
    EXPECT_FALSE(f.isOpen());

    AudioFile r;
    ASSERT_EQ(r.openRead(path), 0);
    const AudioInfo& back = r.info();
    ASSERT_EQ(back.type, kAudioFileAiff);
    EXPECT_EQ(back.channels, 2);
    EXPECT_EQ(back.bitsPerSample, 16);
    EXPECT_EQ(back.sampleRate, Extended80::FromBytes(bytes));
    EXPECT_EQ(back.frames, 777u);
    EXPECT_EQ(back.baseNote, 48);
    EXPECT_EQ(back.detune, 250);
    EXPECT_EQ(back.lowNote, 36);
    EXPECT_EQ(back.highNote, 72);
    EXPECT_EQ(back.loopStart, 100u);
    EXPECT_EQ(back.loopEnd, 700u);
    r.close();
    EXPECT_EQ(ReadWhole(path).samples, samples);
}

TEST_F(WriterTest, RefusedCalls) {
    AudioFile f;
    int16_t s[2] = {};
    // The folder does not exist.
    EXPECT_EQ(f.openWrite(dir.file("none/x.wav"), InfoOf(kAudioFileWav, 1, 16)),
              kAudioFileCannotOpen);
    EXPECT_FALSE(f.isOpen());
    EXPECT_EQ(f.writeFrames(s, 1), kAudioFileNotReady);
    EXPECT_EQ(f.close(), 0);

    // Headers that cannot be written, or not finished: nothing is created.
    const auto path = dir.file("y.wav");
    for (const AudioInfo& bad :
         {InfoOf(3, 1, 16), InfoOf(kAudioFileAiff, 0, 16), InfoOf(kAudioFileWav, 1, 33),
          InfoOf(kAudioFileWav, 1, 0), InfoOf(kAudioFileWav, 0x4000, 32)}) {
        EXPECT_EQ(f.openWrite(path, bad), kAudioFileBadInfo);
        EXPECT_FALSE(f.isOpen());
        EXPECT_EQ(f.writeFrames(s, 1), kAudioFileNotReady);
    }
    EXPECT_FALSE(testsupport::FileExists(path));

    // Readers refuse writer calls, and writers reader calls.
    ASSERT_EQ(f.openWrite(path, InfoOf(kAudioFileWav, 1, 16)), 0);
    EXPECT_EQ(f.seekFrame(0), kAudioFileNotReady);
    EXPECT_EQ(f.readFrames(1, s), kAudioFileNotReady);
    ASSERT_EQ(f.writeFrames(s, 1), 0);
    ASSERT_EQ(f.openRead(path), 0); // closes the writer, finishing its header
    EXPECT_EQ(f.info().frames, 1u);
    EXPECT_EQ(f.writeFrames(s, 1), kAudioFileNotReady);
    EXPECT_EQ(f.close(), 0);
}

// Widths other than 16 bits: bytes given as they are for 8-bit (with a pad byte behind an odd
// count), and 16-bit samples carried in the top bits of 24- and 32-bit samples.
TEST_F(WriterTest, OtherSampleSizes) {
    const Bytes eight = {0x00, 0x80, 0xFF};
    for (int32_t type : {kAudioFileWav, kAudioFileAiff}) {
        const auto path = dir.file(type == kAudioFileWav ? "e.wav" : "e.aif");
        AudioFile f;
        ASSERT_EQ(f.openWrite(path, InfoOf(type, 1, 8)), 0);
        int16_t buf[2];
        std::memcpy(buf, eight.data(), 3);
        ASSERT_EQ(f.writeFrames(buf, 3), 0);
        ASSERT_EQ(f.close(), 0);
        const Bytes b = ReadBytes(path);
        const size_t header = type == kAudioFileWav ? 46 : 124;
        ASSERT_EQ(b.size(), header + 4);
        EXPECT_EQ(Bytes(b.begin() + static_cast<long>(header), b.end() - 1), eight);
        EXPECT_EQ(b.back(), 0);
        if (type == kAudioFileWav) {
            EXPECT_EQ(Le32At(b, 42), 3u);
            EXPECT_EQ(Le32At(b, 4), 42u);
        } else {
            EXPECT_EQ(Be32At(b, 112), 11u);
            EXPECT_EQ(Be32At(b, 22), 3u);
            EXPECT_EQ(Be32At(b, 4), 120u);
        }
        const Decoded d = ReadWhole(path);
        ASSERT_EQ(d.samples.size(), 3u);
        const std::vector<int16_t> wavExpected = {-32768, 0, 32512};
        const std::vector<int16_t> aiffExpected = {0, -32768, -256};
        EXPECT_EQ(d.samples, type == kAudioFileWav ? wavExpected : aiffExpected);
        SoxInfo info = SoxQuery(path);
        EXPECT_TRUE(info.ok);
        EXPECT_EQ(info.frames, 3u);
    }
    for (int32_t bits : {24, 32}) {
        for (int32_t type : {kAudioFileWav, kAudioFileAiff}) {
            SCOPED_TRACE(bits);
            const auto path = dir.file(type == kAudioFileWav ? "w.wav" : "w.aif");
            WriteSpec spec;
            spec.type = type;
            spec.bits = bits;
            spec.channels = 2;
            const auto samples = Noise(2 * 50);
            ASSERT_EQ(WriteFile(path, spec, samples), 0);
            EXPECT_EQ(testsupport::FileSize(path),
                      (type == kAudioFileWav ? 46 : 124) + 100 * bits / 8);
            EXPECT_EQ(ReadWhole(path).samples, samples);
            std::vector<int16_t> sox;
            ASSERT_TRUE(SoxDecode(path, dir.file("w.raw"), sox));
            EXPECT_EQ(sox, samples);
        }
    }
}

// A full disk is reported: by the write that meets it, by every call after it, and by close.
TEST_F(WriterTest, WriteFailuresAreReported) {
    for (int32_t type : {kAudioFileWav, kAudioFileAiff}) {
        AudioFile f;
        ASSERT_EQ(f.openWrite("/dev/full", InfoOf(type, 2, 16)), 0); // still in the buffer
        const auto samples = Noise(2 * 4096);
        int32_t result = 0;
        for (int i = 0; i < 64 && result == 0; ++i)
            result = f.writeFrames(samples.data(), 4096);
        EXPECT_EQ(result, kAudioFileWriteFailed);
        EXPECT_EQ(f.writeFrames(samples.data(), 1), kAudioFileWriteFailed);
        EXPECT_EQ(f.writeFrames(samples.data(), 0), kAudioFileWriteFailed);
        EXPECT_EQ(f.close(), kAudioFileWriteFailed);
    }
    // Bytes that only the final flush meets.
    AudioFile g;
    ASSERT_EQ(g.openWrite("/dev/full", InfoOf(kAudioFileWav, 1, 16)), 0);
    int16_t s[4] = {1, 2, 3, 4};
    ASSERT_EQ(g.writeFrames(s, 4), 0);
    EXPECT_EQ(g.close(), kAudioFileWriteFailed);
}

// Files we write, read by sox and by libsndfile: same header fields and samples.
TEST_F(WriterTest, ReadBackBySoxAndLibsndfile) {
    for (int32_t type : {kAudioFileWav, kAudioFileAiff}) {
        for (int32_t channels : {1, 2}) {
            for (uint32_t rate : {31250u, 44100u}) {
                SCOPED_TRACE(std::to_string(type) + "/" + std::to_string(channels) + "/" +
                             std::to_string(rate));
                const auto path = dir.file(type == kAudioFileWav ? "s.wav" : "s.aif");
                WriteSpec spec;
                spec.type = type;
                spec.channels = channels;
                spec.rate = Extended80::FromUInt32(rate);
                spec.blockFrames = 4096;
                const size_t frames = 10007;
                const auto samples = Noise(frames * static_cast<size_t>(channels), rate);
                ASSERT_EQ(WriteFile(path, spec, samples), 0);

                const SoxInfo info = SoxQuery(path);
                ASSERT_TRUE(info.ok);
                EXPECT_EQ(info.channels, channels);
                EXPECT_EQ(info.rate, rate);
                EXPECT_EQ(info.frames, frames);
                EXPECT_EQ(info.bits, 16);
                std::vector<int16_t> sox;
                ASSERT_TRUE(SoxDecode(path, dir.file("s.raw"), sox));
                EXPECT_EQ(sox, samples);
#ifdef BRELKA_HAVE_SNDFILE
                SF_INFO sfi{};
                SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &sfi);
                ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
                EXPECT_EQ(sfi.channels, channels);
                EXPECT_EQ(sfi.samplerate, static_cast<int>(rate));
                EXPECT_EQ(sfi.frames, static_cast<sf_count_t>(frames));
                EXPECT_EQ(sfi.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
                EXPECT_EQ(sfi.format & SF_FORMAT_TYPEMASK,
                          type == kAudioFileWav ? SF_FORMAT_WAV : SF_FORMAT_AIFF);
                std::vector<int16_t> got(samples.size() + 16);
                EXPECT_EQ(sf_readf_short(sf, got.data(), static_cast<sf_count_t>(frames) + 8),
                          static_cast<sf_count_t>(frames));
                got.resize(samples.size());
                EXPECT_EQ(got, samples);
                if (type == kAudioFileAiff) {
                    SF_INSTRUMENT inst{};
                    ASSERT_EQ(sf_command(sf, SFC_GET_INSTRUMENT, &inst, sizeof inst), SF_TRUE);
                    EXPECT_EQ(inst.basenote, 60);
                    EXPECT_EQ(inst.velocity_lo, 1);
                    EXPECT_EQ(inst.velocity_hi, 127);
                }
                sf_close(sf);
#endif
            }
        }
    }
}

} // namespace

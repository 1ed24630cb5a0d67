// Files written by other programs, read by AudioFile and compared with sox's reading of them.
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AudioFile.h"
#include "AudioFileTestUtil.h"
#include "TestSupport.h"

using namespace aftest;
using testsupport::Quote;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

// Exact at 8 and 16 bits; sox rounds wider samples to 16 bits where AudioFile truncates.
void ExpectSoxSamples(const Decoded& d, const std::vector<int16_t>& sox, int bits) {
    ASSERT_EQ(d.samples.size(), sox.size());
    const int tolerance = bits <= 16 ? 0 : 1;
    size_t bad = 0;
    for (size_t i = 0; i < sox.size(); ++i) {
        if (std::abs(d.samples[i] - sox[i]) > tolerance && bad++ < 5)
            ADD_FAILURE() << "sample " << i << ": " << d.samples[i] << " vs sox " << sox[i];
    }
    EXPECT_EQ(bad, 0u);
}

void ExpectSoxFields(const Decoded& d, const SoxInfo& info) {
    EXPECT_EQ(d.channels, info.channels);
    EXPECT_EQ(d.frames, info.frames);
    EXPECT_EQ(d.bitsPerSample, info.bits);
    EXPECT_NEAR(d.sampleRate.ToDouble(), info.rate, 0.5);
}

// sox writes every size and channel count; odd-sized chunks of our own go before and behind
// the sample data, and readers must skip their pad bytes and stop at the data's end.
TEST(Interop, FilesWrittenBySox) {
    TempDir dir;
    for (const char* kind : {"wavpcm", "aiff"}) {
        for (int bits : {8, 16, 24, 32}) {
            for (int channels : {1, 2}) {
                const std::string tag =
                    std::string(kind) + "-" + std::to_string(bits) + "-" + std::to_string(channels);
                SCOPED_TRACE(tag);
                const bool wav = std::string(kind) == "wavpcm";
                const auto plain = dir.file(tag + (wav ? ".wav" : ".aif"));
                const auto r =
                    testsupport::Run("sox -D -n -r 48000 -c " + std::to_string(channels) + " -b " +
                                     std::to_string(bits) + " -t " + kind + " " + Quote(plain) +
                                     " synth 0.3 whitenoise vol 0.7 2>/dev/null");
                ASSERT_EQ(r.status, 0);
                const Chunk before{wav ? "junk" : "APPL", Bytes{'o', 'd', 'd'}};
                const Chunk after{wav ? "LIST" : "ANNO", Bytes{'t', 'a', 'i', 'l', '!'}};
                Bytes bytes = InsertChunk(ReadBytes(plain), before, wav ? "data" : "SSND");
                bytes = InsertChunk(bytes, after, "");
                const auto path = dir.file(tag + "-odd" + (wav ? ".wav" : ".aif"));
                WriteBytes(path, bytes);

                const SoxInfo info = SoxQuery(path);
                ASSERT_TRUE(info.ok);
                std::vector<int16_t> sox;
                ASSERT_TRUE(SoxDecode(path, dir.file("x.raw"), sox));
                ASSERT_EQ(sox.size(), 14400u * static_cast<size_t>(channels));
                const Decoded d = ReadWhole(path, 1000);
                ASSERT_EQ(d.fileType, wav ? kAudioFileWav : kAudioFileAiff);
                ExpectSoxFields(d, info);
                ExpectSoxSamples(d, sox, bits);
            }
        }
    }
}

// Files of the corpus that AudioFile refuses, with the reason.
const std::set<std::string> kRefused = {
    "go-audio-aiff/ableton.aif",                        // AIFF-C
    "go-audio-aiff/sowt.aif",                           // AIFF-C
    "go-audio-aiff/sowt2.aif",                          // AIFF-C
    "hound/nonstandard-02.wav",                         // extensible
    "hound/pop.wav",                                    // extensible
    "hound/pcmwaveformat-24bit-4byte-48kHz-stereo.wav", // 24 bits in 4-byte containers
    "hound/waveformatex-ieeefloat-44100Hz-mono.wav",    // float
    "hound/waveformatextensible-24bit-192kHz-mono.wav", // extensible
    "hound/waveformatextensible-24bit-4byte-48kHz-stereo.wav",
    "hound/waveformatextensible-32bit-48kHz-stereo.wav",
    "hound/waveformatextensible-ieeefloat-44100Hz-mono.wav",
};

TEST(Interop, CorpusMatchesSoxOrIsRefused) {
    TempDir dir;
    const auto files = testsupport::CorpusAudioFiles();
    ASSERT_GT(files.size(), 40u);
    const std::string root = testsupport::CorpusDir() + "/";
    size_t read = 0;
    for (const auto& path : files) {
        const std::string name = path.substr(root.size());
        SCOPED_TRACE(name);
        const Decoded d = ReadWhole(path, 777);
        if (name.rfind("hound/fuzz/", 0) == 0) {
            EXPECT_EQ(d.fileType, 0); // all malformed
            continue;
        }
        if (kRefused.count(name) != 0) {
            EXPECT_EQ(d.fileType, 0);
            EXPECT_TRUE(d.samples.empty());
            continue;
        }
        ASSERT_NE(d.fileType, 0);
        const SoxInfo info = SoxQuery(path);
        ASSERT_TRUE(info.ok);
        std::vector<int16_t> sox;
        ASSERT_TRUE(SoxDecode(path, dir.file("c.raw"), sox));
        ExpectSoxFields(d, info);
        ExpectSoxSamples(d, sox, info.bits);
        ++read;
    }
    EXPECT_GE(read, 30u);
}

// A few loop points of corpus files, as their chunks give them.
TEST(Interop, CorpusLoopPoints) {
    const Decoded d = ReadWhole(testsupport::CorpusFile("go-audio-wav/flloop.wav"));
    EXPECT_EQ(d.fileType, kAudioFileWav);
    auto* f = new AudioFile;
    f->open(testsupport::CorpusFile("go-audio-aiff/ring.aif"), false);
    ASSERT_EQ(f->fileType, kAudioFileAiff);
    EXPECT_LE(f->loopStart, f->frames);
    EXPECT_LE(f->loopEnd, f->frames);
    f->close(1);
}

// Damaged copies of real files: every truncation point and some flipped size bytes must be
// refused or read without reading outside the file.
TEST(Interop, DamagedCopiesAreSafe) {
    TempDir dir;
    for (const char* name : {"go-audio-wav/bwf.wav", "go-audio-aiff/ring.aif"}) {
        const Bytes original = ReadBytes(testsupport::CorpusFile(name));
        const auto path = dir.file("d");
        for (size_t cut = 0; cut < 1200 && cut < original.size(); cut += 7) {
            WriteBytes(path, Bytes(original.begin(), original.begin() + static_cast<long>(cut)));
            const Decoded d = ReadWhole(path);
            EXPECT_LE(d.samples.size() * static_cast<size_t>(std::max(1, d.bitsPerSample / 8)),
                      cut);
        }
        for (size_t at = 4; at < 700 && at < original.size(); at += 3) {
            Bytes b = original;
            b[at] = 0xFF;
            b[at + 1] ^= 0x5A;
            WriteBytes(path, b);
            const Decoded d = ReadWhole(path);
            EXPECT_LE(d.samples.size(), b.size());
        }
    }
}

} // namespace

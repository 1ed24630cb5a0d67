// Files written by other programs, read by AudioFile and compared with sox's reading of them.
#include <cmath>
#include <cstdlib>
#include <set>
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
    "go-audio-aiff/ableton.aif",                        // AIFF-C compressed ("able")
    "hound/pcmwaveformat-24bit-4byte-48kHz-stereo.wav", // plain PCM in wider containers
};

#ifdef BRELKA_HAVE_SNDFILE
// libsndfile's reading of a file as 16-bit samples, for the files sox does not read.
bool SndfileDecode(const std::string& path, SoxInfo& info, std::vector<int16_t>& out) {
    SF_INFO sfi{};
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &sfi);
    if (sf == nullptr) return false;
    info.ok = true;
    info.channels = sfi.channels;
    info.rate = sfi.samplerate;
    info.frames = static_cast<uint64_t>(sfi.frames);
    out.assign(static_cast<size_t>(sfi.frames) * static_cast<size_t>(sfi.channels), 0);
    const sf_count_t got = sf_readf_short(sf, out.data(), sfi.frames);
    sf_close(sf);
    return got == sfi.frames;
}
#endif

// Every file of the corpus is read as sox reads it (or, where sox gives up, as libsndfile
// does), or it is one of the few refused.
TEST(Interop, CorpusMatchesSoxOrIsRefused) {
    TempDir dir;
    const auto files = testsupport::CorpusAudioFiles();
    ASSERT_GT(files.size(), 40u);
    const std::string root = testsupport::CorpusDir() + "/";
    size_t read = 0;
    size_t bySndfile = 0;
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
        SoxInfo info = SoxQuery(path);
        std::vector<int16_t> expected;
        if (info.ok) {
            ASSERT_TRUE(SoxDecode(path, dir.file("c.raw"), expected));
            ExpectSoxFields(d, info);
        } else {
#ifdef BRELKA_HAVE_SNDFILE
            ASSERT_TRUE(SndfileDecode(path, info, expected));
            EXPECT_EQ(d.channels, info.channels);
            EXPECT_EQ(d.frames, info.frames);
            EXPECT_EQ(d.sampleRate.ToDouble(), info.rate);
            ++bySndfile;
#else
            continue;
#endif
        }
        ExpectSoxSamples(d, expected, d.bitsPerSample);
        ++read;
    }
    EXPECT_GE(read, 39u);
#ifdef BRELKA_HAVE_SNDFILE
    EXPECT_GE(bySndfile, 3u); // two extensible files with odd valid bits, and sowt2.aif
#endif
}

// One 16-bit stereo source, converted without loss by sox and by libsndfile into the layouts
// that programs export (extensible, float, AIFF-C, six channels): each reads back as exactly
// the source's samples.
TEST(Interop, LosslessVariantsOfOneSourceGiveItsSamples) {
    TempDir dir;
    std::vector<int16_t> source = {-32768, 32767, 0, -1, 1, -32767, 256, -256};
    uint32_t noise = 12345;
    while (source.size() < 2 * 3000) {
        noise = noise * 1103515245u + 12345u;
        source.push_back(static_cast<int16_t>(noise >> 16));
    }
    Bytes data;
    for (int16_t v : source)
        PutLe16(data, static_cast<uint16_t>(v));
    const std::string in = dir.file("source.wav");
    WriteBytes(in, Wav({{"fmt ", WavFmt(1, 2, 44100, 16)}, {"data", data}}));
    // Six channels made of the two: L R R L L R.
    std::vector<int16_t> six;
    for (size_t i = 0; i < source.size(); i += 2)
        for (size_t c : {0, 1, 1, 0, 0, 1})
            six.push_back(source[i + c]);

    struct Variant {
        const char* command; // $IN and $OUT stand for the paths
        const char* out;
        int32_t type;
        int32_t bits;
        int32_t encoding;
        bool sixChannels = false;
    };
    const int32_t pcm = kEncodingPcm;
    const int32_t flt = kEncodingFloat;
    const Variant variants[] = {
        // Plain PCM, read before too.
        {"sox -D $IN $OUT", "plain.aif", kAudioFileAiff, 16, pcm},
        {"sndfile-convert -pcm24 $IN $OUT", "plain24.wav", kAudioFileWav, 24, pcm},
        {"sndfile-convert -pcm32 $IN $OUT", "plain32.wav", kAudioFileWav, 32, pcm},
        // sox writes 24- and 32-bit and multichannel WAVs as extensible.
        {"sox -D $IN -b 24 $OUT", "ext24.wav", kAudioFileWav, 24, pcm},
        {"sox -D $IN -b 32 $OUT", "ext32.wav", kAudioFileWav, 32, pcm},
        {"sox -D $IN $OUT remix 1 2 2 1 1 2", "six.wav", kAudioFileWav, 16, pcm, true},
        {"sox -D $IN -e floating-point -b 32 $OUT", "soxf32.wav", kAudioFileWav, 32, flt},
        {"sox -D $IN -e floating-point -b 64 $OUT", "soxf64.wav", kAudioFileWav, 64, flt},
        {"sndfile-convert -float32 $IN $OUT", "sff32.wav", kAudioFileWav, 32, flt},
        {"sndfile-convert -float64 $IN $OUT", "sff64.wav", kAudioFileWav, 64, flt},
        // AIFF-C: "NONE", "sowt", "fl32"/"FL32", "fl64"/"FL64".
        {"sox -D $IN $OUT", "none16.aifc", kAudioFileAiff, 16, pcm},
        {"sox -D $IN -b 24 $OUT", "none24.aifc", kAudioFileAiff, 24, pcm},
        {"sox -D $IN -e floating-point -b 32 $OUT", "soxf32.aifc", kAudioFileAiff, 32, flt},
        {"sox -D $IN -e floating-point -b 64 $OUT", "soxf64.aifc", kAudioFileAiff, 64, flt},
        {"sndfile-convert -float32 $IN $OUT", "sff32.aif", kAudioFileAiff, 32, flt},
        {"sndfile-convert -float64 $IN $OUT", "sff64.aif", kAudioFileAiff, 64, flt},
        {"sndfile-convert -endian=little $IN $OUT", "sowt.aif", kAudioFileAiff, 16, pcm},
        // Compression types beyond those are refused (here libsndfile's 24-bit little-endian).
        {"sndfile-convert -pcm24 -endian=little $IN $OUT", "le24.aif", kAudioFileNone, 0, pcm},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(std::string(v.command) + " -> " + v.out);
        const std::string out = dir.file(v.out);
        std::string command = v.command;
        command.replace(command.find("$IN"), 3, Quote(in));
        command.replace(command.find("$OUT"), 4, Quote(out));
        ASSERT_EQ(testsupport::Run(command + " >/dev/null 2>&1").status, 0);
        const Decoded d = ReadWhole(out, 1000);
        ASSERT_EQ(d.fileType, v.type);
        if (v.type == kAudioFileNone) continue;
        EXPECT_EQ(d.bitsPerSample, v.bits);
        EXPECT_EQ(d.encoding, v.encoding);
        EXPECT_EQ(d.sampleRate, Extended80::FromUInt32(44100));
        EXPECT_EQ(d.channels, v.sixChannels ? 6 : 2);
        EXPECT_EQ(d.frames, 3000u);
        EXPECT_TRUE(d.samples == (v.sixChannels ? six : source));
    }
}

// A few loop points of corpus files, as their chunks give them.
TEST(Interop, CorpusLoopPoints) {
    const Decoded d = ReadWhole(testsupport::CorpusFile("go-audio-wav/flloop.wav"));
    EXPECT_EQ(d.fileType, kAudioFileWav);
    AudioFile file;
    AudioFile* f = &file;
    f->openRead(testsupport::CorpusFile("go-audio-aiff/ring.aif"));
    ASSERT_EQ(f->info().type, kAudioFileAiff);
    EXPECT_LE(f->info().loopStart, f->info().frames);
    EXPECT_LE(f->info().loopEnd, f->info().frames);
    f->close();
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

// Hostile files: every one is refused or read safely, by the reader and by the import job, and
// no allocation is sized by a header field beyond what the file holds.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "AudioFile.h"
#include "AudioFileTestUtil.h"
#include "FileInfo.h"
#include "HostileSupport.h"
#include "JobTestUtil.h"
#include "Jobs.h"
#include "ReSampler.h"
#include "SampleFile.h"
#include "TestSupport.h"

using namespace aftest;
using namespace brelka;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

constexpr size_t kSmallAllocation = 8u << 20; // far below any header-sized block

Bytes Le16Ramp(int n, int channels = 1) {
    Bytes b;
    for (int i = 0; i < n * channels; ++i)
        PutLe16(b, static_cast<uint32_t>(i * 97));
    return b;
}
Bytes Be16Ramp(int n, int channels = 1) {
    Bytes b;
    for (int i = 0; i < n * channels; ++i)
        PutBe16(b, static_cast<uint32_t>(i * 97));
    return b;
}

// A COMM body with the ten rate bytes given as they stand.
Bytes CommWithRate(uint32_t channels, uint32_t frames, uint32_t bits, const Bytes& rate) {
    Bytes b;
    PutBe16(b, channels);
    PutBe32(b, frames);
    PutBe16(b, bits);
    b.insert(b.end(), rate.begin(), rate.end());
    return b;
}
Bytes Rate(std::initializer_list<uint8_t> bytes) {
    return Bytes(bytes);
}
const Bytes kRate8000 = Rate({0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0});

Bytes MarkChunk(uint32_t count, int markers) {
    Bytes b;
    PutBe16(b, count);
    for (int i = 0; i < markers; ++i) {
        PutBe16(b, static_cast<uint32_t>(i + 1));
        PutBe32(b, static_cast<uint32_t>(3 * i));
        b.push_back(3);
        b.insert(b.end(), {'a', 'b', 'c', 0});
    }
    return b;
}
Bytes InstChunk() {
    Bytes b = {60, 0, 0, 127, 1, 127};
    for (uint32_t v : {0u, 1u, 1u, 2u, 0u, 0u, 0u})
        PutBe16(b, v);
    return b;
}

struct Case {
    const char* name;
    Bytes bytes;
    int32_t type;              // what the reader makes of it: 0 refused, 1 AIFF, 2 WAV
    int64_t frames;            // frames when accepted
    JobStatus import;          // what the import job ends with (quality 0)
    int quality = kQualityOff; // the import's conversion
};

std::vector<Case> Cases() {
    const Bytes fmt = WavFmt(1, 1, 8000, 16);
    const Bytes comm = AiffComm(1, 8, 16, 8000);
    std::vector<Case> c;
    auto wav = [](std::vector<Chunk> chunks) { return Wav(chunks); };
    auto aiff = [](std::vector<Chunk> chunks) { return Aiff(chunks); };

    // Sizes of 0xFFFFFFFF and sizes past the end of the file.
    c.push_back({"wav data size 0xFFFFFFFF",
                 wav({{"fmt ", fmt}, {"data", Le16Ramp(8), 0xFFFFFFFF}}), 2, 8, JobStatus::Done});
    {
        Bytes b = wav({{"fmt ", fmt}, {"data", Le16Ramp(8)}});
        std::fill(b.begin() + 4, b.begin() + 8, 0xFF);
        c.push_back({"wav RIFF size 0xFFFFFFFF", b, 2, 8, JobStatus::Done});
    }
    c.push_back({"wav fmt size 0xFFFFFFFF", wav({{"fmt ", fmt, 0xFFFFFFFF}, {"data", Le16Ramp(8)}}),
                 0, 0, JobStatus::SourceError});
    c.push_back({"wav data size past the end", wav({{"fmt ", fmt}, {"data", Le16Ramp(8), 4000}}), 2,
                 8, JobStatus::Done});
    c.push_back({"aiff COMM size 0xFFFFFFFF",
                 aiff({{"COMM", comm, 0xFFFFFFFF}, {"SSND", AiffSsnd(Be16Ramp(8))}}), 1, 0,
                 JobStatus::Done});
    c.push_back({"aiff SSND size 0xFFFFFFFF",
                 aiff({{"COMM", comm}, {"SSND", AiffSsnd(Be16Ramp(8)), 0xFFFFFFFF}}), 1, 8,
                 JobStatus::Done});
    {
        Bytes ssnd = AiffSsnd(Be16Ramp(8));
        std::fill(ssnd.begin(), ssnd.begin() + 4, 0xFF); // offset 0xFFFFFFFF
        c.push_back({"aiff SSND offset 0xFFFFFFFF", aiff({{"COMM", comm}, {"SSND", ssnd}}), 1, 0,
                     JobStatus::Done});
    }
    // A size that brings a 32-bit walk back to the chunk itself (offset + 8 + size = offset
    // modulo 2^32), before and after the format.
    c.push_back({"wav chunk that loops back",
                 wav({{"fmt ", fmt}, {"loop", Bytes(4), 0xFFFFFFF8}, {"data", Le16Ramp(8)}}), 0, 0,
                 JobStatus::SourceError});
    c.push_back({"wav first chunk loops back",
                 wav({{"loop", Bytes(4), 0xFFFFFFF8}, {"fmt ", fmt}, {"data", Le16Ramp(8)}}), 0, 0,
                 JobStatus::SourceError});
    c.push_back(
        {"aiff chunk that loops back",
         aiff({{"COMM", comm}, {"loop", Bytes(4), 0xFFFFFFF8}, {"SSND", AiffSsnd(Be16Ramp(8))}}), 1,
         0, JobStatus::Done});

    // Channel counts.
    c.push_back({"wav 0 channels",
                 wav({{"fmt ", WavFmt(1, 0, 8000, 16, 2)}, {"data", Le16Ramp(8)}}), 0, 0,
                 JobStatus::SourceError});
    c.push_back({"aiff 0 channels",
                 aiff({{"COMM", AiffComm(0, 8, 16, 8000)}, {"SSND", AiffSsnd(Be16Ramp(8))}}), 0, 0,
                 JobStatus::SourceError});
    c.push_back({"wav 65535 channels, one frame",
                 wav({{"fmt ", WavFmt(1, 65535, 8000, 16, 0xFFFE)}, {"data", Le16Ramp(1, 65535)}}),
                 2, 1, JobStatus::Done});
    c.push_back(
        {"aiff 65535 channels, one frame",
         aiff({{"COMM", AiffComm(65535, 1, 16, 8000)}, {"SSND", AiffSsnd(Be16Ramp(1, 65535))}}), 1,
         1, JobStatus::Done});
    c.push_back({"aiff 65535 channels, no data",
                 aiff({{"COMM", AiffComm(65535, 0xFFFFFFFF, 16, 8000)}, {"SSND", AiffSsnd({})}}), 1,
                 0, JobStatus::Done});

    // Frame counts far beyond the data.
    c.push_back(
        {"aiff frame count 0xFFFFFFFF",
         aiff({{"COMM", AiffComm(1, 0xFFFFFFFF, 16, 8000)}, {"SSND", AiffSsnd(Be16Ramp(8))}}), 1, 8,
         JobStatus::Done});
    c.push_back(
        {"aiff stereo frame count 0x80000000",
         aiff({{"COMM", AiffComm(2, 0x80000000, 16, 8000)}, {"SSND", AiffSsnd(Be16Ramp(5, 2))}}), 1,
         5, JobStatus::Done});

    // Rates that are no rate: the reader keeps them, the import job refuses them.
    auto rated = [&](const char* name, const Bytes& rate, JobStatus status, int quality = 0) {
        c.push_back(
            {name, aiff({{"COMM", CommWithRate(1, 8, 16, rate)}, {"SSND", AiffSsnd(Be16Ramp(8))}}),
             1, 8, status, quality});
    };
    rated("rate NaN", Rate({0x7F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0}), JobStatus::SourceError);
    rated("rate NaN, negative", Rate({0xFF, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 1}),
          JobStatus::SourceError);
    rated("rate -infinity", Rate({0xFF, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}), JobStatus::SourceError);
    rated("rate denormal", Rate({0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), JobStatus::SourceError);
    rated("rate zero", Rate({0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), JobStatus::SourceError);
    rated("rate -44100", Rate({0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}), JobStatus::SourceError);
    rated("rate unnormal (integer bit clear)", Rate({0x40, 0x0E, 0x2C, 0x44, 0, 0, 0, 0, 0, 0}),
          JobStatus::Done);
    // Rates that are numbers, however odd: imported, with and without conversion.
    rated("rate +infinity", Rate({0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}), JobStatus::Done);
    rated("rate +infinity, Simple", Rate({0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}), JobStatus::Done,
          kQualitySimple);
    rated("rate 2^16383", Rate({0x7F, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
          JobStatus::Done, kQualitySimple);
    rated("rate 1 Hz", Rate({0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}), JobStatus::Done);
    rated("rate 1 Hz, Simple", Rate({0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}), JobStatus::Done,
          kQualitySimple);
    rated("rate 1.5 Hz, Simple", Rate({0x3F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0}), JobStatus::Done,
          kQualitySimple);
    rated("rate 0.5 Hz", Rate({0x3F, 0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0}), JobStatus::SourceError);

    // Marker counts negative or huge, names running out of the chunk.
    auto marked = [&](const char* name, const Bytes& mark) {
        c.push_back({name,
                     aiff({{"COMM", comm},
                           {"MARK", mark},
                           {"INST", InstChunk()},
                           {"SSND", AiffSsnd(Be16Ramp(8))}}),
                     1, 8, JobStatus::Done});
    };
    marked("marker count -32768", MarkChunk(0x8000, 2));
    marked("marker count -1", MarkChunk(0xFFFF, 2));
    marked("marker count 32767 in a small chunk", MarkChunk(0x7FFF, 2));
    {
        Bytes mark = MarkChunk(2, 2);
        mark[8] = 0xFF; // the first name claims 255 letters
        marked("marker name past the chunk", mark);
    }
    c.push_back({"aiff MARK size 0xFFFFFFFF",
                 aiff({{"COMM", comm},
                       {"SSND", AiffSsnd(Be16Ramp(8))},
                       {"MARK", MarkChunk(3, 3), 0xFFFFFFFF}}),
                 1, 8, JobStatus::Done});
    // Odd things in the format.
    c.push_back({"wav data before fmt", wav({{"data", Le16Ramp(8)}, {"fmt ", fmt}}), 0, 0,
                 JobStatus::SourceError});
    c.push_back({"wav 0 bits", wav({{"fmt ", WavFmt(1, 1, 8000, 0, 2)}, {"data", Le16Ramp(8)}}), 0,
                 0, JobStatus::SourceError});
    c.push_back({"wav 65535 bits",
                 wav({{"fmt ", WavFmt(1, 1, 8000, 65535, 2)}, {"data", Le16Ramp(8)}}), 0, 0,
                 JobStatus::SourceError});
    c.push_back({"wav rate 0", wav({{"fmt ", WavFmt(1, 1, 0, 16)}, {"data", Le16Ramp(8)}}), 2, 8,
                 JobStatus::SourceError});
    c.push_back({"wav rate 0xFFFFFFFF, Simple",
                 wav({{"fmt ", WavFmt(1, 1, 0xFFFFFFFF, 16)}, {"data", Le16Ramp(8)}}), 2, 8,
                 JobStatus::Done, kQualitySimple});
    c.push_back({"aiff-c form, COMM without compression",
                 Aiff({{"COMM", comm}, {"SSND", AiffSsnd(Be16Ramp(8))}}, "AIFC"), 0, 0,
                 JobStatus::SourceError});

    // Extensible, float and AIFF-C layouts.
    const Bytes ext24 = WavFmtExtensible(1, 2, 8000, 32, 24);
    c.push_back({"extensible fmt size 0xFFFFFFFF",
                 wav({{"fmt ", ext24, 0xFFFFFFFF}, {"data", Le16Ramp(8, 4)}}), 0, 0,
                 JobStatus::SourceError});
    c.push_back({"extensible fmt cut inside the extension",
                 wav({{"fmt ", Bytes(ext24.begin(), ext24.begin() + 30)}, {"data", Le16Ramp(8)}}),
                 0, 0, JobStatus::SourceError});
    c.push_back({"extensible 24 in 32, data size past the end",
                 wav({{"fmt ", ext24}, {"data", Le16Ramp(8, 4), 0xFFFFFFF0}}), 2, 8,
                 JobStatus::Done});
    c.push_back({"extensible float, 65535 channels, one frame",
                 wav({{"fmt ", WavFmtExtensible(3, 65535, 8000, 32, 32)},
                      {"data", Le16Ramp(1, 2 * 65535)}}),
                 2, 1, JobStatus::Done});
    {
        Bytes specials; // NaN, infinities, the largest and a denormal double, twice over
        for (uint32_t hi : {0x7FF80000u, 0x7FF00000u, 0xFFF00000u, 0x7FEFFFFFu, 0x00000000u,
                            0xFFF80001u, 0x80000000u, 0x3FF00000u}) {
            PutLe32(specials, hi == 0x7FEFFFFFu ? 0xFFFFFFFFu : 1u);
            PutLe32(specials, hi);
        }
        c.push_back({"float NaN, infinities and extremes",
                     wav({{"fmt ", WavFmt(3, 1, 8000, 64)}, {"data", specials}}), 2, 8,
                     JobStatus::Done});
    }
    c.push_back({"aiff-c fl64 frame count 0xFFFFFFFF",
                 Aiff({{"COMM", AifcComm(2, 0xFFFFFFFF, 64, 8000, "fl64")},
                       {"SSND", AiffSsnd(Be16Ramp(8, 4))}},
                      "AIFC"),
                 1, 4, JobStatus::Done});
    c.push_back(
        {"aiff-c sowt 65535 channels, no data",
         Aiff({{"COMM", AifcComm(65535, 0xFFFFFFFF, 24, 8000, "sowt")}, {"SSND", AiffSsnd({})}},
              "AIFC"),
         1, 0, JobStatus::Done});
    c.push_back({"empty file", {}, 0, 0, JobStatus::SourceError});
    c.push_back({"bare RIFF header",
                 Bytes{'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E'}, 0, 0,
                 JobStatus::SourceError});
    return c;
}

// A slot file as the import job writes it: header area, samples padded to 512.
void ExpectValidSlot(const std::string& path, int64_t samples) {
    const Bytes b = ReadBytes(path);
    ASSERT_GE(b.size(), 512u);
    EXPECT_TRUE(HasSampleHeader(path));
    EXPECT_EQ((b.size() - 512) % 1024, 0u);
    EXPECT_EQ(static_cast<int64_t>(b.size()), 512 + 2 * samples);
}

// The reader on a file: refused (with no stream) or every field within the file, and a read of
// every frame gives exactly `frames` frames.
void ExpectReadSafely(const std::string& path, int32_t type, int64_t frames) {
    const auto size = static_cast<int64_t>(testsupport::FileSize(path));
    AudioFile file;
    AudioFile* f = &file;
    f->openRead(path);
    EXPECT_EQ(f->info().type, type);
    if (f->info().type == kAudioFileNone) {
        EXPECT_FALSE(f->isOpen());
        f->close();
        return;
    }
    EXPECT_EQ(static_cast<int64_t>(f->info().frames), frames);
    EXPECT_LE(int64_t{f->info().frames} * f->info().channels * f->bytesPerSample(), size);
    const int32_t block = std::max(1, std::min(4096, 65536 / f->info().channels));
    std::vector<int16_t> buf(static_cast<size_t>(block) * static_cast<size_t>(f->info().channels));
    int64_t total = 0;
    ASSERT_EQ(f->seekFrame(0), 0);
    for (int32_t got = 1; got > 0;) {
        got = f->readFrames(block, buf.data());
        ASSERT_GE(got, 0);
        total += got;
    }
    EXPECT_EQ(total, frames * f->info().channels);
    f->close();
}

} // namespace

TEST(HostileFiles, EachIsRefusedOrReadSafely) {
    TempDir sources;
    TempDir card;
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const std::string path = sources.file("hostile.aif");
        WriteBytes(path, c.bytes);
        const size_t readPeak =
            hostile::LargestAllocation([&] { ExpectReadSafely(path, c.type, c.frames); });
        EXPECT_LT(readPeak, kSmallAllocation);

        ImportOutcome out;
        const size_t importPeak = hostile::LargestAllocation(
            [&] { out = hostile::ImportOver(path, card.path(), c.quality); });
        EXPECT_LT(importPeak, kSmallAllocation) << "an allocation sized by the header";
        EXPECT_EQ(out.status, c.import) << JobMessage(out.status);
        EXPECT_EQ(jobtest::FolderNames(card.path()), std::vector<std::string>{"SAMPLE00.BIN"});
        // The convert job, the preview's lines and the source check give the import's verdict.
        const bool refused = out.status == JobStatus::SourceError;
        AudioFile probe;
        EXPECT_EQ(OpenSource(probe, path) != kAudioFileOk, refused);
        probe.close();
        EXPECT_EQ(DescribeAudioPath(path).known, !refused);
        ConvertRequest convert;
        convert.sourcePath = path;
        convert.destPath = sources.file("out.wav");
        convert.quality = kQualityOff;
        CReSampler none("");
        EXPECT_EQ(RunConvert(convert, none).status == JobStatus::SourceError, refused);
        if (out.status == JobStatus::SourceError) {
            EXPECT_STREQ(JobMessage(out.status), "Source File error.");
            EXPECT_EQ(ReadBytes(card.file("SAMPLE00.BIN")), hostile::OldSlotBytes());
        } else if (out.status == JobStatus::Done) {
            ExpectValidSlot(card.file("SAMPLE00.BIN"), out.samplesWritten);
            if (c.quality == kQualityOff) {
                EXPECT_EQ(out.samplesWritten, (c.frames + 511) / 512 * 512);
            }
        }
    }
}

// A source of 1 Hz converted to 31250 Hz makes 31250 samples of every frame: the job writes
// them all, in calls whose output stays small.
TEST(HostileFiles, ALowRateSourceIsConvertedInSmallCalls) {
    TempDir sources;
    TempDir card;
    const Bytes rate1 = Rate({0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0});
    WriteBytes(sources.file("slow.aif"), Aiff({{"COMM", CommWithRate(1, 100, 16, rate1)},
                                               {"SSND", AiffSsnd(Be16Ramp(100))}}));
    ImportOutcome out;
    const size_t peak = hostile::LargestAllocation(
        [&] { out = hostile::ImportOver(sources.file("slow.aif"), card.path(), kQualitySimple); });
    ASSERT_EQ(out.status, JobStatus::Done);
    EXPECT_GE(out.samplesWritten, 99 * 31250);
    EXPECT_LT(out.samplesWritten, 104 * 31250 + 512); // with the flush of the delay
    ExpectValidSlot(card.file("SAMPLE00.BIN"), out.samplesWritten);
    EXPECT_LT(peak, kSmallAllocation);
    // The same slot as one made of the whole source in a single call of the converter.
    CReSampler one("");
    one.Setting(1, kDeviceRate, false, kQualitySimple);
    one.Begin();
    std::vector<int16_t> in(100), whole(static_cast<size_t>(102 * 31250));
    for (int i = 0; i < 100; ++i)
        in[static_cast<size_t>(i)] = static_cast<int16_t>(i * 97);
    const int32_t m = one.Exec(in.data(), whole.data(), 100);
    one.End();
    const auto slot = jobtest::SlotSamples(card.file("SAMPLE00.BIN"));
    ASSERT_GE(slot.size(), static_cast<size_t>(m));
    EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + m, slot.begin()));
}

// Cut at every byte, each layout gives the whole frames before the cut, or is refused.
TEST(HostileFiles, TruncatedAtEveryByte) {
    TempDir sources;
    TempDir card;
    struct Layout {
        const char* name;
        Bytes file;
        size_t frameBytes;
        size_t refusedBelow; // a WAV until its data chunk header is in; an AIFF until its COMM
    };
    const Bytes le = Le16Ramp(40, 2);
    const Bytes be = Be16Ramp(40, 2);
    const std::vector<Layout> layouts = {
        {"wav", Wav({{"fmt ", WavFmt(1, 2, 31250, 16)}, {"data", le}}), 4, 12 + 8 + 16 + 8},
        {"extensible 24 in 32",
         Wav({{"fmt ", WavFmtExtensible(1, 2, 31250, 32, 24)}, {"data", le}}), 8, 12 + 8 + 40 + 8},
        {"float", Wav({{"fmt ", WavFmt(3, 1, 31250, 64)}, {"data", le}}), 8, 12 + 8 + 16 + 8},
        {"aiff",
         Aiff({{"COMM", AiffComm(2, 40, 16, 31250)},
               {"MARK", MarkChunk(2, 2)},
               {"INST", InstChunk()},
               {"SSND", AiffSsnd(be)}}),
         4, 12 + 8 + 18 + 1},
        {"aiff-c fl32",
         Aiff({{"COMM", AifcComm(2, 20, 32, 31250, "fl32")},
               {"MARK", MarkChunk(2, 2)},
               {"SSND", AiffSsnd(be)}},
              "AIFC"),
         8, 12 + 8 + 22 + 1},
    };
    for (const Layout& l : layouts) {
        const size_t dataAt = l.file.size() - le.size();
        for (size_t cut = 0; cut <= l.file.size(); ++cut) {
            SCOPED_TRACE(std::string(l.name) + " cut at " + std::to_string(cut));
            const std::string path = sources.file("cut");
            WriteBytes(path, Bytes(l.file.begin(), l.file.begin() + static_cast<long>(cut)));
            const auto out = hostile::ImportOver(path, card.path());
            if (out.status == JobStatus::SourceError) {
                EXPECT_EQ(ReadBytes(card.file("SAMPLE00.BIN")), hostile::OldSlotBytes());
                EXPECT_LT(cut, l.refusedBelow);
                continue;
            }
            ASSERT_EQ(out.status, JobStatus::Done);
            const auto whole =
                cut > dataAt ? static_cast<int64_t>((cut - dataAt) / l.frameBytes) : 0;
            EXPECT_EQ(out.framesRead, whole);
            ExpectValidSlot(card.file("SAMPLE00.BIN"), (whole + 511) / 512 * 512);
        }
    }
}

// Files that crashed other readers, and every file of the corpus: refused or imported whole.
TEST(HostileFiles, CorpusAndCrashFiles) {
    TempDir card;
    std::vector<std::string> files = testsupport::CorpusAudioFiles();
    for (const auto& e : std::filesystem::directory_iterator(testsupport::CorpusFile("hound/fuzz")))
        files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    ASSERT_GT(files.size(), 40u);
    for (const auto& path : files) {
        SCOPED_TRACE(path);
        ImportOutcome out;
        const size_t peak =
            hostile::LargestAllocation([&] { out = hostile::ImportOver(path, card.path()); });
        EXPECT_LT(peak, kSmallAllocation);
        if (out.status == JobStatus::SourceError) {
            EXPECT_EQ(ReadBytes(card.file("SAMPLE00.BIN")), hostile::OldSlotBytes());
        } else {
            ASSERT_EQ(out.status, JobStatus::Done);
            ExpectValidSlot(card.file("SAMPLE00.BIN"), out.samplesWritten);
        }
    }
}

// A folder where a file is expected: as the source, and at the slot's name.
TEST(HostileFiles, AFolderWhereAFileIsExpected) {
    TempDir sources;
    TempDir card;
    std::filesystem::create_directory(sources.file("folder.wav"));
    auto out = hostile::ImportOver(sources.file("folder.wav"), card.path());
    EXPECT_EQ(out.status, JobStatus::SourceError);
    EXPECT_EQ(ReadBytes(card.file("SAMPLE00.BIN")), hostile::OldSlotBytes());
    AudioFile file;
    AudioFile* f = &file;
    f->openRead(sources.file("folder.wav"));
    EXPECT_EQ(f->info().type, kAudioFileNone);
    EXPECT_FALSE(f->isOpen());
    f->close();

    // A folder named like a slot: not listed, no length, not exported; an import cannot put
    // the new slot in its place and leaves it as it was.
    const std::string slotDir = card.file("SAMPLE04.BIN");
    std::filesystem::create_directory(slotDir);
    EXPECT_FALSE(HasSampleHeader(slotDir));
    EXPECT_EQ(SlotLengthText(slotDir), "---:--:---");
    EXPECT_EQ(FileSizeOf(slotDir), -1);
    EXPECT_EQ(ScanSampleFolder(card.path()), std::vector<std::string>{"01"});
    CReSampler rs("");
    ExportRequest ex;
    ex.folder = card.path();
    ex.slotText = "5";
    ex.destPath = sources.file("out.wav");
    EXPECT_EQ(RunExport(ex, rs).status, JobStatus::SampleError);
    EXPECT_FALSE(testsupport::FileExists(sources.file("out.wav")));

    jobtest::SoxWrite(sources.file("ok.wav"), jobtest::Noise(600, 1), 31250, 1);
    ImportRequest im;
    im.sourcePath = sources.file("ok.wav");
    im.folder = card.path();
    im.slotText = "5";
    out = RunImport(im, rs);
    EXPECT_EQ(out.status, JobStatus::WriteError);
    EXPECT_STREQ(JobMessage(out.status), "File write error.");
    EXPECT_TRUE(std::filesystem::is_directory(slotDir));
    EXPECT_EQ(jobtest::FolderNames(card.path()),
              (std::vector<std::string>{"SAMPLE00.BIN", "SAMPLE04.BIN"}));
}

#if !defined(_WIN32) // named pipes and permission bits of POSIX
// A named pipe where a file is expected must not block the program (an open for reading would
// wait for a writer). Run in a child with an alarm, so a hang fails the test instead of the run.
TEST(HostileFiles, ANamedPipeWhereAFileIsExpected) {
    TempDir sources;
    TempDir card;
    ASSERT_EQ(mkfifo(sources.file("pipe.wav").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(card.file("SAMPLE02.BIN").c_str(), 0600), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(20);
        int bad = 0;
        AudioFile file;
        AudioFile* f = &file;
        f->openRead(sources.file("pipe.wav"));
        bad |= f->info().type != kAudioFileNone ? 1 : 0;
        f->close();
        bad |= DescribeAudioPath(sources.file("pipe.wav")).known ? 2 : 0;
        const auto out = hostile::ImportOver(sources.file("pipe.wav"), card.path());
        bad |= out.status != JobStatus::SourceError ? 4 : 0;
        bad |= HasSampleHeader(card.file("SAMPLE02.BIN")) ? 8 : 0;
        bad |= SlotLengthText(card.file("SAMPLE02.BIN")) != "---:--:---" ? 16 : 0;
        bad |= ScanSampleFolder(card.path()) != std::vector<std::string>{"01"} ? 32 : 0;
        CReSampler rs("");
        ExportRequest ex;
        ex.folder = card.path();
        ex.slotText = "3";
        ex.destPath = sources.file("out.wav");
        bad |= RunExport(ex, rs).status != JobStatus::SampleError ? 64 : 0;
        _exit(bad);
    }
    int st = 0;
    waitpid(child, &st, 0);
    ASSERT_TRUE(WIFEXITED(st)) << "the child hung on the pipe (alarm) or crashed";
    EXPECT_EQ(WEXITSTATUS(st), 0) << "failed checks, as bits";
}

// A file nobody may read. Root reads it anyway, so there the case cannot be made.
TEST(HostileFiles, AnUnreadableSource) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads files without read permission";
    TempDir sources;
    TempDir card;
    jobtest::SoxWrite(sources.file("locked.wav"), jobtest::Noise(600, 2), 31250, 1);
    ASSERT_EQ(chmod(sources.file("locked.wav").c_str(), 0), 0);
    EXPECT_EQ(hostile::ImportOver(sources.file("locked.wav"), card.path()).status,
              JobStatus::SourceError);
    EXPECT_EQ(ReadBytes(card.file("SAMPLE00.BIN")), hostile::OldSlotBytes());
}
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "JobTestUtil.h"
#include "Jobs.h"
#include "ReSampler.h"
#include "SampleFile.h"
#include "SoundPrep.h"
#include "TestSupport.h"

using namespace brelka;
using jobtest::SlotSamples;
using testsupport::TempDir;

namespace {

ImportOutcome Import(const std::string& source, const std::string& folder, const std::string& slot,
                     int channel = kChannelMix, int quality = 0, const JobProgress& p = {}) {
    CReSampler rs;
    ImportRequest r;
    r.sourcePath = source;
    r.folder = folder;
    r.slotText = slot;
    r.channel = channel;
    r.quality = quality;
    return RunImport(r, rs, p);
}

std::vector<int16_t> Channel(const std::vector<int16_t>& interleaved, int channels, int ch) {
    std::vector<int16_t> out;
    for (size_t i = static_cast<size_t>(ch); i < interleaved.size();
         i += static_cast<size_t>(channels))
        out.push_back(interleaved[i]);
    return out;
}

int16_t Mix(int l, int r) {
    double v = std::trunc((l + r) * 0.75);
    return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

// A PCM WAV of any channel count, built byte by byte.
void WritePcmWav(const std::string& path, const std::vector<int16_t>& s, int rate, int channels) {
    std::vector<uint8_t> b;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](uint32_t v) {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
    const auto dataBytes = static_cast<uint32_t>(s.size() * 2);
    tag("RIFF");
    u32(36 + dataBytes);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);
    u16(static_cast<uint32_t>(channels));
    u32(static_cast<uint32_t>(rate));
    u32(static_cast<uint32_t>(rate * channels * 2));
    u16(static_cast<uint32_t>(channels * 2));
    u16(16);
    tag("data");
    u32(dataBytes);
    for (int16_t v : s)
        u16(static_cast<uint16_t>(v));
    testsupport::WriteBytes(path, b);
}

} // namespace

TEST(ImportJob, ShortSourcesArriveWholeAndPadded) {
    TempDir dir;
    for (size_t frames : {100u, 10000u}) {
        const auto in = jobtest::Noise(frames, 1);
        jobtest::SoxWrite(dir.file("in.wav"), in, 31250, 1);
        auto out = Import(dir.file("in.wav"), dir.path(), "3");
        ASSERT_EQ(out.status, JobStatus::Done);
        EXPECT_TRUE(testsupport::FileExists(dir.file("SAMPLE02.BIN")));
        const auto slot = SlotSamples(out.slotPath);
        const size_t padded = (frames + 511) / 512 * 512;
        ASSERT_EQ(slot.size(), padded);
        EXPECT_EQ(testsupport::FileSize(out.slotPath), static_cast<int64_t>(512 + 2 * padded));
        EXPECT_TRUE(std::equal(in.begin(), in.end(), slot.begin()));
        EXPECT_TRUE(std::all_of(slot.begin() + static_cast<long>(frames), slot.end(),
                                [](int16_t v) { return v == 0; }));
        EXPECT_TRUE(HasSampleHeader(out.slotPath));
    }
}

TEST(ImportJob, ChannelChoiceOnACorpusKick) {
    TempDir dir;
    const std::string kick = testsupport::CorpusFile("go-audio-wav/kick-16b441k.wav");
    const auto sox = jobtest::SoxRead(kick);
    const auto l = Channel(sox, 2, 0), r = Channel(sox, 2, 1);
    ASSERT_EQ(l.size(), 7782u);
    for (int ch : {kChannelL, kChannelR, kChannelMix}) {
        auto out = Import(kick, dir.path(), "01", ch);
        ASSERT_EQ(out.status, JobStatus::Done);
        const auto slot = SlotSamples(out.slotPath);
        ASSERT_EQ(slot.size(), 8192u); // all 7782 frames, padded
        for (size_t i = 0; i < l.size(); ++i) {
            const int16_t want = ch == kChannelL ? l[i] : ch == kChannelR ? r[i] : Mix(l[i], r[i]);
            ASSERT_EQ(slot[i], want) << "channel " << ch << " frame " << i;
        }
    }
}

TEST(ImportJob, MixScalesTruncatesAndClips) {
    TempDir dir;
    const std::vector<int16_t> pairs = {20000, 20000, 30000, 30000, -32768, -32768,
                                        1,     0,     -1,    0,     32767,  -32768};
    jobtest::SoxWrite(dir.file("mix.wav"), pairs, 31250, 2);
    auto out = Import(dir.file("mix.wav"), dir.path(), "1", kChannelMix);
    ASSERT_EQ(out.status, JobStatus::Done);
    const auto slot = SlotSamples(out.slotPath);
    const std::vector<int16_t> want = {30000, 32767, -32768, 0, 0, 0};
    EXPECT_TRUE(std::equal(want.begin(), want.end(), slot.begin()));
}

TEST(ImportJob, MonoIgnoresTheChannelAndWideSourcesUseTheFirstTwo) {
    TempDir dir;
    const auto mono = jobtest::Noise(3000, 2);
    jobtest::SoxWrite(dir.file("mono.aif"), mono, 31250, 1);
    auto out = Import(dir.file("mono.aif"), dir.path(), "2", kChannelR);
    ASSERT_EQ(out.status, JobStatus::Done);
    auto slot = SlotSamples(out.slotPath);
    EXPECT_TRUE(std::equal(mono.begin(), mono.end(), slot.begin()));

    // Three channels: 0 and 1 are L and R; the third never leaks in.
    std::vector<int16_t> three;
    for (int i = 0; i < 5000; ++i) {
        three.push_back(static_cast<int16_t>(i));
        three.push_back(static_cast<int16_t>(-i));
        three.push_back(12345);
    }
    WritePcmWav(dir.file("three.wav"), three, 31250, 3);
    for (int ch : {kChannelL, kChannelR, kChannelMix}) {
        out = Import(dir.file("three.wav"), dir.path(), "4", ch);
        ASSERT_EQ(out.status, JobStatus::Done);
        slot = SlotSamples(out.slotPath);
        for (int i = 0; i < 5000; ++i) {
            const int16_t want = ch == kChannelL   ? static_cast<int16_t>(i)
                                 : ch == kChannelR ? static_cast<int16_t>(-i)
                                                   : Mix(i, -i);
            ASSERT_EQ(slot[static_cast<size_t>(i)], want) << ch << " " << i;
        }
    }
}

// The last input frame reaches the slot at every quality: the converter is flushed.
TEST(ImportJob, AnImpulseInTheLastFrameArrivesAtEveryQuality) {
    TempDir dir;
    std::vector<int16_t> in(5000, 0);
    in.back() = 30000;
    jobtest::SoxWrite(dir.file("imp.wav"), in, 44100, 1);
    CReSampler probe;
    for (int q = kQualitySimple; q <= kQualityUltraHeavy; ++q) {
        if (q >= kQualityLight && !probe.available()) continue;
        auto out = Import(dir.file("imp.wav"), dir.path(), "5", kChannelMix, q);
        ASSERT_EQ(out.status, JobStatus::Done) << q;
        const auto slot = SlotSamples(out.slotPath);
        EXPECT_EQ(slot.size() % 512, 0u);
        const auto peak = std::max_element(slot.begin(), slot.end());
        EXPECT_GT(*peak, 5000) << "quality " << q;
        // The impulse sits where the input frame 4999 lands at 31250 Hz, plus the delay.
        const auto at = static_cast<double>(peak - slot.begin());
        EXPECT_GT(at, 4999 * 31250.0 / 44100 - 2) << q;
        EXPECT_LT(at, 4999 * 31250.0 / 44100 + 700) << q;
    }
}

TEST(ImportJob, SlotTextAndReplacement) {
    TempDir dir;
    jobtest::WriteSlot(dir.file("SAMPLE59.BIN"), jobtest::Noise(9000, 3));
    jobtest::SoxWrite(dir.file("in.wav"), jobtest::Noise(600, 4), 31250, 1);
    auto out = Import(dir.file("in.wav"), dir.path(), "75");
    ASSERT_EQ(out.status, JobStatus::Done);
    EXPECT_EQ(out.slot, 60);
    EXPECT_EQ(testsupport::FileSize(dir.file("SAMPLE59.BIN")), 512 + 2 * 1024);
    EXPECT_EQ(jobtest::FolderNames(dir.path()),
              (std::vector<std::string>{"SAMPLE59.BIN", "in.wav"}));
}

TEST(ImportJob, RefusedSourcesLeaveTheSlotAlone) {
    TempDir dir;
    const auto old = jobtest::Noise(1024, 5);
    jobtest::WriteSlot(dir.file("SAMPLE00.BIN"), old);
    const auto before = testsupport::ReadBytes(dir.file("SAMPLE00.BIN"));

    testsupport::WriteBytes(dir.file("junk.wav"), std::vector<uint8_t>(300, 0x41));
    // An AIFF that claims half a hertz.
    std::vector<uint8_t> aiff = {'F', 'O', 'R',  'M',  0,    0, 0,  46, 'A', 'I', 'F', 'F', 'C',
                                 'O', 'M', 'M',  0,    0,    0, 18, 0,  1,   0,   0,   0,   4,
                                 0,   16,  0x3F, 0xFE, 0x80, 0, 0,  0,  0,   0,   0,   0,   'S',
                                 'S', 'N', 'D',  0,    0,    0, 16, 0,  0,   0,   0,   0,   0,
                                 0,   0,   1,    2,    3,    4, 5,  6,  7,   8};
    testsupport::WriteBytes(dir.file("slow.aif"), aiff);
    for (const char* name : {"missing.wav", "junk.wav", "slow.aif"}) {
        auto out = Import(dir.file(name), dir.path(), "1");
        EXPECT_EQ(out.status, JobStatus::SourceError) << name;
        EXPECT_STREQ(JobMessage(out.status), "Source File error.");
        EXPECT_EQ(testsupport::ReadBytes(dir.file("SAMPLE00.BIN")), before);
    }
    // A folder that does not exist cannot take the slot file.
    jobtest::SoxWrite(dir.file("ok.wav"), jobtest::Noise(100, 6), 31250, 1);
    auto out = Import(dir.file("ok.wav"), dir.file("nowhere"), "1");
    EXPECT_EQ(out.status, JobStatus::CreateError);
    EXPECT_STREQ(JobMessage(out.status), "File create error.");
}

TEST(ImportJob, ProgressAndAbort) {
    TempDir dir;
    const auto in = jobtest::Noise(3 * 4096 + 5, 7);
    jobtest::SoxWrite(dir.file("in.wav"), in, 31250, 1);
    std::vector<std::pair<int, int>> seen;
    std::vector<std::string> stages;
    JobProgress p;
    p.preparing = [&] { stages.push_back("preparing"); };
    p.started = [&](int n) { stages.push_back("started " + std::to_string(n)); };
    p.block = [&](int k, int n) {
        seen.emplace_back(k, n);
        return false;
    };
    p.closing = [&] { stages.push_back("closing"); };
    auto out = Import(dir.file("in.wav"), dir.path(), "1", kChannelMix, 0, p);
    ASSERT_EQ(out.status, JobStatus::Done);
    EXPECT_EQ(stages, (std::vector<std::string>{"preparing", "started 4", "closing"}));
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{0, 4}, {1, 4}, {2, 4}, {3, 4}}));

    p.block = [](int k, int) { return k == 1; };
    out = Import(dir.file("in.wav"), dir.path(), "1", kChannelMix, kQualitySimple, p);
    EXPECT_EQ(out.status, JobStatus::Aborted);
    const auto slot = SlotSamples(out.slotPath);
    EXPECT_EQ(slot.size() % 512, 0u);
    EXPECT_GE(slot.size(), 2u * 2903u);
    EXPECT_LT(slot.size(), 3u * 2903u);

    // Something that throws inside the job (a converter, a callback) leaves the slot as it was
    // and no temporary file on the card.
    const auto before = testsupport::ReadBytes(out.slotPath);
    p.block = [](int k, int) -> bool {
        if (k == 2) throw std::runtime_error("converter failed");
        return false;
    };
    EXPECT_THROW(Import(dir.file("in.wav"), dir.path(), "1", kChannelMix, 0, p),
                 std::runtime_error);
    EXPECT_EQ(testsupport::ReadBytes(out.slotPath), before);
    EXPECT_EQ(jobtest::FolderNames(dir.path()),
              (std::vector<std::string>{"SAMPLE00.BIN", "in.wav"}));
}

// A prepared source is read and made ready a few blocks ahead of the import on a thread of its
// own: the slot holds what the two passes give over the whole signal at once, and an import
// stopped part of the way (aborted, or by a throw) ends that thread and keeps what was written.
TEST(ImportJob, APreparedSourceReadAheadGivesTheWholeSignalAndEndsWithTheJob) {
    TempDir dir;
    // Several read-ahead blocks and an odd remainder, with quiet ends for the trim.
    const size_t frames = 5 * 16384 + 123;
    auto in = jobtest::Noise(2 * frames, 11);
    std::fill(in.begin(), in.begin() + 2 * 3000, int16_t{0});
    std::fill(in.end() - 2 * 2000, in.end(), int16_t{3});
    jobtest::SoxWrite(dir.file("in.wav"), in, 31250, 2);
    ImportRequest r;
    r.sourcePath = dir.file("in.wav");
    r.folder = dir.path();
    r.slotText = "1";
    r.prep.trimDb = kDefaultTrimDb;
    r.prep.normalizeDb = -1.0;
    r.prep.fadeInMs = 5.0;
    r.prep.fadeOutMs = 20.0;
    r.prep.dither = true;

    std::vector<double> mix(frames);
    for (size_t i = 0; i < frames; ++i)
        mix[i] = (static_cast<double>(in[2 * i]) + static_cast<double>(in[2 * i + 1])) * 0.75;
    SignalScan scan(LevelFromDb(*r.prep.trimDb));
    scan.Add(mix.data(), frames);
    PrepProcessor processor(PlanPrep(scan, r.prep, 31250.0, false));
    std::vector<int16_t> expected;
    processor.Process(mix.data(), frames, expected);
    ASSERT_LT(expected.size(), frames - 4000);

    CReSampler rs;
    auto out = RunImport(r, rs, {});
    ASSERT_EQ(out.status, JobStatus::Done);
    EXPECT_EQ(out.clipped, processor.clipped());
    auto slot = SlotSamples(out.slotPath);
    ASSERT_GE(slot.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), slot.begin()));

    JobProgress p;
    p.block = [](int k, int) { return k == 1; };
    out = RunImport(r, rs, p);
    EXPECT_EQ(out.status, JobStatus::Aborted);
    slot = SlotSamples(out.slotPath);
    ASSERT_GE(slot.size(), 2u * 4096u);
    EXPECT_TRUE(std::equal(slot.begin(), slot.begin() + 2 * 4096, expected.begin()));

    const auto before = testsupport::ReadBytes(out.slotPath);
    p.block = [](int k, int) -> bool {
        if (k == 2) throw std::runtime_error("converter failed");
        return false;
    };
    EXPECT_THROW(RunImport(r, rs, p), std::runtime_error);
    EXPECT_EQ(testsupport::ReadBytes(out.slotPath), before);
}

#if !defined(_WIN32) // a full card by a file size limit of POSIX
// A card that fills up: the job says so, the old slot stays and no partial file remains.
TEST(ImportJob, AFullCardKeepsThePreviousSlot) {
    TempDir dir;
    const auto old = jobtest::Noise(512, 8);
    jobtest::WriteSlot(dir.file("SAMPLE00.BIN"), old);
    const auto before = testsupport::ReadBytes(dir.file("SAMPLE00.BIN"));
    jobtest::SoxWrite(dir.file("in.wav"), jobtest::Noise(40000, 9), 31250, 1);

    EXPECT_TRUE(jobtest::InChildWithFileSizeLimit(20000, [&] {
        return Import(dir.file("in.wav"), dir.path(), "1").status == JobStatus::WriteError;
    })) << "the job did not end with a write error";
    EXPECT_STREQ(JobMessage(JobStatus::WriteError), "File write error.");
    EXPECT_EQ(testsupport::ReadBytes(dir.file("SAMPLE00.BIN")), before);
    EXPECT_EQ(jobtest::FolderNames(dir.path()),
              (std::vector<std::string>{"SAMPLE00.BIN", "in.wav"}));
}
#endif

// A converter that refuses the job ends it with "Rate conversion error." and its own code, the
// slot as it was and no temporary file: a rate pair the engine cannot hold in memory, a quality
// it does not know (refused by the setting, before anything starts), and no engine at all.
TEST(ImportJob, RefusedConversionsCarryTheConvertersCode) {
    TempDir dir;
    jobtest::WriteSlot(dir.file("SAMPLE00.BIN"), jobtest::Noise(512, 10));
    const auto before = testsupport::ReadBytes(dir.file("SAMPLE00.BIN"));
    WritePcmWav(dir.file("odd.wav"), jobtest::Noise(5000, 11), 1999993, 1); // a prime rate
    WritePcmWav(dir.file("plain.wav"), jobtest::Noise(5000, 12), 44100, 1);
    auto expectRefused = [&](const ImportOutcome& out, int32_t code) {
        EXPECT_EQ(out.status, JobStatus::ConvertError);
        EXPECT_EQ(out.convertCode, code);
        EXPECT_STREQ(JobMessage(out.status), "Rate conversion error.");
        EXPECT_EQ(testsupport::ReadBytes(dir.file("SAMPLE00.BIN")), before);
        EXPECT_EQ(jobtest::FolderNames(dir.path()),
                  (std::vector<std::string>{"SAMPLE00.BIN", "odd.wav", "plain.wav"}));
    };
    CReSampler none("");
    ImportRequest request;
    request.sourcePath = dir.file("plain.wav");
    request.folder = dir.path();
    request.slotText = "1";
    request.quality = kQualityHeavy;
    expectRefused(RunImport(request, none), QMX_NOT_LOADED);

    CReSampler probe;
    if (!probe.available()) GTEST_SKIP() << "no engine library";
    expectRefused(Import(dir.file("odd.wav"), dir.path(), "1", kChannelMix, kQualityUltraHeavy),
                  QMX_TOO_LARGE);
    expectRefused(Import(dir.file("plain.wav"), dir.path(), "1", kChannelMix, 7), QMX_BAD_SETTING);
}

#include <gtest/gtest.h>

#include <algorithm>

#include "JobTestUtil.h"
#include "Jobs.h"
#include "ReSampler.h"
#include "TestSupport.h"

using namespace brelka;
using testsupport::TempDir;

namespace {

ExportOutcome Export(const std::string& folder, const std::string& slot, const std::string& dest,
                     int quality = 0) {
    CReSampler rs;
    ExportRequest r;
    r.folder = folder;
    r.slotText = slot;
    r.destPath = dest;
    r.quality = quality;
    return RunExport(r, rs);
}

std::string Magic(const std::string& path) {
    auto b = testsupport::ReadBytes(path);
    return b.size() < 4 ? std::string() : std::string(b.begin(), b.begin() + 4);
}

} // namespace

TEST(ExportJob, EverySampleOfTheSlotIsExported) {
    TempDir dir;
    const auto slot = jobtest::Noise(3 * 4096 + 100, 1);
    jobtest::WriteSlot(dir.file("SAMPLE04.BIN"), slot);
    auto out = Export(dir.path(), "5", dir.file("take.wav"));
    ASSERT_EQ(out.status, JobStatus::Done);
    EXPECT_EQ(out.framesWritten, 12388);
    EXPECT_EQ(jobtest::SoxInfo(dir.file("take.wav"), "-r"), "31250");
    EXPECT_EQ(jobtest::SoxInfo(dir.file("take.wav"), "-c"), "1");
    EXPECT_EQ(jobtest::SoxInfo(dir.file("take.wav"), "-b"), "16");
    EXPECT_EQ(jobtest::SoxRead(dir.file("take.wav")), slot);
    EXPECT_EQ(jobtest::FolderNames(dir.path()),
              (std::vector<std::string>{"SAMPLE04.BIN", "take.wav"}));
}

TEST(ExportJob, FormatFollowsTheExtension) {
    TempDir dir;
    const auto slot = jobtest::Noise(5000, 2);
    jobtest::WriteSlot(dir.file("SAMPLE00.BIN"), slot);
    const std::pair<const char*, const char*> cases[] = {{"take.AIF", "FORM"},
                                                         {"take.aif", "FORM"},
                                                         {"take.aiff", "RIFF"},
                                                         {"take.wav", "RIFF"},
                                                         {"take", "RIFF"}};
    for (const auto& [name, magic] : cases) {
        auto out = Export(dir.path(), "1", dir.file(name));
        ASSERT_EQ(out.status, JobStatus::Done) << name;
        EXPECT_EQ(Magic(dir.file(name)), magic) << name;
        // sox needs the extension to know the type.
        if (std::string(name).find('.') != std::string::npos) {
            EXPECT_EQ(jobtest::SoxRead(dir.file(name)), slot) << name;
        }
    }
}

TEST(ExportJob, EmptyAndHeaderlessSlots) {
    TempDir dir;
    jobtest::WriteSlot(dir.file("SAMPLE01.BIN"), {});
    auto out = Export(dir.path(), "2", dir.file("empty.wav"));
    ASSERT_EQ(out.status, JobStatus::Done);
    EXPECT_EQ(jobtest::SoxInfo(dir.file("empty.wav"), "-s"), "0");
    out = Export(dir.path(), "2", dir.file("empty.aif"), kQualitySimple);
    ASSERT_EQ(out.status, JobStatus::Done);
    // (sox refuses an AIFF whose sound data is empty, so look at the header itself.)
    const auto aif = testsupport::ReadBytes(dir.file("empty.aif"));
    ASSERT_EQ(aif.size(), 124u);
    EXPECT_EQ(aif[25], 0);  // no frames
    EXPECT_EQ(aif[115], 8); // SSND holds just its offset and block size

    // The slot's header is not examined: any file at the slot's name is exported.
    std::vector<uint8_t> raw(516, 0x20);
    raw[512] = 0x12;
    raw[513] = 0x34;
    raw[514] = 0xFF;
    raw[515] = 0xFE;
    testsupport::WriteBytes(dir.file("SAMPLE59.BIN"), raw);
    out = Export(dir.path(), "75", dir.file("raw.wav"));
    ASSERT_EQ(out.status, JobStatus::Done);
    EXPECT_EQ(jobtest::SoxRead(dir.file("raw.wav")), (std::vector<int16_t>{0x1234, -2}));
}

TEST(ExportJob, ConvertsTo44100AndFlushesTheConverter) {
    TempDir dir;
    std::vector<int16_t> slot(5000, 0);
    slot.back() = 30000;
    jobtest::WriteSlot(dir.file("SAMPLE00.BIN"), slot);
    CReSampler probe;
    for (int q = kQualitySimple; q <= kQualityUltraHeavy; ++q) {
        if (q >= kQualityLight && !probe.available()) continue;
        auto out = Export(dir.path(), "1", dir.file("up.wav"), q);
        ASSERT_EQ(out.status, JobStatus::Done) << q;
        EXPECT_EQ(jobtest::SoxInfo(dir.file("up.wav"), "-r"), "44100");
        const auto s = jobtest::SoxRead(dir.file("up.wav"));
        EXPECT_GE(s.size(), static_cast<size_t>(5000 * 44100 / 31250)) << q;
        EXPECT_GT(*std::max_element(s.begin(), s.end()), 10000) << "quality " << q;
    }
}

TEST(ExportJob, FailuresAndWhatTheyLeave) {
    TempDir dir;
    auto out = Export(dir.path(), "9", dir.file("x.wav"));
    EXPECT_EQ(out.status, JobStatus::SampleError);
    EXPECT_STREQ(JobMessage(out.status), "Sample File error.");
    EXPECT_TRUE(jobtest::FolderNames(dir.path()).empty());

    jobtest::WriteSlot(dir.file("SAMPLE00.BIN"), jobtest::Noise(100, 3));
    out = Export(dir.path(), "1", dir.file("nowhere/x.wav"));
    EXPECT_EQ(out.status, JobStatus::CreateError);
    EXPECT_STREQ(JobMessage(out.status), "File create error.");
}

#if !defined(_WIN32) // a full card by a file size limit of POSIX
TEST(ExportJob, AFullDiskKeepsThePreviousFile) {
    TempDir dir;
    jobtest::WriteSlot(dir.file("SAMPLE00.BIN"), jobtest::Noise(60000, 4));
    testsupport::WriteBytes(dir.file("keep.wav"), {1, 2, 3});
    EXPECT_TRUE(jobtest::InChildWithFileSizeLimit(30000, [&] {
        return Export(dir.path(), "1", dir.file("keep.wav")).status == JobStatus::WriteError;
    })) << "the job did not end with a write error";
    EXPECT_EQ(testsupport::ReadBytes(dir.file("keep.wav")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(jobtest::FolderNames(dir.path()),
              (std::vector<std::string>{"SAMPLE00.BIN", "keep.wav"}));
}
#endif

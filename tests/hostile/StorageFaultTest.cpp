// Storage that fails under a job: a full file system, a write that reaches a full device, a
// folder that disappears while the job runs, a read-only file system. Each job ends with its
// message, the previous slot or file stays intact and no partial file is left behind. (Writes
// limited with RLIMIT_FSIZE are covered by the job tests.)
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "AudioFile.h"
#include "HostileSupport.h"
#include "JobCommon.h"
#include "JobTestUtil.h"
#include "Jobs.h"
#include "ReSampler.h"
#include "SampleFile.h"
#include "TestSupport.h"

using namespace brelka;
using hostile::Mounted;
using testsupport::ReadBytes;
using testsupport::TempDir;

namespace {

ExportOutcome Export(const std::string& folder, const std::string& dest, int quality = 0,
                     const JobProgress& progress = {}) {
    CReSampler rs("");
    ExportRequest r;
    r.folder = folder;
    r.slotText = "1";
    r.destPath = dest;
    r.quality = quality;
    return RunExport(r, rs, progress);
}

} // namespace

// A card whose file system is full: the new slot does not fit beside the old one.
TEST(StorageFaults, AFullFileSystemKeepsThePreviousSlot) {
    Mounted card("size=64k");
    if (!card.ok()) GTEST_SKIP() << "cannot mount a tmpfs here: " << card.error();
    TempDir sources;
    jobtest::SoxWrite(sources.file("in.wav"), jobtest::Noise(60000, 1), 31250, 1);
    const auto out = hostile::ImportOver(sources.file("in.wav"), card.path(), kQualitySimple);
    EXPECT_EQ(out.status, JobStatus::WriteError);
    EXPECT_STREQ(JobMessage(out.status), "File write error.");
    EXPECT_EQ(ReadBytes(card.file("SAMPLE00.BIN")), hostile::OldSlotBytes());
    EXPECT_EQ(jobtest::FolderNames(card.path()), std::vector<std::string>{"SAMPLE00.BIN"});

    // And an export onto it: the file that was there stays as it was.
    TempDir slots;
    jobtest::WriteSlot(slots.file("SAMPLE00.BIN"), jobtest::Noise(40000, 2));
    testsupport::WriteBytes(card.file("take.aif"), {1, 2, 3});
    const auto ex = Export(slots.path(), card.file("take.aif"), kQualitySimple);
    EXPECT_EQ(ex.status, JobStatus::WriteError);
    EXPECT_EQ(ReadBytes(card.file("take.aif")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(jobtest::FolderNames(card.path()),
              (std::vector<std::string>{"SAMPLE00.BIN", "take.aif"}));
}

// The writer on /dev/full: every failed write is reported, at the latest by close.
TEST(StorageFaults, TheWriterReportsAFullDevice) {
    for (int type : {kAudioFileWav, kAudioFileAiff}) {
        AudioFile f;
        std::vector<int16_t> block(4096, 7);
        int32_t failed =
            f.openWrite("/dev/full", WriterInfo(type, 1, 16, Extended80::FromUInt32(31250)));
        for (int i = 0; i < 8 && failed == 0; ++i)
            failed = f.writeFrames(block.data(), 4096);
        EXPECT_EQ(failed, kAudioFileWriteFailed) << type;
        EXPECT_EQ(f.close(), kAudioFileWriteFailed) << type;
    }
    // The slot header too, once the stream is flushed.
    std::FILE* out = std::fopen("/dev/full", "wb");
    ASSERT_NE(out, nullptr);
    const bool header = WriteSampleHeader(out);
    EXPECT_FALSE(header && std::fflush(out) == 0);
    std::fclose(out);
}

// The job's new slot file reaches a full device (its temporary name leads to /dev/full): the
// job says so, the old slot stays and the link is cleared away; /dev/full itself is untouched.
TEST(StorageFaults, ANewSlotThatReachesAFullDevice) {
    TempDir sources;
    TempDir card;
    jobtest::SoxWrite(sources.file("in.wav"), jobtest::Noise(20000, 3), 31250, 1);
    testsupport::WriteBytes(card.file("SAMPLE00.BIN"), hostile::OldSlotBytes());
    std::filesystem::create_symlink("/dev/full", TemporaryNameFor(card.file("SAMPLE00.BIN")));
    CReSampler rs("");
    ImportRequest r;
    r.sourcePath = sources.file("in.wav");
    r.folder = card.path();
    r.slotText = "1";
    const auto out = RunImport(r, rs);
    EXPECT_EQ(out.status, JobStatus::WriteError);
    EXPECT_EQ(ReadBytes(card.file("SAMPLE00.BIN")), hostile::OldSlotBytes());
    EXPECT_EQ(jobtest::FolderNames(card.path()), std::vector<std::string>{"SAMPLE00.BIN"});
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

// The card's folder is taken away while the job runs (removed from the job's progress step):
// the job cannot put its slot in place and says so; nothing is created anew.
TEST(StorageFaults, AFolderThatDisappearsMidJob) {
    TempDir sources;
    TempDir base;
    jobtest::SoxWrite(sources.file("in.wav"), jobtest::Noise(5 * 4096, 4), 31250, 1);
    for (bool recreate : {false, true}) {
        SCOPED_TRACE(recreate ? "folder replaced by an empty one" : "folder removed");
        const std::string folder = base.file("card");
        std::filesystem::create_directory(folder);
        JobProgress p;
        p.block = [&](int k, int) {
            if (k == 1) {
                std::filesystem::remove_all(folder);
                if (recreate) std::filesystem::create_directory(folder);
            }
            return false;
        };
        const auto out = hostile::ImportOver(sources.file("in.wav"), folder, kQualityOff, p);
        EXPECT_EQ(out.status, JobStatus::WriteError);
        EXPECT_STREQ(JobMessage(out.status), "File write error.");
        EXPECT_EQ(std::filesystem::exists(folder), recreate);
        if (recreate) {
            EXPECT_TRUE(jobtest::FolderNames(folder).empty());
        }
        std::filesystem::remove_all(folder);
    }

    // An export whose destination folder goes: the same; the slot it read stays.
    TempDir card;
    jobtest::WriteSlot(card.file("SAMPLE00.BIN"), jobtest::Noise(5 * 4096, 5));
    const auto slotBefore = ReadBytes(card.file("SAMPLE00.BIN"));
    const std::string outFolder = base.file("out");
    std::filesystem::create_directory(outFolder);
    JobProgress p;
    p.block = [&](int k, int) {
        if (k == 1) std::filesystem::remove_all(outFolder);
        return false;
    };
    const auto ex = Export(card.path(), outFolder + "/take.wav", kQualityOff, p);
    EXPECT_EQ(ex.status, JobStatus::WriteError);
    EXPECT_FALSE(std::filesystem::exists(outFolder));
    EXPECT_EQ(ReadBytes(card.file("SAMPLE00.BIN")), slotBefore);

    // The slot's own folder going while it is exported: the open file is read to its end.
    TempDir dest;
    p.block = [&](int k, int) {
        if (k == 1) std::filesystem::remove_all(card.path());
        return false;
    };
    const auto gone = Export(card.path(), dest.file("take.wav"), kQualityOff, p);
    EXPECT_EQ(gone.status, JobStatus::Done);
    EXPECT_EQ(gone.framesWritten, 5 * 4096);
    std::filesystem::create_directory(card.path()); // for the TempDir to remove
}

// A read-only card (a tmpfs remounted read-only, which holds also for root): the new slot
// cannot be created, the old one stays; an export onto it cannot create its file either.
TEST(StorageFaults, AReadOnlyFileSystem) {
    Mounted card("size=1m");
    if (!card.ok()) GTEST_SKIP() << "cannot mount a tmpfs here: " << card.error();
    testsupport::WriteBytes(card.file("SAMPLE00.BIN"), hostile::OldSlotBytes());
    testsupport::WriteBytes(card.file("take.wav"), {9, 9});
    if (!card.RemountReadOnly())
        GTEST_SKIP() << "cannot remount read-only: " << std::strerror(errno);
    TempDir sources;
    jobtest::SoxWrite(sources.file("in.wav"), jobtest::Noise(3000, 6), 31250, 1);
    CReSampler rs("");
    ImportRequest r;
    r.sourcePath = sources.file("in.wav");
    r.folder = card.path();
    r.slotText = "1";
    const auto out = RunImport(r, rs);
    EXPECT_EQ(out.status, JobStatus::CreateError);
    EXPECT_STREQ(JobMessage(out.status), "File create error.");
    EXPECT_EQ(ReadBytes(card.file("SAMPLE00.BIN")), hostile::OldSlotBytes());
    EXPECT_EQ(ScanSampleFolder(card.path()), std::vector<std::string>{"01"});

    TempDir slots;
    jobtest::WriteSlot(slots.file("SAMPLE00.BIN"), jobtest::Noise(5000, 7));
    const auto ex = Export(slots.path(), card.file("take.wav"));
    EXPECT_EQ(ex.status, JobStatus::CreateError);
    EXPECT_EQ(ReadBytes(card.file("take.wav")), (std::vector<uint8_t>{9, 9}));
    EXPECT_EQ(jobtest::FolderNames(card.path()),
              (std::vector<std::string>{"SAMPLE00.BIN", "take.wav"}));
}

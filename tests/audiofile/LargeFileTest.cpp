// Files beyond 2 GB: offsets are 64 bits wide on every system (on Windows a long has 32). The
// files are sparse: only their headers and a few samples take room on the disk.
#include <gtest/gtest.h>

#include <cstdio>

#include "AudioFile.h"
#include "AudioFileTestUtil.h"
#include "Files.h"
#include "SampleFile.h"
#include "TestSupport.h"

namespace {

using aftest::Bytes;

// Writes `bytes` at `offset` of a file (holes before it read as zeros).
void WriteAt(const std::string& path, int64_t offset, const Bytes& bytes, bool create) {
    std::FILE* f = platform::OpenFile(path, create ? "wb" : "r+b");
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(platform::SeekFile(f, offset, SEEK_SET));
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    ASSERT_EQ(std::fclose(f), 0);
}

} // namespace

TEST(LargeFiles, ReadingSamplesBeyondTwoAndThreeGigabytes) {
    testsupport::TempDir dir;
    const std::string path = dir.file("long.wav");
    const uint32_t frames = 1600000000; // 3.2 GB of 16-bit mono
    aftest::Chunk data{"data", {}, int64_t{frames} * 2};
    Bytes head = aftest::Wav({{"fmt ", aftest::WavFmt(1, 1, 44100, 16)}, data});
    WriteAt(path, 0, head, true);
    const int64_t start = static_cast<int64_t>(head.size());
    // Two samples past 2^31 bytes and the last two of the file.
    const uint32_t marks[] = {1100000000, frames - 2};
    for (uint32_t m : marks)
        WriteAt(path, start + int64_t{m} * 2, {0x34, 0x12, 0xFE, 0xFF}, false);
    ASSERT_EQ(testsupport::FileSize(path), start + int64_t{frames} * 2);

    AudioFile f;
    f.openRead(path);
    ASSERT_EQ(f.info().type, kAudioFileWav);
    EXPECT_EQ(f.info().frames, frames);
    for (uint32_t m : marks) {
        int16_t s[4] = {};
        ASSERT_EQ(f.seekFrame(m - 1), 0);
        EXPECT_EQ(f.readFrames(4, s), m == frames - 2 ? 3 : 4) << m;
        EXPECT_EQ(s[0], 0) << m;
        EXPECT_EQ(s[1], 0x1234) << m;
        EXPECT_EQ(s[2], -2) << m;
    }
    f.close();
}

TEST(LargeFiles, SlotLengthOfAFileBeyondTwoGigabytes) {
    testsupport::TempDir dir;
    const std::string path = dir.file("SAMPLE00.BIN");
    const int64_t samples = int64_t{31250} * 60 * 640; // 640 minutes: 2.4 GB
    WriteAt(path, 0, Bytes(512, 0), true);
    WriteAt(path, 512 + samples * 2 - 2, {0, 0}, false);
    EXPECT_EQ(brelka::FileSizeOf(path), 512 + samples * 2);
    EXPECT_EQ(brelka::SlotLengthText(path), "640:00:000");
}

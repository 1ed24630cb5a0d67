#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "SampleFile.h"
#include "TestSupport.h"

using namespace brelka;
using testsupport::TempDir;

namespace {

std::vector<uint8_t> HeaderArea() {
    std::vector<uint8_t> b(512, 0);
    std::memcpy(b.data(), "TARQ PL-17 SAMPLE DATA VER0001             ", 43);
    b[44] = 0x1D;
    b[45] = 0x2E;
    b[46] = 0xF6;
    return b;
}

void WriteSlot(const std::string& path, size_t samples) {
    auto b = HeaderArea();
    b.resize(512 + 2 * samples, 0);
    testsupport::WriteBytes(path, b);
}

} // namespace

TEST(SlotNumbers, ParseAndName) {
    EXPECT_EQ(ParseSlotNumber(""), 1);
    EXPECT_EQ(ParseSlotNumber("0"), 1);
    EXPECT_EQ(ParseSlotNumber("-3"), 1);
    EXPECT_EQ(ParseSlotNumber("abc"), 1);
    EXPECT_EQ(ParseSlotNumber("7x"), 1);
    EXPECT_EQ(ParseSlotNumber("99999999999"), 1);
    EXPECT_EQ(ParseSlotNumber("08"), 8);
    EXPECT_EQ(ParseSlotNumber("60"), 60);
    EXPECT_EQ(ParseSlotNumber("75"), 60);
#if defined(_WIN32)
    // A backslash only when the folder ends in neither separator; "E:" is drive E's current
    // folder and takes none.
    EXPECT_EQ(SlotFileName("E:\\card", 1), "E:\\card\\SAMPLE00.BIN");
    EXPECT_EQ(SlotFileName("E:\\", 60), "E:\\SAMPLE59.BIN");
    EXPECT_EQ(SlotFileName("E:/card/", 60), "E:/card/SAMPLE59.BIN");
    EXPECT_EQ(SlotFileName("E:", 2), "E:SAMPLE01.BIN");
#else
    EXPECT_EQ(SlotFileName("/card", 1), "/card/SAMPLE00.BIN");
    EXPECT_EQ(SlotFileName("/card/", 60), "/card/SAMPLE59.BIN");
    EXPECT_EQ(SlotFileName("/card", ParseSlotNumber("75")), "/card/SAMPLE59.BIN");
#endif
}

TEST(SampleHeader, WrittenBytesAndTheHeaderTest) {
    TempDir dir;
    const std::string path = dir.file("h.bin");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(WriteSampleHeader(f));
    EXPECT_EQ(std::ftell(f), 512);
    std::fclose(f);
    EXPECT_EQ(testsupport::ReadBytes(path), HeaderArea());
    EXPECT_TRUE(HasSampleHeader(path));

    auto bytes = HeaderArea();
    bytes[0] = 't'; // letter case counts
    testsupport::WriteBytes(path, bytes);
    EXPECT_FALSE(HasSampleHeader(path));

    bytes = HeaderArea();
    bytes[43] = ' '; // the terminator is required
    testsupport::WriteBytes(path, bytes);
    EXPECT_FALSE(HasSampleHeader(path));

    bytes = HeaderArea();
    bytes[44] = bytes[45] = bytes[46] = bytes[47] = 0x55; // not examined
    testsupport::WriteBytes(path, bytes);
    EXPECT_TRUE(HasSampleHeader(path));

    bytes.resize(43);
    testsupport::WriteBytes(path, bytes);
    EXPECT_FALSE(HasSampleHeader(path));
    EXPECT_FALSE(HasSampleHeader(dir.file("missing.bin")));
}

TEST(SlotLength, Texts) {
    TempDir dir;
    const std::string path = dir.file("s.bin");
    const std::pair<size_t, const char*> cases[] = {
        {0, "  0:00:000"},     {1, "  0:00:000"},       {31249, "  0:00:999"},
        {31250, "  0:01:000"}, {1875000, "  1:00:000"}, {187500000, "100:00:000"},
    };
    for (const auto& [n, text] : cases) {
        WriteSlot(path, 0);
        std::filesystem::resize_file(path, 512 + 2 * n);
        EXPECT_EQ(SlotLengthText(path), text) << n;
    }
    EXPECT_EQ(SlotLengthText(dir.file("missing.bin")), "---:--:---");
    testsupport::WriteBytes(path, std::vector<uint8_t>(100, 0)); // shorter than the header area
    EXPECT_EQ(SlotLengthText(path), "---:--:---");
}

TEST(FolderScan, ListsValidSlotsInFileSystemOrder) {
    TempDir dir;
    for (const char* name :
         {"SAMPLE00.BIN", "SAMPLE07.BIN", "SAMPLE59.BIN", "sample03.bin", "SAMPLE60.BIN",
          "SAMPLE99.BIN", "SAMPLEA1.BIN", "SAMPLE1.BIN", "SAMPLE011.BIN", "OTHER.BIN"})
        WriteSlot(dir.file(name), 10);
    std::filesystem::create_directory(dir.file("SAMPLE05.BIN"));
    auto bad = HeaderArea();
    bad[10] = 'x';
    testsupport::WriteBytes(dir.file("SAMPLE09.BIN"), bad);

    std::vector<std::string> expected;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = e.path().filename().string();
        if (name == "SAMPLE00.BIN") expected.push_back("01");
        if (name == "SAMPLE07.BIN") expected.push_back("08");
        if (name == "SAMPLE59.BIN") expected.push_back("60");
        // Listed where the slot's own name opens it (a file system that ignores letter case),
        // since that is the name every reader of slot 04 opens.
        if (name == "sample03.bin" && testsupport::FileExists(dir.file("SAMPLE03.BIN")))
            expected.push_back("04");
    }
    EXPECT_EQ(ScanSampleFolder(dir.path()), expected);
    EXPECT_EQ(ScanSampleFolder(dir.path() + "/"), expected);
    EXPECT_TRUE(ScanSampleFolder(dir.file("none")).empty());
}

// Samples go out as big-endian words across the writer's internal pieces and come back as
// they were; a short read reports the whole samples only.
TEST(SlotSamples, BigEndianBothWays) {
    TempDir dir;
    std::vector<int16_t> samples(2500);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(i * 37 - 30000);
    samples[0] = -32768;
    samples[2499] = 32767;
    std::FILE* out = std::fopen(dir.file("s.bin").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(WriteSlotSamples(out, samples.data(), static_cast<int32_t>(samples.size())));
    std::fputc(0x12, out); // half a sample more
    std::fclose(out);

    const std::vector<uint8_t> bytes = testsupport::ReadBytes(dir.file("s.bin"));
    ASSERT_EQ(bytes.size(), 2 * samples.size() + 1);
    EXPECT_EQ(bytes[0], 0x80);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[2 * 2499], 0x7F);
    EXPECT_EQ(bytes[2 * 2499 + 1], 0xFF);

    std::FILE* in = std::fopen(dir.file("s.bin").c_str(), "rb");
    ASSERT_NE(in, nullptr);
    std::vector<int16_t> back(3000, 7);
    EXPECT_EQ(ReadSlotSamples(in, 3000, back.data()), 2500);
    std::fclose(in);
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), back.begin()));
}

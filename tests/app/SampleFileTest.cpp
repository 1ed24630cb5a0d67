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

// brelka-cli end to end: the built tool on real files.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"

using testsupport::Quote;
using testsupport::Run;
using testsupport::TempDir;

namespace {

std::string Cli() {
    return Quote(testsupport::BinDir() + "/brelka-cli");
}

testsupport::CommandResult Tool(const std::string& args, bool withStderr = true) {
    return Run(Cli() + " " + args + (withStderr ? " 2>&1" : " 2>/dev/null"));
}

std::string SoxRaw(const std::string& path) {
    const std::string raw = path + ".raw";
    Run("sox -D " + Quote(path) + " -t raw -e signed -b 16 -L " + Quote(raw));
    auto bytes = testsupport::ReadBytes(raw);
    std::filesystem::remove(raw);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST(Cli, HelpAndUsage) {
    auto r = Tool("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("import"), std::string::npos);
    EXPECT_NE(r.out.find("Exit codes"), std::string::npos);
    EXPECT_EQ(Tool("import --help").status, 0);
    EXPECT_EQ(Tool("").status, 2);
    EXPECT_EQ(Tool("frobnicate").status, 2);
    EXPECT_EQ(Tool("import /tmp 1 x.wav --channel Q").status, 2);
    EXPECT_EQ(Tool("export /tmp 1 x.wav --quality loud").status, 2);
    r = Tool("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("brelka"), std::string::npos);
}

TEST(Cli, InfoShowsThePanelLines) {
    auto r = Tool("info " + Quote(testsupport::CorpusFile("go-audio-wav/kick-16b441k.wav")));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Sampling Rate : 44100.00Hz\n"
                     "Sampling Frames : 7782 (stereo)  0:00:00:176\n"
                     "Bits / Word : 16\n");
    r = Tool("info " + Quote(testsupport::CorpusFile("go-audio-aiff/sowt.aif")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Source File error."), std::string::npos);
}

// A corpus kick goes into a slot and comes back out sample for sample.
TEST(Cli, KickRoundTripAndList) {
    TempDir dir;
    const std::string kick = testsupport::CorpusFile("go-audio-wav/kick.wav"); // 22050 Hz mono
    auto r = Tool("import " + Quote(dir.path()) + " 08 " + Quote(kick) + " --quality off");
    ASSERT_EQ(r.status, 0) << r.out;
    r = Tool("list " + Quote(dir.path()));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "08   0:00:147\n"); // 4608 samples after padding
    r = Tool("export " + Quote(dir.path()) + " 8 " + Quote(dir.file("back.wav")));
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string original = SoxRaw(kick);
    const std::string back = SoxRaw(dir.file("back.wav"));
    ASSERT_EQ(back.size(), 4608u * 2);
    EXPECT_EQ(back.substr(0, original.size()), original);

    // By default a 22050 Hz source is converted (Heavy with the engine, else Simple).
    r = Tool("import " + Quote(dir.path()) + " 9 " + Quote(kick));
    ASSERT_EQ(r.status, 0) << r.out;
    r = Tool("list " + Quote(dir.path()));
    EXPECT_NE(r.out.find("09   0:00:"), std::string::npos) << r.out;
}

TEST(Cli, FailuresSayWhatAndWhere) {
    TempDir dir;
    auto r = Tool("import " + Quote(dir.path()) + " 1 " + Quote(dir.file("none.wav")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Source File error. " + dir.file("none.wav")), std::string::npos);
    r = Tool("export " + Quote(dir.path()) + " 3 " + Quote(dir.file("o.wav")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Sample File error. " + dir.file("SAMPLE02.BIN")), std::string::npos);
    r = Tool("import " + Quote(dir.file("gone")) + " 1 " +
             Quote(testsupport::CorpusFile("go-audio-wav/kick.wav")) + " --quality off");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("File create error."), std::string::npos);
}

// Copied away from the engine library, the tool falls back to Simple and says so.
TEST(Cli, WithoutTheEngineLibrary) {
    TempDir dir;
    std::filesystem::copy_file(testsupport::BinDir() + "/brelka-cli", dir.file("brelka-cli"));
    std::filesystem::permissions(dir.file("brelka-cli"), std::filesystem::perms::owner_all);
    const std::string kick = Quote(testsupport::CorpusFile("go-audio-wav/kick.wav"));
    auto r = testsupport::Run(Quote(dir.file("brelka-cli")) + " import " + Quote(dir.path()) +
                              " 1 " + kick + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("warning"), std::string::npos) << r.out;
    r = testsupport::Run(Quote(dir.file("brelka-cli")) + " import " + Quote(dir.path()) + " 1 " +
                         kick + " --quality heavy 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("libqmx.so"), std::string::npos) << r.out;
}

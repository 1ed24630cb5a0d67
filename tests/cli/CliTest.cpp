// brelka-cli end to end: the built tool on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "Progress.h"

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
    testsupport::Run("sox -D " + Quote(path) + " -t raw -e signed -b 16 -L " + Quote(raw));
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
                     "Bits / Word : 16\n"
                     "Peak : -0.00 dBFS\n"
                     "Clips as MIX : yes, 2627 samples\n");
    // Float files say so behind their size.
    r = Tool("info " +
             Quote(testsupport::CorpusFile("hound/waveformatex-ieeefloat-44100Hz-mono.wav")));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find("Peak")), "Sampling Rate : 44100.00Hz\n"
                                                   "Sampling Frames : 4 (mono)  0:00:00:000\n"
                                                   "Bits / Word : 32 float\n");
    r = Tool("info " + Quote(testsupport::CorpusFile("go-audio-aiff/ableton.aif"))); // compressed
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Source File error."), std::string::npos);
}

// Sources as programs export them: a 24-bit six-channel extensible WAV (L and R are its first
// two channels) and a float AIFF-C go into slots with exactly the 16-bit samples they came from.
TEST(Cli, ImportsExtensibleAndFloatSources) {
    TempDir dir;
    const std::string src = dir.file("src.wav");
    ASSERT_EQ(testsupport::Run("sox -D -R -n -r 31250 -c 2 -b 16 " + Quote(src) +
                               " synth 0.1 whitenoise vol 0.8 2>/dev/null")
                  .status,
              0);
    const std::string six = dir.file("six.wav");
    const std::string flt = dir.file("float.aifc");
    ASSERT_EQ(
        testsupport::Run("sox -D " + Quote(src) + " -b 24 " + Quote(six) + " remix 1 2 2 1 2 1")
            .status,
        0);
    ASSERT_EQ(
        testsupport::Run("sox -D " + Quote(src) + " -e floating-point -b 32 " + Quote(flt)).status,
        0);
    const std::pair<std::string, std::string> cases[] = {{six, "R"}, {flt, "L"}};
    for (const auto& [source, channel] : cases) {
        SCOPED_TRACE(source + " " + channel);
        auto r = Tool("import " + Quote(dir.path()) + " 1 " + Quote(source) + " --channel " +
                      channel + " --quality off");
        ASSERT_EQ(r.status, 0) << r.out;
        r = Tool("export " + Quote(dir.path()) + " 1 " + Quote(dir.file("back.wav")));
        ASSERT_EQ(r.status, 0) << r.out;
        const std::string one = dir.file("one.wav");
        ASSERT_EQ(testsupport::Run("sox -D " + Quote(src) + " " + Quote(one) + " remix " +
                                   (channel == "L" ? "1" : "2"))
                      .status,
                  0);
        const std::string expected = SoxRaw(one);
        const std::string back = SoxRaw(dir.file("back.wav"));
        ASSERT_EQ(back.size(), 3584u * 2); // 3125 frames, padded to a multiple of 512
        EXPECT_EQ(back.substr(0, expected.size()), expected);
    }
}

// A corpus kick goes into a slot and comes back out sample for sample.
TEST(Cli, KickRoundTripAndList) {
    TempDir dir;
    const std::string kick = testsupport::CorpusFile("go-audio-wav/kick.wav"); // 22050 Hz mono
    auto r = Tool("import " + Quote(dir.path()) + " 08 " + Quote(kick) + " --quality off");
    ASSERT_EQ(r.status, 0) << r.out;
    r = Tool("list " + Quote(dir.path()));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "08   0:00:147  kick\n"); // 4608 samples after padding, named after its source
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
    r = Tool("list " + Quote(dir.file("gone")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("No such folder: " + dir.file("gone")), std::string::npos) << r.out;
    r = Tool("export " + Quote(dir.path()) + " 3 " + Quote(dir.file("o.wav")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Sample File error. " + dir.file("SAMPLE02.BIN")), std::string::npos);
    r = Tool("import " + Quote(dir.file("gone")) + " 1 " +
             Quote(testsupport::CorpusFile("go-audio-wav/kick.wav")) + " --quality off");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("File create error."), std::string::npos);
    // A conversion the engine refuses says why; the slot is not touched.
    testsupport::Run("sox -n -r 1999993 -b 16 -c 1 " + Quote(dir.file("odd.wav")) +
                     " synth 0.002 sine 440");
    r = Tool("import " + Quote(dir.path()) + " 1 " + Quote(dir.file("odd.wav")) +
             " --quality ultra");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Rate conversion error: the rate pair needs more memory than the engine "
                         "allows. " +
                         dir.file("SAMPLE00.BIN")),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(testsupport::FileExists(dir.file("SAMPLE00.BIN")));
    EXPECT_FALSE(testsupport::FileExists(dir.file("SAMPLE00.BIN.tmp")));
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
    EXPECT_NE(r.out.find("Quality \"heavy\" needs the engine library libqmx.so"), std::string::npos)
        << r.out;
    // The job that found the engine missing left the slot of the first import as it was.
    const auto slot = testsupport::ReadBytes(dir.file("SAMPLE00.BIN"));
    r = testsupport::Run(Quote(dir.file("brelka-cli")) + " export " + Quote(dir.path()) + " 1 " +
                         Quote(dir.file("o.wav")) + " --quality light 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Quality \"light\" needs the engine library"), std::string::npos) << r.out;
    EXPECT_FALSE(testsupport::FileExists(dir.file("o.wav")));
    EXPECT_EQ(testsupport::ReadBytes(dir.file("SAMPLE00.BIN")), slot);
    // The play module is not beside it either: play says so, the other commands never needed it.
    r = testsupport::Run(Quote(dir.file("brelka-cli")) + " play " + kick + " 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "This build of brelka-cli has no audio output.\n");
}

namespace {

const char* const kKit[] = {"go-audio-wav/kick.wav",
                            "go-audio-wav/kick-16b441k.wav",
                            "go-audio-wav/dirty-kick-24b441k.wav",
                            "go-audio-wav/bass.wav",
                            "go-audio-wav/padded24b.wav",
                            "go-audio-wav/bwf.wav",
                            "go-audio-aiff/kick8b.aiff",
                            "go-audio-aiff/kick32b.aiff"};

int64_t SoxFrames(const std::string& path) {
    return std::stoll(testsupport::Run("sox --i -s " + Quote(path)).out);
}

std::string LengthOf(int64_t samples) {
    const int64_t ms = samples * 1000 / 31250;
    char text[32];
    std::snprintf(text, sizeof text, "%3d:%02d:%03d", static_cast<int>(ms / 60000),
                  static_cast<int>(ms % 60000 / 1000), static_cast<int>(ms % 1000));
    return text;
}

} // namespace

// A whole kit of corpus drums into slots 05 ... 12, listed back with their lengths.
TEST(Cli, KitImportIntoConsecutiveSlots) {
    TempDir dir;
    std::string args = "import -q " + Quote(dir.path()) + " 05";
    for (const char* f : kKit)
        args += " " + Quote(testsupport::CorpusFile(f));
    auto r = Tool(args + " --quality off");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 8);

    r = Tool("list --json " + Quote(dir.path()), false);
    ASSERT_EQ(r.status, 0);
    const auto j = nlohmann::json::parse(r.out);
    std::map<int, nlohmann::json> bySlot;
    for (const auto& s : j["slots"])
        bySlot[s["slot"].get<int>()] = s;
    ASSERT_EQ(bySlot.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        const int64_t frames = SoxFrames(testsupport::CorpusFile(kKit[i]));
        const int64_t padded = (frames + 511) / 512 * 512;
        const auto& s = bySlot.at(5 + i);
        EXPECT_EQ(s["samples"].get<int64_t>(), padded) << kKit[i];
        EXPECT_EQ(s["duration_ms"].get<int64_t>(), padded * 1000 / 31250) << kKit[i];
        EXPECT_EQ(s["length"].get<std::string>(), LengthOf(padded)) << kKit[i];
        char name[16];
        std::snprintf(name, sizeof name, "SAMPLE%02d.BIN", 4 + i);
        EXPECT_EQ(s["file"].get<std::string>(), name);
    }
}

TEST(Cli, KitImportRefusesToRunPastTheLastSlot) {
    TempDir dir;
    const std::string kick = Quote(testsupport::CorpusFile("go-audio-wav/kick.wav"));
    auto r = Tool("import " + Quote(dir.path()) + " 59 " + kick + " " + kick + " " + kick);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("past slot 60"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    // A failure stops the kit, unless asked to keep going.
    const std::string bad = Quote(testsupport::CorpusFile("go-audio-aiff/ableton.aif"));
    r = Tool("import -q " + Quote(dir.path()) + " 1 " + kick + " " + bad + " " + kick);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(testsupport::FileExists(dir.file("SAMPLE00.BIN")));
    EXPECT_FALSE(testsupport::FileExists(dir.file("SAMPLE02.BIN")));
    r = Tool("import -q --keep-going " + Quote(dir.path()) + " 1 " + kick + " " + bad + " " + kick);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Source File error."), std::string::npos);
    EXPECT_TRUE(testsupport::FileExists(dir.file("SAMPLE02.BIN")));
    EXPECT_FALSE(testsupport::FileExists(dir.file("SAMPLE01.BIN")));
}

TEST(Cli, ConvertKeepsOrReducesChannels) {
    TempDir dir;
    const std::string bass = testsupport::CorpusFile("go-audio-wav/bass.wav"); // stereo 44100
    auto r = Tool("convert -q " + Quote(bass) + " " + Quote(dir.file("b.aif")) +
                  " --rate 48000 --quality simple");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(testsupport::Run("sox --i -r " + Quote(dir.file("b.aif"))).out, "48000\n");
    EXPECT_EQ(testsupport::Run("sox --i -c " + Quote(dir.file("b.aif"))).out, "2\n");
    const int64_t in = SoxFrames(bass);
    const int64_t out = SoxFrames(dir.file("b.aif"));
    EXPECT_GE(out, in * 48000 / 44100);
    EXPECT_LE(out, in * 48000 / 44100 + 8);

    r = Tool("convert -q " + Quote(bass) + " " + Quote(dir.file("m.wav")) +
             " --rate 22050 --channel l");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(testsupport::Run("sox --i -c " + Quote(dir.file("m.wav"))).out, "1\n");
    EXPECT_EQ(testsupport::Run("sox --i -r " + Quote(dir.file("m.wav"))).out, "22050\n");

    // Without conversion the samples stay and get the new rate as their label.
    r = Tool("convert -q " + Quote(bass) + " " + Quote(dir.file("same.wav")) +
             " --rate 1000 --quality off");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(SoxFrames(dir.file("same.wav")), in);

    EXPECT_EQ(Tool("convert " + Quote(bass) + " x.wav").status, 2);          // no rate
    EXPECT_EQ(Tool("convert " + Quote(bass) + " x.wav --rate 0").status, 2); // no such rate
    r = Tool("convert " + Quote(dir.file("none.wav")) + " " + Quote(dir.file("x.wav")) +
             " --rate 8000");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Source File error. " + dir.file("none.wav")), std::string::npos);
    r = Tool("convert " + Quote(bass) + " " + Quote(dir.file("no/x.wav")) + " --rate 8000");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("File create error. " + dir.file("no/x.wav")), std::string::npos);
}

TEST(Cli, InfoJson) {
    const std::string zipper = testsupport::CorpusFile("go-audio-aiff/zipper24b.aiff");
    auto r = Tool("info --json " + Quote(zipper), false);
    ASSERT_EQ(r.status, 0);
    const auto j = nlohmann::json::parse(r.out);
    // The peak of all channels at the file's own precision, as sox's `stat` finds it.
    const std::string stat = testsupport::Run("sox " + Quote(zipper) + " -n stat 2>&1").out;
    const auto amplitude = [&](const std::string& name) {
        const size_t at = stat.find(name + " amplitude:");
        return at == std::string::npos ? 0.0 : std::stod(stat.substr(at + name.size() + 11));
    };
    const double peak = std::max(amplitude("Maximum"), -amplitude("Minimum"));
    ASSERT_GT(peak, 0.0) << stat;
    EXPECT_NEAR(j["peak_dbfs"].get<double>(), 20 * std::log10(peak), 0.001);
    EXPECT_EQ(j["mix_clips"], false);
    EXPECT_EQ(j["type"], "AIFF");
    EXPECT_EQ(j["rate"].get<double>(), 48000.0);
    EXPECT_EQ(j["channels"], 2);
    EXPECT_EQ(j["frames"], 105936);
    EXPECT_EQ(j["bits"], 24);
    EXPECT_EQ(j["encoding"], "pcm");
    EXPECT_EQ(j["duration_ms"], 2207);
    r = Tool("info --json " + Quote(testsupport::CorpusFile(
                                  "hound/waveformatextensible-ieeefloat-44100Hz-mono.wav")),
             false);
    ASSERT_EQ(r.status, 0);
    const auto f = nlohmann::json::parse(r.out);
    EXPECT_EQ(f["bits"], 32);
    EXPECT_EQ(f["encoding"], "float");
}

// The bar is drawn only on a terminal, and only for jobs that take a while.
TEST(Cli, ProgressBarOnlyOnATerminal) {
    TempDir dir;
    // A job long enough for the bar (it shows after half a second): three minutes of 96 kHz at
    // Heavy, on one thread.
    const std::string bass = Quote(dir.path() + "/long.wav");
    ASSERT_EQ(testsupport::Run("sox -n -r 96000 -c 1 -b 16 " + bass + " synth 180 sine 55").status,
              0);
    const std::string job0 = "QMX_THREADS=1 " + Cli() + " import " + Quote(dir.path()) + " 1 " +
                             bass + " --quality heavy";
    auto r = testsupport::Run(job0 + " 2>&1 >/dev/null");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ""); // nothing on a redirected stderr
    // On a terminal (a pseudo-terminal made by script) the bar shows, and -q silences it.
    const std::string job = "QMX_THREADS=1 " + Cli() + " import " + Quote(dir.path()) + " 2 " +
                            bass + " --quality heavy";
    r = testsupport::Run("script -qec " + Quote(job) + " /dev/null");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("elapsed"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" left"), std::string::npos);
    r = testsupport::Run("script -qec " + Quote(job + " -q") + " /dev/null");
    EXPECT_EQ(r.out.find("elapsed"), std::string::npos) << r.out;

    EXPECT_EQ(ProgressBar::Line("import x", 5, 10, 2000, 10),
              "import x [#####-----]  50%  0:02 elapsed  0:02 left");
    EXPECT_EQ(ProgressBar::Line("x", 10, 10, 61000, 4), "x [####] 100%  1:01 elapsed  0:00 left");
}

namespace {

// The largest magnitude among a slot's samples (after its 512-byte header, big-endian).
int SlotPeak(const std::string& path) {
    const auto bytes = testsupport::ReadBytes(path);
    int peak = 0;
    for (size_t i = 512; i + 1 < bytes.size(); i += 2) {
        const auto v = static_cast<int16_t>(static_cast<uint16_t>(bytes[i] << 8 | bytes[i + 1]));
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    }
    return peak;
}

int64_t SlotSamplesOf(const std::string& path) {
    return (testsupport::FileSize(path) - 512) / 2;
}

} // namespace

// Trim, normalize (alone and for a kit) and the clip report, on 24-bit sources sox writes.
TEST(Cli, ImportGetsTheSoundsReadyForTheMachine) {
    TempDir dir;
    const std::string card = dir.file("card");
    std::filesystem::create_directory(card);
    const std::string quiet = dir.file("quiet.wav"), soft = dir.file("soft.wav"),
                      hot = dir.file("hot.wav");
    // 0.2 s of silence, a 300 Hz tone at -12 dBFS for 0.3 s, 0.3 s of silence; 44.1 kHz stereo.
    ASSERT_EQ(testsupport::Run("sox -n -r 44100 -b 24 -c 2 " + Quote(quiet) +
                               " synth 0.3 sine 300 gain -12 pad 0.2 0.3")
                  .status,
              0);
    ASSERT_EQ(testsupport::Run("sox -n -r 31250 -b 24 -c 1 " + Quote(soft) +
                               " synth 0.3 sine 500 gain -18")
                  .status,
              0);
    ASSERT_EQ(testsupport::Run("sox -n -r 31250 -b 24 -c 1 " + Quote(hot) +
                               " synth 0.3 sine 500 gain -12")
                  .status,
              0);
    const double level = 32768.0 * std::pow(10.0, -0.3 / 20);

    // Plain, then trimmed and normalized through a conversion: the silence goes (all but 1 ms
    // before the tone) and the peak lands on the level.
    ASSERT_EQ(Tool("import " + Quote(card) + " 01 " + Quote(quiet) + " --quality heavy").status, 0);
    auto r = Tool("import " + Quote(card) + " 02 " + Quote(quiet) +
                  " --quality heavy --trim --normalize --dither");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string plain = card + "/SAMPLE00.BIN", ready = card + "/SAMPLE01.BIN";
    EXPECT_NEAR(SlotPeak(ready), level, 1.0);
    EXPECT_LT(SlotSamplesOf(ready), SlotSamplesOf(plain) - 31250 * 4 / 10);
    EXPECT_GT(SlotSamplesOf(ready), 31250 * 3 / 10);

    // A kit: one gain, so the loudest is at the level and the other 6 dB below it, as before.
    r = Tool("import " + Quote(card) + " 03 " + Quote(hot) + " " + Quote(soft) +
             " --kit-normalize");
    ASSERT_EQ(r.status, 0) << r.out;
    const int loud = SlotPeak(card + "/SAMPLE02.BIN"), low = SlotPeak(card + "/SAMPLE03.BIN");
    EXPECT_NEAR(loud, level, 1.0);
    EXPECT_NEAR(20 * std::log10(static_cast<double>(loud) / low), 6.0, 0.05);
    EXPECT_EQ(Tool("import " + Quote(card) + " 05 " + Quote(soft) + " --trim=loud").status, 2);

    // The mix of two full-scale channels goes beyond 16 bits: the tool says how much it limited.
    const std::string both = dir.file("both.wav");
    ASSERT_EQ(
        testsupport::Run("sox -n -r 31250 -b 16 -c 2 " + Quote(both) + " synth 0.1 square 100")
            .status,
        0);
    r = Tool("import " + Quote(card) + " 06 " + Quote(both));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(" samples clipped: "), std::string::npos) << r.out;
    EXPECT_EQ(Tool("import " + Quote(card) + " 06 " + Quote(both) + " -q").out.find("clipped"),
              std::string::npos);
}

namespace {

// The 16-bit samples of a WAV or AIFF file, as sox reads them.
std::vector<int16_t> FileWords(const std::string& path) {
    const std::string raw = SoxRaw(path);
    std::vector<int16_t> words(raw.size() / 2);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<int16_t>(static_cast<uint8_t>(raw[2 * i]) |
                                        static_cast<uint8_t>(raw[2 * i + 1]) << 8);
    return words;
}

// The samples of a slot file, after its 512-byte header (big-endian).
std::vector<int16_t> SlotWords(const std::string& path) {
    const auto bytes = testsupport::ReadBytes(path);
    std::vector<int16_t> words;
    for (size_t i = 512; i + 1 < bytes.size(); i += 2)
        words.push_back(static_cast<int16_t>(static_cast<uint16_t>(bytes[i] << 8 | bytes[i + 1])));
    return words;
}

nlohmann::json ToolJson(const std::string& args) {
    const auto r = Tool(args, false);
    EXPECT_EQ(r.status, 0) << args;
    return r.status == 0 ? nlohmann::json::parse(r.out) : nlohmann::json::object();
}

} // namespace

// convert takes the preparation flags with import's meaning: sox's `norm` and `fade` give the
// same samples, and an import with the same flags fills its slot with exactly the file's samples.
TEST(Cli, ConvertPreparesTheSoundAsAnImportDoes) {
    TempDir dir;
    const std::string tone = dir.file("tone.wav"), padded = dir.file("padded.wav");
    ASSERT_EQ(testsupport::Run("sox -n -r 31250 -b 24 -c 1 " + Quote(tone) +
                               " synth 0.5 sine 300 gain -12")
                  .status,
              0);
    ASSERT_EQ(testsupport::Run("sox -n -r 44100 -b 24 -c 2 " + Quote(padded) +
                               " synth 0.3 sine 300 sine 410 gain -9 pad 0.2 0.3")
                  .status,
              0);
    const std::string ours = dir.file("ours.wav"), sox = dir.file("sox.wav");
    auto j = ToolJson("convert " + Quote(tone) + " " + Quote(ours) +
                      " --rate 31250 --normalize --fade-in 10 --fade-out 20 --json");
    EXPECT_EQ(j["channels"], 1);
    ASSERT_EQ(testsupport::Run("sox -D " + Quote(tone) + " -b 16 " + Quote(sox) +
                               " norm -0.3 fade h 0.01 -0 0.02")
                  .status,
              0);
    const auto a = FileWords(ours), b = FileWords(sox);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_LE(std::abs(a[i] - b[i]), 1) << i;

    // A stereo source gives its mix by default, converted, trimmed, normalized (the level met
    // once more after the converter) and dithered as in a slot.
    const std::string flags = " --trim --normalize=-1 --dither --fade-out 5 --quality heavy";
    j = ToolJson("convert " + Quote(padded) + " " + Quote(ours) + " --rate 31250 --json" + flags);
    EXPECT_EQ(j["channels"], 1);
    EXPECT_LT(j["frames"].get<int64_t>(), 31250 * 4 / 10);
    ASSERT_EQ(Tool("import -q " + Quote(dir.path()) + " 1 " + Quote(padded) + flags).status, 0);
    const auto converted = FileWords(ours);
    auto slot = SlotWords(dir.file("SAMPLE00.BIN"));
    ASSERT_GE(slot.size(), converted.size());
    slot.resize(converted.size());
    EXPECT_EQ(slot, converted);
    int peak = 0;
    for (int16_t v : converted)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    EXPECT_NEAR(peak, 32768.0 * std::pow(10.0, -1.0 / 20), 1.0);
    EXPECT_EQ(
        Tool("convert " + Quote(padded) + " " + Quote(ours) + " --rate 31250 --trim --channel keep")
            .status,
        2);
}

// The mix of two loud channels goes beyond 16 bits: info says it would, and import, convert and
// export count what they limited, in their warning and in --json.
TEST(Cli, EveryJobReportsWhatItClipped) {
    TempDir dir;
    const std::string both = dir.file("both.wav");
    ASSERT_EQ(testsupport::Run("sox -n -r 31250 -b 16 -c 2 " + Quote(both) +
                               " synth 0.2 square 100 square 150 gain -1")
                  .status,
              0);
    const auto words = FileWords(both);
    int64_t expected = 0;
    for (size_t i = 0; i + 1 < words.size(); i += 2)
        expected += std::abs((words[i] + words[i + 1]) * 0.75) >= 32768.0;
    ASSERT_GT(expected, 100);

    auto j = ToolJson("info --json " + Quote(both));
    EXPECT_EQ(j["mix_clips"], true);
    EXPECT_EQ(j["mix_clipped"], expected);
    const std::string folder = Quote(dir.path());
    j = ToolJson("import " + folder + " 1 " + Quote(both) + " --json");
    EXPECT_EQ(j["slots"][0]["clipped"], expected);
    j = ToolJson("convert " + Quote(both) + " " + Quote(dir.file("mix.wav")) +
                 " --rate 31250 --channel mix --json");
    EXPECT_EQ(j["clipped"], expected);
    const auto r = Tool("convert " + Quote(both) + " " + Quote(dir.file("mix.wav")) +
                        " --rate 31250 --channel mix");
    EXPECT_NE(r.out.find("warning: " + std::to_string(expected) + " samples clipped: " + both),
              std::string::npos)
        << r.out;

    // The converter's overshoot of a square wave at full scale: every sample at a limit counts.
    j = ToolJson("export " + folder + " 1 " + Quote(dir.file("out.wav")) +
                 " --quality heavy --json");
    int64_t atLimits = 0;
    for (int16_t v : FileWords(dir.file("out.wav")))
        atLimits += v == 32767 || v == -32768;
    EXPECT_GT(atLimits, 0);
    EXPECT_EQ(j["clipped"], atLimits);
    // A mono file has no mix to clip.
    EXPECT_EQ(ToolJson("info --json " + Quote(dir.file("out.wav")))["mix_clips"], false);
}

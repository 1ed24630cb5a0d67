// brelka-cli end to end on what the operating system decides: names in several scripts, folder
// spellings, Ctrl-C during a job, the engine library found beside the tool and nowhere else, a
// slot file held open by another program. Runs on Linux and, cross-built, under wine; inputs are
// copies of corpus files, since sox cannot run under wine.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "AudioFile.h"
#include "DynamicLibrary.h"
#include "Environment.h"
#include "Files.h"
#include "TestSupport.h"

using testsupport::ProgramResult;
using testsupport::TempDir;

namespace {

ProgramResult Cli(std::vector<std::string> args, const std::string& tool = "",
                  const std::string& folder = "") {
    args.insert(args.begin(), tool.empty() ? testsupport::Program("brelka-cli") : tool);
    return testsupport::RunProgram(args, folder);
}

void Copy(const std::string& from, const std::string& to) {
    testsupport::WriteBytes(to, testsupport::ReadBytes(from));
}

std::string Kick() {
    return testsupport::CorpusFile("go-audio-wav/kick-16b441k.wav"); // 44100 Hz stereo
}

bool HasTemporaryFile(const std::string& folder) {
    for (const auto& e : std::filesystem::directory_iterator(platform::FsPath(folder)))
        if (e.path().extension() == ".tmp") return true;
    return false;
}

// A 16-bit stereo WAV of noise, long enough for a job that runs for seconds.
void WriteLongWav(const std::string& path, int seconds) {
    AudioFile f;
    ASSERT_EQ(f.openWrite(path, WriterInfo(kAudioFileWav, 2, 16, Extended80::FromUInt32(96000))),
              0);
    std::vector<int16_t> block(2 * 96000);
    uint32_t x = 12345;
    for (auto& s : block) {
        x = x * 1103515245u + 12345u;
        s = static_cast<int16_t>(static_cast<int32_t>(x >> 16) - 32768);
    }
    for (int i = 0; i < seconds; ++i)
        ASSERT_EQ(f.writeFrames(block.data(), 96000), 0);
    ASSERT_EQ(f.close(), 0);
}

const std::vector<uint8_t>& OldSlot() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> b(512, 0);
        const char* text = "TARQ PL-17 SAMPLE DATA VER0001             ";
        std::copy(text, text + 43, b.begin());
        b[44] = 0x1D;
        b[45] = 0x2E;
        b[46] = 0xF6;
        for (int i = 0; i < 1024; ++i)
            b.push_back(static_cast<uint8_t>(i * 7));
        return b;
    }();
    return bytes;
}

} // namespace

// Folders and files named in Latin, Cyrillic, Greek and Japanese script, with spaces and a €,
// through every command; the names come back legibly (UTF-8) in what the tool prints.
TEST(CliSystem, NamesInSeveralScriptsInEveryCommand) {
    TempDir dir;
    const std::string card = dir.file("Kärtchen 日本 ü");
    ASSERT_TRUE(std::filesystem::create_directory(platform::FsPath(card)));
    const std::string kick = card + "/kick é.wav";
    const std::string other = card + "/Привет €.wav";
    const std::string greek = card + "/Ελληνικά.aif";
    Copy(Kick(), kick);
    Copy(testsupport::CorpusFile("go-audio-wav/kick.wav"), other);
    Copy(testsupport::CorpusFile("go-audio-aiff/kick.aif"), greek);

    auto r = Cli({"info", other});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Sampling Rate : 22050.00Hz"), std::string::npos) << r.out;

    r = Cli({"import", card, "03", kick, other, greek, "--quality", "heavy"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("03 SAMPLE02.BIN <- " + kick), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("04 SAMPLE03.BIN <- " + other), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("05 SAMPLE04.BIN <- " + greek), std::string::npos) << r.out;

    r = Cli({"list", "--json", card});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["folder"].get<std::string>(), card);
    ASSERT_EQ(j["slots"].size(), 3u);

    const std::string out = card + "/выход ü.aif";
    r = Cli({"export", card, "4", out, "--quality", "ultra"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" -> " + out), std::string::npos) << r.out;
    r = Cli({"info", "--json", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["rate"].get<double>(), 44100.0);

    const std::string converted = card + "/変換 €.wav";
    r = Cli({"convert", "-q", kick, converted, "--rate", "48000", "--quality", "medium"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(testsupport::FileExists(converted));

    // Failures name the file legibly too.
    r = Cli({"info", card + "/нет €.wav"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Source File error. " + card + "/нет €.wav\n");
    EXPECT_FALSE(HasTemporaryFile(card));
}

// A folder given with a trailing separator (either kind on Windows), or as a drive's root; the
// slot names match in any letter case; a folder at a slot's name is not a slot.
TEST(CliSystem, FolderSpellingsAndSlotNames) {
    TempDir dir;
    ASSERT_EQ(Cli({"import", "-q", dir.path() + "/", "7", Kick(), "--quality", "off"}).status, 0);
    platform::RemoveFile(dir.file("BRELKA.TXT")); // the slot's name is not what this is about
    testsupport::WriteBytes(dir.file("sample00.bin"), OldSlot());
    std::filesystem::create_directory(platform::FsPath(dir.file("SAMPLE09.BIN")));
    std::vector<std::string> spellings = {dir.path(), dir.path() + "/"};
#if defined(_WIN32)
    std::string backslashed = dir.path();
    for (auto& c : backslashed)
        if (c == '/') c = '\\';
    spellings.push_back(backslashed + "\\");
#endif
    // A card as the root of a drive of its own, as a card reader shows it: a drive that the test
    // run maps to an empty folder (under wine through its prefix, since wine's DefineDosDevice
    // and subst make none that files can be reached through).
    const char* drive = std::getenv("BRELKA_CARD_DRIVE");
    if (drive != nullptr && *drive != '\0') {
        const std::string root = std::string(drive) + "\\";
        for (const char* name : {"SAMPLE06.BIN", "sample00.bin"})
            Copy(dir.file(name), root + name);
        spellings.push_back(root);
    }
    for (const auto& folder : spellings) {
        const auto r = Cli({"list", folder});
        EXPECT_EQ(r.status, 0) << folder << ": " << r.err;
#if defined(_WIN32)
        // In the order the file system returns them; "sample00.bin" is SAMPLE00.BIN there.
        const bool first07 = r.out.find("07") < r.out.find("01");
        EXPECT_EQ(r.out,
                  first07 ? "07   0:00:262\n01   0:00:016\n" : "01   0:00:016\n07   0:00:262\n")
            << folder;
#else
        // Here it is another file than the one slot 01 reads.
        EXPECT_EQ(r.out, "07   0:00:262\n") << folder;
#endif
        const auto e = Cli({"export", folder, "7", dir.file("back.wav")});
        EXPECT_EQ(e.status, 0) << e.err;
        EXPECT_NE(e.out.find("07 SAMPLE06.BIN -> "), std::string::npos) << e.out;
    }
    if (drive != nullptr && *drive != '\0')
        for (const char* name : {"SAMPLE06.BIN", "sample00.bin"})
            platform::RemoveFile(std::string(drive) + "\\" + name);
}

// The first Ctrl-C ends a running import at its next block: the slot keeps its previous sample,
// no temporary file is left, and the tool says so with exit code 130. Nothing else appears on a
// standard error that is no terminal (no progress bar).
TEST(CliSystem, CtrlCEndsAnImportCleanly) {
    TempDir dir;
    const std::string source = dir.file("long.wav");
    WriteLongWav(source, 40);
    testsupport::WriteBytes(dir.file("SAMPLE00.BIN"), OldSlot());
    platform::SetEnv("QMX_THREADS", "1");
    testsupport::Child child({testsupport::Program("brelka-cli"), "import", dir.path(), "1", source,
                              "--quality", "heavy"});
    platform::UnsetEnv("QMX_THREADS");
    ASSERT_TRUE(child.started());
    // Once the new slot is being written beside the old one.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!testsupport::FileExists(dir.file("SAMPLE00.BIN.tmp")) &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(testsupport::FileExists(dir.file("SAMPLE00.BIN.tmp")));
    child.Interrupt();
    EXPECT_EQ(child.Wait(), 130);
    const auto err = testsupport::ReadBytes(child.OutputPath("err"));
    EXPECT_NE(std::string(err.begin(), err.end()).find("Interrupted; "), std::string::npos);
    EXPECT_EQ(std::string(err.begin(), err.end()).find("elapsed"), std::string::npos);
    EXPECT_EQ(testsupport::ReadBytes(dir.file("SAMPLE00.BIN")), OldSlot());
    EXPECT_FALSE(HasTemporaryFile(dir.path()));
}

// The engine is looked for beside the tool and in the system's folders, never in the current
// folder: a library planted there is not loaded, whatever the tool then does without it.
TEST(CliSystem, TheEngineComesOnlyFromBesideTheTool) {
    TempDir toolDir, current, card;
    const std::string tool = toolDir.file(
        platform::Utf8Path(platform::FsPath(testsupport::Program("brelka-cli")).filename()));
    Copy(testsupport::Program("brelka-cli"), tool);
    std::filesystem::permissions(platform::FsPath(tool), std::filesystem::perms::owner_all);
    // The stand-in engine copies its input: planted, it would make "heavy" succeed.
    Copy(STANDIN_ENGINE, current.file(platform::EngineLibraryFileName()));

    auto r = Cli({"import", card.path(), "1", Kick(), "--quality", "heavy"}, tool, current.path());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(
        r.err.find("needs the engine library " + std::string(platform::EngineLibraryFileName())),
        std::string::npos)
        << r.err;
    // The play command's module is not there either (nor in any build without the window).
    r = Cli({"play", Kick()}, tool, current.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "This build of brelka-cli has no audio output.\n");

    Copy(testsupport::BinDir() + "/" + platform::EngineLibraryFileName(),
         toolDir.file(platform::EngineLibraryFileName()));
    r = Cli({"import", card.path(), "1", Kick(), "--quality", "heavy"}, tool, current.path());
    EXPECT_EQ(r.status, 0) << r.err;
}

#if defined(_WIN32)
// On Windows a file another program holds open cannot be replaced: the import ends with "File
// write error.", the old slot intact and no temporary file left; once the file is free again the
// same import replaces it.
TEST(CliSystem, ASlotHeldOpenByAnotherProgram) {
    TempDir card;
    const std::string slot = card.file("SAMPLE00.BIN");
    testsupport::WriteBytes(slot, OldSlot());
    std::FILE* held = platform::OpenFile(slot, "rb");
    ASSERT_NE(held, nullptr);
    auto r = Cli({"import", card.path(), "1", Kick(), "--quality", "light"});
    std::fclose(held);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File write error. " + card.path() + "\\SAMPLE00.BIN\n");
    EXPECT_EQ(testsupport::ReadBytes(slot), OldSlot());
    EXPECT_FALSE(HasTemporaryFile(card.path()));

    r = Cli({"import", card.path(), "1", Kick(), "--quality", "light"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(testsupport::ReadBytes(slot), OldSlot());
    EXPECT_FALSE(HasTemporaryFile(card.path()));
}
#endif

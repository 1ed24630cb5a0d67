// brelka-cli's card commands end to end: an import names its slots, list shows the names, and
// rename, move, swap and clear rearrange the card with them; a refusal exits 1 with the card as
// it was. Runs on Linux and under wine (corpus files, no sox).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <map>

#include "TestSupport.h"

using testsupport::ProgramResult;
using testsupport::ReadBytes;
using testsupport::TempDir;

namespace {

ProgramResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), testsupport::Program("brelka-cli"));
    return testsupport::RunProgram(args);
}

nlohmann::json Json(std::vector<std::string> args) {
    args.push_back("--json");
    const ProgramResult r = Cli(args);
    EXPECT_TRUE(r.status == 0 || r.status == 1) << r.err;
    return nlohmann::json::parse(r.out);
}

// Slot number -> name of the slots list --json shows; "!" after a stale name.
std::map<int, std::string> Listed(const std::string& card) {
    std::map<int, std::string> names;
    const nlohmann::json list = Json({"list", card});
    for (const auto& s : list["slots"])
        names[s["slot"].get<int>()] =
            s["name"].get<std::string>() + (s["stale"].get<bool>() ? "!" : "");
    return names;
}

std::string Slot(const std::string& card, int n) {
    char name[32];
    std::snprintf(name, sizeof name, "/SAMPLE%02d.BIN", n - 1);
    return card + name;
}

} // namespace

TEST(CliCard, ImportNamesAndTheCardCommandsCarryThem) {
    TempDir dir;
    const std::string& card = dir.path();
    auto r = Cli({"import", "-q", card, "05", testsupport::CorpusFile("go-audio-wav/kick.wav"),
                  testsupport::CorpusFile("go-audio-wav/bass.wav"),
                  testsupport::CorpusFile("go-audio-aiff/kick8b.aiff"), "--quality", "off"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Listed(card), (std::map<int, std::string>{{5, "kick"}, {6, "bass"}, {7, "kick8b"}}));
    r = Cli({"list", card});
    EXPECT_NE(r.out.find("05   0:00:147  kick\n"), std::string::npos) << r.out;

    r = Cli({"rename", card, "6", "Bass €"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto five = ReadBytes(Slot(card, 5));
    auto j = Json({"move", card, "05", "20"});
    EXPECT_EQ(j["ok"], true);
    EXPECT_EQ(j["from"], 5);
    EXPECT_EQ(j["to"], 20);
    EXPECT_EQ(j["slots"][1]["slot"], 20);
    EXPECT_EQ(j["slots"][1]["name"], "kick");
    EXPECT_EQ(j["slots"][0]["used"], false);
    EXPECT_EQ(ReadBytes(Slot(card, 20)), five);
    ASSERT_EQ(Cli({"swap", card, "20", "7"}).status, 0);
    EXPECT_EQ(Listed(card),
              (std::map<int, std::string>{{6, "Bass €"}, {7, "kick"}, {20, "kick8b"}}));
    j = Json({"clear", card, "6", "7", "8"});
    EXPECT_EQ(j["cleared"], (std::vector<int>{6, 7}));
    EXPECT_EQ(Listed(card), (std::map<int, std::string>{{20, "kick8b"}}));

    // Refusals: exit 1, the reason on stderr and in the JSON, the card as it was.
    ASSERT_EQ(Cli({"import", "-q", card, "21", testsupport::CorpusFile("go-audio-wav/kick.wav"),
                   "--quality", "off"})
                  .status,
              0);
    const auto twenty = ReadBytes(Slot(card, 20));
    r = Cli({"move", card, "20", "21"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Slot 21 is not empty"), std::string::npos) << r.err;
    j = Json({"rename", card, "30", "x"});
    EXPECT_EQ(j["ok"], false);
    EXPECT_NE(j["file"].get<std::string>().find("SAMPLE29.BIN"), std::string::npos);
    EXPECT_EQ(Cli({"clear", card, "x"}).status, 2);
    EXPECT_EQ(Cli({"swap", card, "20", "61"}).status, 2);
    EXPECT_EQ(ReadBytes(Slot(card, 20)), twenty);
    EXPECT_TRUE(testsupport::FileExists(Slot(card, 21)));

    // A slot changed behind the tool's back keeps its name, marked stale.
    testsupport::WriteBytes(Slot(card, 20), ReadBytes(Slot(card, 21)));
    EXPECT_EQ(Listed(card), (std::map<int, std::string>{{20, "kick8b!"}, {21, "kick"}}));
    r = Cli({"list", card});
    EXPECT_NE(r.out.find("  kick8b (stale)\n"), std::string::npos) << r.out;
}

// backup, then restore --exact onto a card changed in between, gives the backed-up card: every
// slot file byte for byte and every name. A backup folder with a file for no slot is refused
// with exit 1 and the card as it was.
TEST(CliCard, BackupThenRestoreExactGivesTheBackedUpCard) {
    TempDir dir;
    const std::string card = dir.file("card"), backup = dir.file("backup");
    std::filesystem::create_directory(card);
    ASSERT_EQ(Cli({"import", "-q", card, "05", testsupport::CorpusFile("go-audio-wav/kick.wav"),
                   testsupport::CorpusFile("go-audio-wav/bass.wav"),
                   testsupport::CorpusFile("go-audio-aiff/kick8b.aiff"), "--quality", "simple"})
                  .status,
              0);
    ASSERT_EQ(Cli({"rename", card, "7", "a/b"}).status, 0);
    std::map<int, std::vector<uint8_t>> slots;
    for (int s : {5, 6, 7})
        slots[s] = ReadBytes(Slot(card, s));
    const auto names = Listed(card);

    nlohmann::json j = Json({"backup", card, backup});
    EXPECT_EQ(j["ok"], true);
    ASSERT_EQ(j["files"].size(), 4u); // three slots and the names file
    EXPECT_EQ(j["files"][2]["file"], "07 a_b.wav");
    EXPECT_EQ(j["files"][2]["slot"], 7);

    ASSERT_EQ(Cli({"swap", card, "5", "6"}).status, 0);
    ASSERT_EQ(Cli({"clear", card, "7"}).status, 0);
    ASSERT_EQ(
        Cli({"import", "-q", card, "30", testsupport::CorpusFile("go-audio-wav/kick.wav")}).status,
        0);

    j = Json({"restore", card, backup, "--exact"});
    EXPECT_EQ(j["ok"], true);
    EXPECT_EQ(j["cleared"], (std::vector<int>{30}));
    EXPECT_EQ(j["restored"].size(), 3u);
    for (int s = 1; s <= 60; ++s) {
        if (slots.count(s))
            EXPECT_EQ(ReadBytes(Slot(card, s)), slots[s]) << s;
        else
            EXPECT_FALSE(testsupport::FileExists(Slot(card, s))) << s;
    }
    EXPECT_EQ(Listed(card), names);

    testsupport::WriteBytes(backup + "/75 high.wav", ReadBytes(backup + "/05 kick.wav"));
    const ProgramResult r = Cli({"restore", card, backup, "--exact"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("75 high.wav"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(Slot(card, 5)), slots[5]);
}

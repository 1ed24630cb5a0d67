// The card model on real card folders: the names file as Notepad and the machine leave it, the
// scan of a full card with its thumbnails, the actions with their names, and drop planning.
#include <gtest/gtest.h>

#include <filesystem>

#include "Card.h"
#include "CardNames.h"
#include "DropPlan.h"
#include "JobCommon.h"
#include "JobTestUtil.h"
#include "Path.h"
#include "SampleFile.h"
#include "TestSupport.h"

using namespace brelka;
using testsupport::ReadBytes;
using testsupport::TempDir;

namespace {

std::string NamesText(const std::string& folder) {
    const auto bytes = ReadBytes(NamesFilePath(folder));
    return {bytes.begin(), bytes.end()};
}

void WriteText(const std::string& path, const std::string& text) {
    testsupport::WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Slot files of noise (each its own seed), named "sound NN".
void FillSlots(const std::string& folder, std::initializer_list<int> slots, size_t samples = 2048) {
    for (int s : slots) {
        jobtest::WriteSlot(SlotFileName(folder, s),
                           jobtest::Noise(samples, static_cast<unsigned>(s)));
        ASSERT_TRUE(RenameSlot(folder, s, "sound " + SlotText(s)).ok);
    }
}

std::string ShownName(const std::string& folder, int slot, bool* stale) {
    return LoadCardNames(folder).Shown(slot, FingerprintOf(SlotFileName(folder, slot)), stale);
}

} // namespace

// A names file edited in Notepad: a byte order mark, LF and CRLF lines, comments, a line for a
// slot typed twice and lines that are no name. The names are read, everything else is kept in
// its order, and the file is written back with CRLF.
TEST(CardNamesFile, ReadsAnEditedFileAndKeepsWhatItDoesNotUnderstand) {
    const std::string text = "\xEF\xBB\xBF; my kit\n"
                             "05 9728 0ae0e99ea7773f29 Kick  808\r\n"
                             "shopping list: strings\n"
                             "61 9728 0ae0e99ea7773f29 no such slot\n"
                             "07 9728 0ae0e99ea7773f2 hash too short\n"
                             "08 12 00000000000000ff \xC3\x28 broken UTF-8\n"
                             "\n"
                             "09 100 00000000000000AB first\n"
                             "09 100 00000000000000ab Snare \xE2\x82\xAC\r\n";
    const CardNames names = CardNames::Parse(text);
    ASSERT_NE(names.Find(5), nullptr);
    EXPECT_EQ(names.Find(5)->name, "Kick  808");
    EXPECT_EQ(names.Find(5)->fingerprint.size, 9728);
    EXPECT_EQ(names.Find(5)->fingerprint.hash, 0x0ae0e99ea7773f29ULL);
    EXPECT_EQ(names.Find(9)->name, "Snare \xE2\x82\xAC");
    for (int s : {7, 8, 61})
        EXPECT_EQ(names.Find(s), nullptr) << s;

    EXPECT_EQ(names.Text(), "; my kit\r\n"
                            "shopping list: strings\r\n"
                            "61 9728 0ae0e99ea7773f29 no such slot\r\n"
                            "07 9728 0ae0e99ea7773f2 hash too short\r\n"
                            "08 12 00000000000000ff \xC3\x28 broken UTF-8\r\n"
                            "\r\n"
                            "05 9728 0ae0e99ea7773f29 Kick  808\r\n"
                            "09 100 00000000000000ab Snare \xE2\x82\xAC\r\n");
    // A file of our own from scratch explains itself, and reads back to the same names.
    CardNames fresh;
    fresh.Set(3, "Hat", SlotFingerprint{600, 1});
    EXPECT_EQ(fresh.Text().rfind(';', 0), 0u);
    EXPECT_EQ(CardNames::Parse(fresh.Text()).Text(), fresh.Text());

    // Names typed by a user become one clean line.
    EXPECT_EQ(CleanSlotName("  Bass\r\nline\t\x01 "), "Bass  line");
    EXPECT_EQ(CleanSlotName("a\xFF"
                            "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(CleanSlotName(std::string(200, 'x') + "\xE2\x82\xAC").size(), kMaxNameBytes);
    EXPECT_EQ(CleanSlotName(std::string(119, 'x') + "\xE2\x82\xAC"), std::string(119, 'x'));
    EXPECT_EQ(NameFromSourcePath("/sounds/kick.final.WAV"), "kick.final");
    EXPECT_EQ(NameFromSourcePath(".wav"), ".wav");
    EXPECT_EQ(SlotExportFileName(5, "Kick 808"), "05 Kick 808.wav");
    EXPECT_EQ(SlotExportFileName(12, "a/b\\c: \"d\"?. ."), "12 a_b_c_ _d__.wav");
    EXPECT_EQ(SlotExportFileName(60, ""), "60.wav");
}

// No file, a file that is not text, a folder at its name: no names, and nothing blocked.
TEST(CardNamesFile, AnUnusableFileGivesNoNamesAndNeverBlocks) {
    TempDir card;
    jobtest::WriteSlot(SlotFileName(card.path(), 1), jobtest::Noise(1024, 1));
    NamesFileState state = NamesFileState::Read;
    EXPECT_TRUE(LoadCardNames(card.path(), &state).empty());
    EXPECT_EQ(state, NamesFileState::Missing);

    testsupport::WriteBytes(NamesFilePath(card.path()), {'0', '1', ' ', 0, 0xFF, '\n'});
    EXPECT_TRUE(LoadCardNames(card.path(), &state).empty());
    EXPECT_EQ(state, NamesFileState::Garbled);
    EXPECT_EQ(ScanCard(card.path(), 0).used, 1);
    // An import names its slot all the same, in a file written anew.
    EXPECT_TRUE(NameSlotAfterImport(card.path(), 1, "/x/Tom low.aif"));
    bool stale = true;
    EXPECT_EQ(ShownName(card.path(), 1, &stale), "Tom low");
    EXPECT_FALSE(stale);

    std::filesystem::remove(NamesFilePath(card.path()));
    std::filesystem::create_directory(NamesFilePath(card.path()));
    EXPECT_TRUE(LoadCardNames(card.path(), &state).empty());
    EXPECT_EQ(state, NamesFileState::Garbled);
    EXPECT_FALSE(NameSlotAfterImport(card.path(), 1, "kick.wav"));
    const auto r = MoveSlot(card.path(), 1, 2);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(testsupport::FileExists(SlotFileName(card.path(), 2)));
    EXPECT_FALSE(testsupport::FileExists(TemporaryNameFor(NamesFilePath(card.path()))));
}

// A full card of 10 s slots: every slot, its length, its name (stale where the slot was changed
// behind the program's back), the summary, and a thumbnail that follows the samples.
TEST(CardScan, AFullCardWithNamesAndThumbnails) {
    TempDir card;
    constexpr size_t kTen = 10 * kDeviceRate;
    std::vector<int16_t> ramp(kTen);
    for (size_t i = 0; i < kTen; ++i)
        ramp[i] = static_cast<int16_t>(i * 30000 / kTen);
    for (int s = 1; s <= kSlotCount; ++s)
        jobtest::WriteSlot(SlotFileName(card.path(), s), ramp);
    ASSERT_TRUE(RenameSlot(card.path(), 4, "Ramp").ok);
    ASSERT_TRUE(RenameSlot(card.path(), 9, "Old").ok);
    jobtest::WriteSlot(SlotFileName(card.path(), 9), jobtest::Noise(kTen, 9)); // same size
    jobtest::WriteSlot(SlotFileName(card.path(), 60), std::vector<int16_t>{-5, 7, 100});

    const CardScan scan = ScanCard(card.path(), 100);
    ASSERT_EQ(scan.slots.size(), 60u);
    EXPECT_EQ(scan.used, 60);
    EXPECT_EQ(scan.Summary(), "60 of 60 slots used, total 9:50.000");
    const CardSlot& ramped = scan.slots[3];
    EXPECT_EQ(ramped.slot, 4);
    EXPECT_EQ(ramped.samples, static_cast<int64_t>(kTen));
    EXPECT_EQ(ramped.length, SlotLengthText(ramped.path));
    EXPECT_EQ(ramped.length, "  0:10:000");
    EXPECT_EQ(ramped.name, "Ramp");
    EXPECT_FALSE(ramped.stale);
    ASSERT_EQ(ramped.low.size(), 100u);
    for (int c = 0; c < 100; ++c) {
        EXPECT_EQ(ramped.low[static_cast<size_t>(c)], 300 * c) << c;
        EXPECT_EQ(ramped.high[static_cast<size_t>(c)], 300 * c + 299) << c;
    }
    EXPECT_EQ(scan.slots[8].name, "Old");
    EXPECT_TRUE(scan.slots[8].stale);
    EXPECT_TRUE(scan.slots[0].name.empty());
    // A slot shorter than its thumbnail still fills every column, ending on its last sample.
    const CardSlot& tiny = scan.slots[59];
    EXPECT_EQ(tiny.samples, 3);
    ASSERT_EQ(tiny.low.size(), 100u);
    for (size_t c : {size_t{0}, size_t{32}})
        EXPECT_TRUE(tiny.low[c] == -5 && tiny.high[c] == -5) << c;
    EXPECT_TRUE(tiny.low[33] == 7 && tiny.high[65] == 7);
    EXPECT_TRUE(tiny.low[99] == 100 && tiny.high[66] == 100);

    // Empty slots (with no name, even where one was left, as "Ramp" of 04), and files at a
    // slot's name that are no sample.
    for (int s : {2, 4})
        std::filesystem::remove(SlotFileName(card.path(), s));
    WriteText(SlotFileName(card.path(), 3), "not a sample");
    std::filesystem::remove(SlotFileName(card.path(), 5));
    std::filesystem::create_directory(SlotFileName(card.path(), 5));
    const CardScan holes = ScanCard(card.path(), 10);
    EXPECT_EQ(holes.used, 56);
    for (int s : {2, 3, 4, 5}) {
        const CardSlot& slot = holes.slots[static_cast<size_t>(s - 1)];
        EXPECT_FALSE(slot.used) << s;
        EXPECT_TRUE(slot.length.empty() && slot.low.empty() && slot.name.empty()) << s;
    }
    EXPECT_TRUE(ScanCard(card.file("gone"), 10).Summary() == "0 of 60 slots used, total 0:00.000");
}

// Move, swap, clear and rename rearrange the files and carry the names with the sounds.
TEST(CardActions, NamesGoWithTheSounds) {
    TempDir card;
    const std::string& dir = card.path();
    FillSlots(dir, {5, 6, 7, 8});
    const auto five = ReadBytes(SlotFileName(dir, 5));
    const auto six = ReadBytes(SlotFileName(dir, 6));

    auto r = MoveSlot(dir, 5, 20);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.namesSaved);
    EXPECT_EQ(r.slots, (std::vector<int>{5, 20}));
    EXPECT_FALSE(testsupport::FileExists(SlotFileName(dir, 5)));
    EXPECT_EQ(ReadBytes(SlotFileName(dir, 20)), five);
    bool stale = true;
    EXPECT_EQ(ShownName(dir, 20, &stale), "sound 05");
    EXPECT_FALSE(stale);
    EXPECT_EQ(LoadCardNames(dir).Find(5), nullptr);

    r = SwapSlots(dir, 20, 6);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(ReadBytes(SlotFileName(dir, 6)), five);
    EXPECT_EQ(ReadBytes(SlotFileName(dir, 20)), six);
    EXPECT_EQ(ShownName(dir, 6, &stale), "sound 05");
    EXPECT_EQ(ShownName(dir, 20, &stale), "sound 06");
    // A swap with an empty slot is a move.
    r = SwapSlots(dir, 30, 20);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(ReadBytes(SlotFileName(dir, 30)), six);
    EXPECT_EQ(ShownName(dir, 30, &stale), "sound 06");

    r = RenameSlot(dir, 30, "  Bass\nline ");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(ShownName(dir, 30, &stale), "Bass line");

    r = ClearSlots(dir, {7, 8, 9, 7});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.slots, (std::vector<int>{7, 8}));
    EXPECT_EQ(ScanCard(dir, 0).used, 2);
    EXPECT_EQ(NamesText(dir).find("sound 07"), std::string::npos);
    EXPECT_EQ(NamesText(dir).find("sound 08"), std::string::npos);
    EXPECT_EQ(jobtest::FolderNames(dir),
              (std::vector<std::string>{"BRELKA.TXT", "SAMPLE05.BIN", "SAMPLE29.BIN"}));

    // Refusals leave the card as it was and say why.
    const auto before = NamesText(dir);
    const std::pair<CardActionResult, std::string> refused[] = {
        {MoveSlot(dir, 6, 30), "not empty"},
        {MoveSlot(dir, 1, 2), "is empty"},
        {SwapSlots(dir, 1, 2), "both empty"},
        {RenameSlot(dir, 2, "x"), "is empty"},
        {MoveSlot(dir, 6, 61), "no slot 61"},
        {ClearSlots(dir, {0}), "no slot 0"},
        {MoveSlot(card.file("gone"), 1, 2), "No such folder"},
    };
    for (const auto& [result, why] : refused) {
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(why), std::string::npos) << result.error;
    }
    WriteText(SlotFileName(dir, 40), "a file of another program");
    r = MoveSlot(dir, 6, 40);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("SAMPLE39.BIN is in the way"), std::string::npos) << r.error;
    EXPECT_EQ(NamesText(dir), before);
    EXPECT_EQ(ReadBytes(SlotFileName(dir, 6)), five);
}

// A swap whose second step fails (the other slot vanished meanwhile) puts the first slot back; a
// clear that cannot put one slot aside clears none.
TEST(CardActions, AFailureHalfwayPutsBackWhatWasChanged) {
    TempDir card;
    const std::string& dir = card.path();
    FillSlots(dir, {1, 2, 3, 4});
    const auto one = ReadBytes(SlotFileName(dir, 1));
    const auto names = NamesText(dir);
    CardActionHooks hooks;
    hooks.midSwap = [&] { std::filesystem::remove(SlotFileName(dir, 2)); };
    auto r = SwapSlots(dir, 1, 2, hooks);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("put back"), std::string::npos) << r.error;
    EXPECT_EQ(r.file, SlotFileName(dir, 2));
    EXPECT_EQ(ReadBytes(SlotFileName(dir, 1)), one);
    EXPECT_EQ(NamesText(dir), names);

    // A folder where slot 04's file would be put aside.
    const auto three = ReadBytes(SlotFileName(dir, 3));
    std::filesystem::create_directories(AsideNameFor(SlotFileName(dir, 4)) + "/x");
    r = ClearSlots(dir, {3, 4});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.file, SlotFileName(dir, 4));
    EXPECT_EQ(ReadBytes(SlotFileName(dir, 3)), three);
    EXPECT_TRUE(testsupport::FileExists(SlotFileName(dir, 4)));
    EXPECT_FALSE(testsupport::FileExists(AsideNameFor(SlotFileName(dir, 3))));
    EXPECT_EQ(NamesText(dir), names);
}

// Dropped files and folders become one slot each, in name order, or are refused as a whole.
TEST(DropPlanning, FilesAndFoldersIntoConsecutiveSlots) {
    TempDir drop;
    const auto sound = jobtest::Noise(800, 1);
    for (const char* name : {"b.wav", "a10.wav", "A2.WAV", "c.aif", "sub/inner.wav"}) {
        std::filesystem::create_directories(std::filesystem::path(drop.file(name)).parent_path());
        jobtest::SoxWrite(drop.file(name), sound, 44100, 1);
    }
    WriteText(drop.file("notes.txt"), "not a sound");
    WriteText(drop.file("fake.wav"), "not a sound either");

    std::filesystem::create_directory(drop.file("kit"));
    for (const char* name : {"b.wav", "a10.wav", "A2.WAV", "c.aif"})
        std::filesystem::copy_file(drop.file(name), drop.file(std::string("kit/") + name));
    std::filesystem::create_directory(drop.file("kit/sub"));
    WriteText(drop.file("kit/readme.txt"), "x");

    DropPlan plan = PlanDrop({drop.file("kit")}, 5);
    ASSERT_TRUE(plan.ok) << plan.error;
    ASSERT_EQ(plan.items.size(), 4u);
    const char* order[] = {"A2.WAV", "a10.wav", "b.wav", "c.aif"};
    const std::string kit = platform::WithTrailingSeparator(drop.file("kit"));
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(plan.items[k].source, kit + order[k]);
        EXPECT_EQ(plan.items[k].slot, 5 + static_cast<int>(k));
    }
    plan = PlanDrop({drop.file("c.aif"), drop.file("b.wav")}, 59);
    ASSERT_TRUE(plan.ok) << plan.error;
    EXPECT_EQ(plan.items[0].source, drop.file("b.wav"));
    EXPECT_EQ(plan.items[1].slot, 60);

    plan = PlanDrop({drop.file("c.aif"), drop.file("b.wav"), drop.file("a10.wav")}, 59);
    EXPECT_FALSE(plan.ok);
    EXPECT_TRUE(plan.items.empty());
    EXPECT_EQ(plan.file, drop.file("c.aif")); // the third in name order has no slot
    EXPECT_NE(plan.error.find("past slot 60"), std::string::npos);

    for (const char* bad : {"fake.wav", "notes.txt", "none.wav"}) {
        plan = PlanDrop({drop.file("b.wav"), drop.file(bad)}, 1);
        EXPECT_FALSE(plan.ok) << bad;
        EXPECT_EQ(plan.file, drop.file(bad));
        EXPECT_NE(plan.error.find(drop.file(bad)), std::string::npos) << plan.error;
    }
    EXPECT_FALSE(PlanDrop({drop.file("kit/sub")}, 1).ok);
}

// Backup and restore of a whole card on real card folders: the round trip gives back every
// slot file byte for byte, a restore that fails or is stopped leaves the card as it was, the
// backup folder is checked before anything is written, and the scan removes only what the
// program's own interrupted writes left.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>

#include "Card.h"
#include "CardBackup.h"
#include "CardHistory.h"
#include "CardNames.h"
#include "JobCommon.h"
#include "JobTestUtil.h"
#include "ReSampler.h"
#include "SampleFile.h"
#include "TestSupport.h"

using namespace brelka;
using testsupport::ReadBytes;
using testsupport::TempDir;

namespace {

using Bytes = std::vector<uint8_t>;

// A full card: 60 slots of noise of different lengths (some not a multiple of 512 samples, as
// the machine may leave them), named "sound NN" but for slot 07 (no name) and slot 09 ("a:b",
// which no file name holds).
void FullCard(const std::string& folder, unsigned seed) {
    for (int s = 1; s <= kSlotCount; ++s) {
        const size_t samples = 700 + 53 * static_cast<size_t>(s) + seed;
        jobtest::WriteSlot(SlotFileName(folder, s),
                           jobtest::Noise(samples, seed * 100 + static_cast<unsigned>(s)));
        if (s == 7) continue;
        ASSERT_TRUE(RenameSlot(folder, s, s == 9 ? "a:b" : "sound " + SlotText(s)).ok);
    }
}

std::map<int, std::string> Names(const std::string& folder) {
    std::map<int, std::string> names;
    for (const CardSlot& slot : ScanCard(folder, 0).slots)
        if (!slot.name.empty()) names[slot.slot] = slot.name + (slot.stale ? "!" : "");
    return names;
}

CardJobResult Restore(const std::string& src, const std::string& folder,
                      const RestoreOptions& options = {}, const CardJobProgress& progress = {},
                      CardHistory* history = nullptr) {
    CReSampler resampler;
    const RestorePlan plan = PlanRestore(src);
    EXPECT_TRUE(plan.ok) << plan.error;
    return RestoreCard(plan, folder, options, resampler, progress, history);
}

double PeakDb(const std::vector<int16_t>& samples) {
    int peak = 0;
    for (int16_t v : samples)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    return 20.0 * std::log10(peak / 32768.0);
}

} // namespace

// A full card backed up, changed in every way (a slot rewritten, one cleared, one added, names
// changed), restored exactly: every slot file and every name is as it was, and the restore is
// one step that Undo takes back to the changed card byte for byte.
TEST(CardBackup, ARoundTripGivesBackAFullCardByteForByte) {
    TempDir card, backup, storage;
    FullCard(card.path(), 1);
    const auto before = jobtest::CardFiles(card.path());
    const auto names = Names(card.path());

    std::vector<int> progressed;
    CardJobProgress progress;
    progress.file = [&](int done, int total, const std::string&) {
        EXPECT_EQ(total, 60);
        progressed.push_back(done);
        return false;
    };
    int blocks = 0;
    progress.block = [&](int, int) { ++blocks; };
    const CardJobResult backedUp = BackupCard(card.path(), backup.file("new"), progress);
    ASSERT_TRUE(backedUp.ok) << backedUp.error;
    EXPECT_EQ(progressed.size(), 61u);
    EXPECT_EQ(blocks, 60);
    EXPECT_EQ(backedUp.slots.size(), 60u);
    EXPECT_TRUE(testsupport::FileExists(backup.file("new/05 sound 05.wav")));
    EXPECT_TRUE(testsupport::FileExists(backup.file("new/07 slot.wav")));
    EXPECT_TRUE(testsupport::FileExists(backup.file("new/09 a_b.wav")));
    EXPECT_EQ(ReadBytes(backup.file("new/BRELKA.TXT")), ReadBytes(NamesFilePath(card.path())));
    // What sox reads from a backed-up file is the slot exactly, at the machine's rate.
    const std::string eleven = backup.file("new/11 sound 11.wav");
    EXPECT_EQ(jobtest::SoxRead(eleven), jobtest::SlotSamples(SlotFileName(card.path(), 11)));
    EXPECT_EQ(jobtest::SoxInfo(eleven, "-r"), "31250");
    EXPECT_EQ(jobtest::SoxInfo(eleven, "-c"), "1");
    // A second backup into the same folder would leave two files for a slot, one into the card
    // would fill it: refused.
    for (const std::string& dest : {backup.file("new"), card.path() + "/."}) {
        const CardJobResult refused = BackupCard(card.path(), dest);
        EXPECT_FALSE(refused.ok) << dest;
        EXPECT_FALSE(refused.file.empty());
    }
    EXPECT_EQ(jobtest::FolderNames(card.path()).size(), 61u);

    jobtest::WriteSlot(SlotFileName(card.path(), 3), jobtest::Noise(4096, 77));
    ASSERT_TRUE(ClearSlots(card.path(), {20}).ok);
    ASSERT_TRUE(RenameSlot(card.path(), 30, "changed").ok);
    ASSERT_TRUE(SwapSlots(card.path(), 40, 41).ok);
    jobtest::WriteSlot(SlotFileName(card.path(), 20), jobtest::Noise(100, 5)); // another program
    const auto changed = jobtest::CardFiles(card.path());

    CardHistory history(storage.path());
    RestoreOptions exact;
    exact.exact = true;
    const CardJobResult restored = Restore(backup.file("new"), card.path(), exact, {}, &history);
    ASSERT_TRUE(restored.ok) << restored.error;
    EXPECT_EQ(restored.slots.size(), 60u);
    const auto after = jobtest::CardFiles(card.path());
    for (int s = 1; s <= kSlotCount; ++s)
        EXPECT_EQ(after.at(SlotFileName(card.path(), s)), before.at(SlotFileName(card.path(), s)))
            << "slot " << s;
    EXPECT_EQ(Names(card.path()), names);
    EXPECT_EQ(Names(card.path()).at(9), "a:b");

    EXPECT_EQ(history.UndoLabel(card.path()), "Restore Card");
    ASSERT_TRUE(history.Undo(card.path()).ok);
    EXPECT_EQ(jobtest::CardFiles(card.path()), changed);
}

// A restore that fails at its 40th file, or that is stopped at its 20th, leaves all 60 slots
// and the names as they were before it began, and nothing of it on the card.
TEST(CardBackup, AFailedOrStoppedRestoreLeavesTheCardAsItWas) {
    TempDir card, backup;
    FullCard(card.path(), 2);
    ASSERT_TRUE(BackupCard(card.path(), backup.path()).ok);
    // The card now holds another kit; slot 40 cannot be written (its temporary file's place is
    // taken by a folder).
    FullCard(card.path(), 3);
    ASSERT_TRUE(ClearSlots(card.path(), {50}).ok);
    const auto before = jobtest::CardFiles(card.path());
    const std::string blocked = TemporaryNameFor(SlotFileName(card.path(), 40));
    std::filesystem::create_directory(blocked);

    RestoreOptions exact;
    exact.exact = true;
    CardJobResult r = Restore(backup.path(), card.path(), exact);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(r.file, SlotFileName(card.path(), 40));
    EXPECT_NE(r.error.find("40 sound 40.wav"), std::string::npos) << r.error;
    EXPECT_EQ(jobtest::CardFiles(card.path()), before);
    std::filesystem::remove(blocked);

    CardJobProgress stop;
    stop.file = [](int done, int, const std::string&) { return done == 19; };
    r = Restore(backup.path(), card.path(), exact, stop);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(jobtest::CardFiles(card.path()), before);
    EXPECT_EQ(jobtest::FolderNames(card.path()).size(), 60u); // 59 slots and the names file
}

// The whole folder is checked before anything is written: a file that is no sound, a number
// outside 01-60, two files for one slot and a file without a number are each refused with its
// name; "NN slot" and "NN" alone give no name, other rates are converted at the quality asked
// for, the slots without a file stay, and a kit takes one gain over all its files.
TEST(CardBackup, ARestoreFolderIsCheckedAsAWholeAndTakesEveryRate) {
    TempDir src;
    const auto quiet = jobtest::Noise(3000, 1, 4000);
    const auto loud = jobtest::Noise(3000, 2, 16000);
    jobtest::SoxWrite(src.file("01 slot.wav"), quiet, 31250, 1);
    jobtest::SoxWrite(src.file("02.aif"), loud, 44100, 2);
    jobtest::SoxWrite(src.file("3 Snare.wav"), quiet, 31250, 1);
    testsupport::WriteBytes(src.file("._3 Snare.wav"), Bytes(82, 0)); // macOS's, on a stick

    struct Bad {
        const char* name;
        const char* says;
    };
    for (const Bad& bad :
         {Bad{"61 high.wav", "slots are 01 to 60"}, Bad{"00 low.wav", "slots are 01 to 60"},
          Bad{"03 again.wav", "both for slot 03"},
          Bad{"kick.wav", "does not begin with a slot number"},
          Bad{"04 fake.wav", "cannot be read as a sound"}}) {
        if (std::string(bad.name) == "04 fake.wav")
            testsupport::WriteBytes(src.file(bad.name), Bytes(100, 'x'));
        else
            jobtest::SoxWrite(src.file(bad.name), quiet, 31250, 1);
        const RestorePlan plan = PlanRestore(src.path());
        EXPECT_FALSE(plan.ok) << bad.name;
        EXPECT_NE(plan.error.find(bad.says), std::string::npos) << plan.error;
        EXPECT_NE(plan.error.find(bad.name), std::string::npos) << plan.error;
        EXPECT_EQ(std::filesystem::path(plan.file).parent_path(), src.path());
        std::filesystem::remove(src.file(bad.name));
    }
    EXPECT_FALSE(PlanRestore(src.file("none")).ok);

    const RestorePlan plan = PlanRestore(src.path());
    ASSERT_TRUE(plan.ok) << plan.error;
    ASSERT_EQ(plan.items.size(), 3u);
    EXPECT_EQ(plan.items[0].name, "");
    EXPECT_EQ(plan.items[1].name, "");
    EXPECT_EQ(plan.items[2].name, "Snare");

    // The 44100 Hz stereo file becomes what an import of it at the same quality gives.
    // A slot the folder has no file for stays as it is.
    TempDir card, imported;
    jobtest::WriteSlot(SlotFileName(card.path(), 10), loud);
    const auto ten = ReadBytes(SlotFileName(card.path(), 10));
    CReSampler resampler;
    RestoreOptions simple;
    simple.quality = kQualitySimple;
    ASSERT_TRUE(RestoreCard(plan, card.path(), simple, resampler).ok);
    EXPECT_EQ(ReadBytes(SlotFileName(card.path(), 10)), ten);
    ImportRequest request;
    request.sourcePath = src.file("02.aif");
    request.folder = imported.path();
    request.slotText = "2";
    request.quality = kQualitySimple;
    ASSERT_EQ(RunImport(request, resampler).status, JobStatus::Done);
    EXPECT_EQ(ReadBytes(SlotFileName(card.path(), 2)), ReadBytes(SlotFileName(imported.path(), 2)));
    EXPECT_EQ(jobtest::SlotSamples(SlotFileName(card.path(), 1)), quiet);

    // One gain for the kit: the loudest at the level, the others as far below it as before.
    RestoreOptions kit;
    kit.prep.normalizeDb = -1.0;
    kit.prep.kit = true;
    kit.quality = kQualityOff;
    ASSERT_TRUE(RestoreCard(plan, card.path(), kit, resampler).ok);
    const double quietDb = PeakDb(jobtest::SlotSamples(SlotFileName(card.path(), 3)));
    const double loudDb = PeakDb(jobtest::SlotSamples(SlotFileName(card.path(), 2)));
    EXPECT_NEAR(loudDb, -1.0, 0.01);
    const double apart =
        20.0 * std::log10(SourcePeak(src.file("02.aif"), kChannelMix, kit.prep) /
                          SourcePeak(src.file("3 Snare.wav"), kChannelMix, kit.prep));
    EXPECT_NEAR(loudDb - quietDb, apart, 0.05);
}

// The scan removes the slot and names files the program's own writes left when interrupted,
// and says so once; a temporary file of a name or content not the program's, one being written
// right now, and a slot put aside by a swap are kept.
TEST(CardLeftovers, TheScanRemovesOnlyWhatTheProgramLeft) {
    TempDir card;
    const std::string& dir = card.path();
    jobtest::WriteSlot(SlotFileName(dir, 1), jobtest::Noise(512, 1));
    jobtest::WriteSlot(TemporaryNameFor(SlotFileName(dir, 1)), jobtest::Noise(300, 2));
    jobtest::WriteSlot(TemporaryNameFor(SlotFileName(dir, 7)), jobtest::Noise(300, 3));
    testsupport::WriteBytes(TemporaryNameFor(NamesFilePath(dir)), Bytes(10, 'n'));
    testsupport::WriteBytes(TemporaryNameFor(SlotFileName(dir, 8)), Bytes(600, 'x')); // no header
    testsupport::WriteBytes(card.file("mine.tmp"), Bytes(600, 'y'));
    jobtest::WriteSlot(AsideNameFor(SlotFileName(dir, 9)), jobtest::Noise(300, 4));
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5);
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        std::filesystem::last_write_time(entry.path(), old);
    // Written a moment ago: perhaps by another copy of the program, still at work.
    jobtest::WriteSlot(TemporaryNameFor(SlotFileName(dir, 12)), jobtest::Noise(300, 5));

    const CardScan scan = ScanCard(dir, 0);
    EXPECT_EQ(scan.leftovers,
              (std::vector<std::string>{"SAMPLE00.BIN.tmp", "SAMPLE06.BIN.tmp", "BRELKA.TXT.tmp"}));
    EXPECT_EQ(LeftoversNotice(scan.leftovers),
              "Removed what an interrupted write left: "
              "SAMPLE00.BIN.tmp, SAMPLE06.BIN.tmp, BRELKA.TXT.tmp");
    EXPECT_EQ(scan.used, 1);
    EXPECT_EQ(jobtest::FolderNames(dir),
              (std::vector<std::string>{"SAMPLE00.BIN", "SAMPLE07.BIN.tmp", "SAMPLE08.BIN.aside",
                                        "SAMPLE11.BIN.tmp", "mine.tmp"}));
    EXPECT_TRUE(ScanCard(dir, 0).leftovers.empty()); // said once
    EXPECT_EQ(LeftoversNotice({}), "");
}

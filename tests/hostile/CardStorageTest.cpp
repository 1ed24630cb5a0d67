// The card's actions on a card that is full or read-only: the slots are rearranged where the
// file system allows it, the names are given up (and said so) where it does not, and nothing is
// ever half done or left behind.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "Card.h"
#include "CardBackup.h"
#include "HostileSupport.h"
#include "JobCommon.h"
#include "JobTestUtil.h"
#include "ReSampler.h"
#include "SampleFile.h"
#include "TestSupport.h"

using namespace brelka;
using hostile::Mounted;
using testsupport::ReadBytes;

namespace {

// Slots 01 ... 03 of noise, named "one", "two", "three".
void NamedSlots(const std::string& folder) {
    const char* names[] = {"one", "two", "three"};
    for (int s = 1; s <= 3; ++s) {
        jobtest::WriteSlot(SlotFileName(folder, s), jobtest::Noise(1000, static_cast<unsigned>(s)));
        ASSERT_TRUE(RenameSlot(folder, s, names[s - 1]).ok);
    }
}

} // namespace

// A full card: moves, swaps and clears still work (they rename, which needs no space), the
// names cannot follow and each action says so; a rename fails with the file it could not
// write.
TEST(CardStorage, AFullCardWorksWithoutNames) {
    Mounted card("size=256k");
    if (!card.ok()) GTEST_SKIP() << "cannot mount a tmpfs here: " << card.error();
    NamedSlots(card.path());
    const auto one = ReadBytes(SlotFileName(card.path(), 1));
    const auto namesBefore = ReadBytes(NamesFilePath(card.path()));
    card.Fill("filler");

    auto r = MoveSlot(card.path(), 1, 10);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(r.namesSaved);
    EXPECT_NE(r.namesWarning.find("BRELKA.TXT"), std::string::npos);
    EXPECT_NE(r.namesWarning.find("read-only or full"), std::string::npos);
    EXPECT_EQ(ReadBytes(SlotFileName(card.path(), 10)), one);
    NamesNotice notice; // said once for the card, not at every action
    EXPECT_EQ(notice.Take(card.path()), r.namesWarning);

    r = SwapSlots(card.path(), 2, 3);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(r.namesSaved);
    EXPECT_TRUE(notice.Take(card.path() + "/").empty());

    r = RenameSlot(card.path(), 3, "new");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.file, NamesFilePath(card.path()));
    EXPECT_EQ(ReadBytes(NamesFilePath(card.path())), namesBefore);
    // The names it could not change now show as stale rather than wrong.
    const CardScan scan = ScanCard(card.path(), 0);
    EXPECT_EQ(scan.used, 3);
    EXPECT_TRUE(scan.slots[2].stale); // "three", now holding two's sound
    // Clearing frees room, so the names are written again.
    r = ClearSlots(card.path(), {2});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.namesSaved);
    EXPECT_EQ(jobtest::FolderNames(card.path()),
              (std::vector<std::string>{"BRELKA.TXT", "SAMPLE02.BIN", "SAMPLE09.BIN", "filler"}));
}

// A read-only card: it is seen with its names, and every action is refused with the card as it
// was.
TEST(CardStorage, AReadOnlyCardIsSeenAndLeftAlone) {
    Mounted card("size=1m");
    if (!card.ok()) GTEST_SKIP() << "cannot mount a tmpfs here: " << card.error();
    NamedSlots(card.path());
    if (!card.RemountReadOnly()) GTEST_SKIP() << "cannot remount: " << std::strerror(errno);
    const auto before = jobtest::FolderNames(card.path());
    const auto one = ReadBytes(SlotFileName(card.path(), 1));

    const CardScan scan = ScanCard(card.path(), 8);
    EXPECT_EQ(scan.Summary(), "3 of 60 slots used, total 0:00.096");
    EXPECT_EQ(scan.slots[0].name, "one");

    const CardActionResult refused[] = {
        MoveSlot(card.path(), 1, 5),
        SwapSlots(card.path(), 1, 2),
        ClearSlots(card.path(), {1, 2, 3}),
        RenameSlot(card.path(), 1, "x"),
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.file.empty());
        EXPECT_NE(r.error.find(r.file.substr(r.file.rfind('/') + 1)), std::string::npos) << r.error;
    }
    EXPECT_EQ(jobtest::FolderNames(card.path()), before);
    EXPECT_EQ(ReadBytes(SlotFileName(card.path(), 1)), one);
    EXPECT_FALSE(NameSlotAfterImport(card.path(), 1, "kick.wav"));
}

// A restore onto a card that fills up halfway: it fails naming the slot it could not write,
// and every slot and the names go back to what they were, though the card has no room left
// for a copy beside a slot; a backup into a full folder fails the same way and leaves nothing.
TEST(CardStorage, ARestoreOntoACardThatFillsUpPutsEverythingBack) {
    Mounted card("size=1m");
    if (!card.ok()) GTEST_SKIP() << "cannot mount a tmpfs here: " << card.error();
    testsupport::TempDir backup;
    for (int s = 1; s <= 10; ++s)
        jobtest::WriteSlot(SlotFileName(backup.path(), s),
                           jobtest::Noise(30000, static_cast<unsigned>(s)));
    ASSERT_TRUE(BackupCard(backup.path(), backup.file("kit")).ok);
    for (int s = 1; s <= 10; ++s) {
        jobtest::WriteSlot(SlotFileName(card.path(), s),
                           jobtest::Noise(20000, 50 + static_cast<unsigned>(s)));
        ASSERT_TRUE(RenameSlot(card.path(), s, "old " + SlotText(s)).ok);
    }
    // Room for a few slots that each grow by 20 kB, until less is left than a slot's copy.
    card.Fill("filler");
    std::filesystem::resize_file(card.file("filler"),
                                 std::filesystem::file_size(card.file("filler")) - 130 * 1024);
    const auto before = jobtest::CardFiles(card.path());

    CReSampler resampler;
    const RestorePlan plan = PlanRestore(backup.file("kit"));
    ASSERT_TRUE(plan.ok) << plan.error;
    const CardJobResult r = RestoreCard(plan, card.path(), {}, resampler);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("File write error."), std::string::npos) << r.error;
    EXPECT_EQ(r.file.substr(0, card.path().size()), card.path());
    EXPECT_EQ(jobtest::CardFiles(card.path()), before);
    EXPECT_EQ(jobtest::FolderNames(card.path()).size(), 12u); // 10 slots, names, filler

    card.Fill("more");
    const CardJobResult b = BackupCard(backup.path(), card.file("backup"));
    EXPECT_FALSE(b.ok);
    EXPECT_NE(b.error.find("could not be written"), std::string::npos) << b.error;
    EXPECT_TRUE(jobtest::FolderNames(card.file("backup")).empty());
}

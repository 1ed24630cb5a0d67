// Undo and redo on real card folders: every file back to its exact bytes, nothing overwritten
// that changed behind the program's back, each folder its own history, a drop one step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CardHistory.h"
#include "CardNames.h"
#include "CardSteps.h"
#include "Files.h"
#include "JobTestUtil.h"
#include "ReSampler.h"
#include "SampleFile.h"
#include "TestSupport.h"

using namespace brelka;
using testsupport::FileExists;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Some(uint8_t seed, size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(seed + i * 31);
    return b;
}

// A card with slots 01 and 02 and a names file; a step that rewrites 01, creates 03, removes 02
// and rewrites the names.
struct Card {
    TempDir dir;
    std::string s1 = SlotFileName(dir.path(), 1), s2 = SlotFileName(dir.path(), 2),
                s3 = SlotFileName(dir.path(), 3), names = dir.file("BRELKA.TXT");
    Bytes old1 = Some(1, 5000), old2 = Some(2, 70000), oldNames = Some(3, 40);
    Bytes new1 = Some(4, 6000), new3 = Some(5, 100), newNames = Some(6, 44);

    Card() {
        WriteBytes(s1, old1);
        WriteBytes(s2, old2);
        WriteBytes(names, oldNames);
    }
    std::unique_ptr<CardHistory::Step> Change(CardHistory& history, const std::string& label) {
        auto step = history.Begin(dir.path(), {s1, s2, s3, names}, label);
        EXPECT_TRUE(step);
        WriteBytes(s1, new1);
        platform::RemoveFile(s2);
        WriteBytes(s3, new3);
        WriteBytes(names, newNames);
        return step;
    }
    void ExpectBefore() const {
        EXPECT_EQ(ReadBytes(s1), old1);
        EXPECT_EQ(ReadBytes(s2), old2);
        EXPECT_FALSE(FileExists(s3));
        EXPECT_EQ(ReadBytes(names), oldNames);
    }
    void ExpectAfter() const {
        EXPECT_EQ(ReadBytes(s1), new1);
        EXPECT_FALSE(FileExists(s2));
        EXPECT_EQ(ReadBytes(s3), new3);
        EXPECT_EQ(ReadBytes(names), newNames);
    }
};

TEST(CardHistory, UndoAndRedoGiveBackEveryFileByteForByte) {
    TempDir storageRoot;
    Card card;
    std::string storage;
    {
        CardHistory history(storageRoot.path());
        storage = history.storage();
        ASSERT_FALSE(storage.empty());
        EXPECT_FALSE(history.CanUndo(card.dir.path()));
        history.Commit(card.Change(history, "Import into 01"));
        card.ExpectAfter();
        EXPECT_EQ(history.UndoLabel(card.dir.path()), "Import into 01");
        EXPECT_FALSE(history.CanRedo(card.dir.path()));

        ASSERT_TRUE(history.Undo(card.dir.path()).ok);
        card.ExpectBefore();
        EXPECT_FALSE(history.CanUndo(card.dir.path()));
        EXPECT_EQ(history.RedoLabel(card.dir.path()), "Import into 01");
        ASSERT_TRUE(history.Redo(card.dir.path()).ok);
        card.ExpectAfter();
        ASSERT_TRUE(history.Undo(card.dir.path()).ok);
        card.ExpectBefore();
        EXPECT_FALSE(FileExists(card.s1 + ".tmp"));

        // A new step after an undo: what was undone cannot come back.
        auto step = history.Begin(card.dir.path(), {card.s2}, "Clear 02");
        platform::RemoveFile(card.s2);
        history.Commit(std::move(step));
        EXPECT_FALSE(history.CanRedo(card.dir.path()));
        EXPECT_EQ(history.UndoLabel(card.dir.path()), "Clear 02");
    }
    // What the steps kept lived outside the card, and is gone with the history.
    EXPECT_FALSE(platform::IsDirectory(storage));
}

TEST(CardHistory, AFileChangedBehindTheProgramsBackRefusesTheUndoAndKeepsTheHistory) {
    Card card;
    CardHistory history;
    history.Commit(card.Change(history, "Drop into 01-03"));
    const Bytes machine = Some(9, 5000); // the machine rewrote slot 03
    WriteBytes(card.s3, machine);

    const HistoryResult refused = history.Undo(card.dir.path());
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.file, card.s3);
    EXPECT_NE(refused.message.find("slot 03"), std::string::npos) << refused.message;
    EXPECT_EQ(ReadBytes(card.s1), card.new1); // nothing was touched
    EXPECT_EQ(ReadBytes(card.s3), machine);
    EXPECT_EQ(history.UndoLabel(card.dir.path()), "Drop into 01-03");

    WriteBytes(card.s3, card.new3); // as the step left it again: the undo goes through
    ASSERT_TRUE(history.Undo(card.dir.path()).ok);
    card.ExpectBefore();
    // Redo is refused the same way when the card changed after the undo.
    WriteBytes(card.s2, machine);
    EXPECT_FALSE(history.Redo(card.dir.path()).ok);
    EXPECT_EQ(ReadBytes(card.s2), machine);
}

TEST(CardHistory, EachFolderHasItsOwnHistoryAndAFailedActionIsRolledBack) {
    Card a, b;
    CardHistory history;
    history.Commit(a.Change(history, "Import into 01"));
    EXPECT_FALSE(history.CanUndo(b.dir.path()));
    auto failed = b.Change(history, "Swap 01 and 03");
    ASSERT_TRUE(history.Rollback(std::move(failed)).ok);
    b.ExpectBefore();
    EXPECT_FALSE(history.CanUndo(b.dir.path()));
    ASSERT_TRUE(history.Undo(a.dir.path()).ok);
    a.ExpectBefore();
}

} // namespace

// A drop of several files is one step: its slots and their names go back with one undo. A drop
// whose second file fails to import leaves the card as it was, names and all.
TEST(CardSteps, ADropIsOneStepAndOneThatFailsPartwayLeavesTheCardAsItWas) {
    TempDir dir;
    const std::string folder = dir.path();
    jobtest::WriteSlot(SlotFileName(folder, 6), jobtest::Noise(3000, 6));
    const Bytes old6 = ReadBytes(SlotFileName(folder, 6));
    std::vector<DropItem> items;
    for (int i = 0; i < 3; ++i) {
        const std::string source = dir.file("hit" + std::to_string(i) + ".wav");
        jobtest::SoxWrite(source, jobtest::Noise(1000 + 100 * i, 40 + i), 31250, 1);
        items.push_back({source, 5 + i});
    }
    CReSampler none("");
    CardHistory history;

    std::vector<DropItem> failing = items;
    failing[1].source = dir.file("not-a-sound.wav");
    WriteBytes(failing[1].source, Some(9, 300));
    const ImportStepOutcome failed =
        RunImportStep(history, folder, failing, {}, none, nullptr, false);
    EXPECT_TRUE(failed.rolledBack);
    EXPECT_EQ(failed.file, failing[1].source);
    EXPECT_EQ(failed.error, "Source File error.");
    EXPECT_FALSE(FileExists(SlotFileName(folder, 5)));
    EXPECT_EQ(ReadBytes(SlotFileName(folder, 6)), old6);
    EXPECT_FALSE(FileExists(NamesFilePath(folder)));
    EXPECT_FALSE(history.CanUndo(folder));

    const ImportStepOutcome done = RunImportStep(history, folder, items, {}, none, nullptr, false);
    EXPECT_EQ(done.slots, (std::vector<int>{5, 6, 7}));
    EXPECT_EQ(LoadCardNames(folder).Find(7)->name, "hit2");
    EXPECT_EQ(history.UndoLabel(folder), "Import into 05-07");
    ASSERT_TRUE(history.Undo(folder).ok);
    EXPECT_FALSE(FileExists(SlotFileName(folder, 5)));
    EXPECT_EQ(ReadBytes(SlotFileName(folder, 6)), old6);
    EXPECT_FALSE(FileExists(SlotFileName(folder, 7)));
    EXPECT_FALSE(FileExists(NamesFilePath(folder)));
}

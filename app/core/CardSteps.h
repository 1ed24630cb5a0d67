// The card's changes as the windows make them: each action (an import, a drop of many files, a
// move, a swap, a clear, a rename) runs as one step of the card's history, so that Undo takes it
// back as a whole, and a drop that fails partway leaves the card as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Card.h"
#include "CardHistory.h"
#include "DropPlan.h"
#include "Jobs.h"

class CReSampler;

namespace brelka {

// The files of a card folder an action on these slots may change: their slot files and the
// names file.
std::vector<std::string> StepFiles(const std::string& folder, const std::vector<int>& slots);

// "Import into 05", "Import into 05-07", "Move 05 to 20", "Swap 03 and 17", "Clear 05",
// "Clear 3 slots", "Rename 05".
std::string ImportLabel(const std::vector<DropItem>& items);
std::string ClearLabel(const std::vector<int>& slots);

struct ImportSettings {
    int channel = kChannelMix;
    int quality = 0;
    PrepOptions prep;
};

struct ImportStepOutcome {
    JobStatus status = JobStatus::Done; // of the file that failed, or of the last one
    std::string file;                   // the file that failed
    int32_t convertCode = 0;
    std::string error;            // a message box text for a failure (empty: none to show)
    std::vector<int> slots;       // the slots written
    std::vector<int64_t> clipped; // per slot written
    bool namesSaved = true;       // false: the card's names file could not be written
    bool rolledBack = false;      // the step was taken back (a failure, or an abort of a drop)
};

// Imports the items in order as one step (named after them), each slot named after its source.
// `progressFor(i, n)` gives the callbacks of item i of n. A failure takes the whole step back.
// An abort takes it back when `keepAborted` is false; otherwise what was written stays (the
// main window's import keeps the blocks done so far) and is the step.
ImportStepOutcome RunImportStep(CardHistory& history, const std::string& folder,
                                const std::vector<DropItem>& items, const ImportSettings& settings,
                                CReSampler& resampler,
                                const std::function<JobProgress(int, int)>& progressFor,
                                bool keepAborted);

// The card view's actions, each one step (nothing is kept when it changed nothing).
CardActionResult MoveStep(CardHistory& history, const std::string& folder, int from, int to);
CardActionResult SwapStep(CardHistory& history, const std::string& folder, int a, int b);
CardActionResult ClearStep(CardHistory& history, const std::string& folder,
                           const std::vector<int>& slots);
CardActionResult RenameStep(CardHistory& history, const std::string& folder, int slot,
                            const std::string& name);

} // namespace brelka
